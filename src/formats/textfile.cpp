#include "formats/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor {

namespace {

std::string Errno(int err) { return std::strerror(err); }

// pwrite until everything is written; false with errno set on failure.
bool WriteAllAt(int fd, const char* data, std::size_t count, int64_t offset)
{
    while (count > 0) {
        ssize_t n = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        count -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

} // namespace

TTextFile::TTextFile(const std::string& name, int mode) : name_(name)
{
    if (name.empty()) {
        memoryMode_ = true;
        open_ = true;
        memory_.reserve(kMemoryStart);
        return;
    }
    int flags = mode == kCreate ? (O_RDWR | O_CREAT | O_TRUNC) : O_RDONLY;
    do {
        fd_ = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0 && mode == kCreate && errno == EACCES) {
        // A file we may write but not read: writing is all a new file needs.
        do {
            fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
    }
    if (fd_ < 0) {
        int err = errno;
        throw FileError((mode == kCreate ? "Cannot create " : "Cannot open ") + name + ": " + Errno(err), name,
                        Errno(err));
    }
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<int64_t>(st.st_size);
    if (mode == kCreate) size_ = 0;
    buf_ = std::make_unique<char[]>(kBufferSize);
    open_ = true;
}

TTextFile::~TTextFile() { Close(); }

void TTextFile::Fail(const char* what, int err)
{
    if (!failed_) {
        reason_ = Errno(err);
        error_ = std::string(what) + " " + name_ + ": " + reason_;
    }
    failed_ = true;
}

bool TTextFile::FlushBuffer()
{
    if (!dirty_) return true;
    dirty_ = false;
    if (failed_) return false; // the file is broken already; drop the bytes
    if (!WriteAllAt(fd_, buf_.get(), bufLen_, bufStart_)) {
        Fail("Write error on", errno);
        return false;
    }
    return true;
}

void TTextFile::WriteRaw(const void* bytes, std::size_t count)
{
    if (!open_ || count == 0) return;
    const char* src = static_cast<const char*>(bytes);
    if (memoryMode_) {
        std::size_t at = static_cast<std::size_t>(pos_);
        if (memory_.size() < at + count) memory_.resize(at + count, '\0');
        std::memcpy(memory_.data() + at, src, count);
        pos_ += static_cast<int64_t>(count);
        size_ = static_cast<int64_t>(memory_.size());
        return;
    }
    while (count > 0) {
        // Continue the buffer when pos_ lies inside it or just at its end.
        bool inside = pos_ >= bufStart_ && pos_ <= bufStart_ + static_cast<int64_t>(bufLen_) &&
                      pos_ < bufStart_ + static_cast<int64_t>(kBufferSize);
        if (!inside) {
            FlushBuffer();
            bufStart_ = pos_;
            bufLen_ = 0;
            if (count >= kBufferSize) {
                // Large block: straight to the file.
                if (!failed_ && !WriteAllAt(fd_, src, count, pos_)) Fail("Write error on", errno);
                pos_ += static_cast<int64_t>(count);
                size_ = std::max(size_, pos_);
                return;
            }
        }
        std::size_t offset = static_cast<std::size_t>(pos_ - bufStart_);
        std::size_t n = std::min(count, kBufferSize - offset);
        std::memcpy(buf_.get() + offset, src, n);
        bufLen_ = std::max(bufLen_, offset + n);
        dirty_ = true;
        src += n;
        count -= n;
        pos_ += static_cast<int64_t>(n);
        size_ = std::max(size_, pos_);
    }
}

void TTextFile::WriteLine(std::string_view text)
{
    if (memoryMode_ || text.size() + 2 > kBufferSize) {
        WriteRaw(text.data(), text.size());
        WriteRaw("\r\n", 2);
        return;
    }
    if (!open_) return;
    // The usual case: one copy into the buffer.
    std::size_t n = text.size();
    bool fits = pos_ == bufStart_ + static_cast<int64_t>(bufLen_) && bufLen_ + n + 2 <= kBufferSize;
    if (!fits) {
        WriteRaw(text.data(), n);
        WriteRaw("\r\n", 2);
        return;
    }
    char* dst = buf_.get() + bufLen_;
    if (n > 0) std::memcpy(dst, text.data(), n);
    dst[n] = '\r';
    dst[n + 1] = '\n';
    bufLen_ += n + 2;
    dirty_ = true;
    pos_ += static_cast<int64_t>(n + 2);
    size_ = std::max(size_, pos_);
}

bool TTextFile::FillBuffer()
{
    if (pos_ >= bufStart_ && pos_ < bufStart_ + static_cast<int64_t>(bufLen_)) return true;
    FlushBuffer();
    bufStart_ = pos_;
    bufLen_ = 0;
    if (pos_ >= size_) return false;
    std::size_t want = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(kBufferSize), size_ - pos_));
    ssize_t n;
    do {
        n = ::pread(fd_, buf_.get(), want, static_cast<off_t>(pos_));
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    bufLen_ = static_cast<std::size_t>(n);
    return true;
}

int TTextFile::ReadByte()
{
    if (!open_ || pos_ >= size_) return -1;
    if (memoryMode_) return static_cast<unsigned char>(memory_[static_cast<std::size_t>(pos_++)]);
    if (!FillBuffer()) return -1;
    return static_cast<unsigned char>(buf_[static_cast<std::size_t>(pos_++ - bufStart_)]);
}

std::string TTextFile::ReadLine()
{
    // The line buffer holds 255 characters, one of which the terminating
    // position needs: 254 characters fit.
    constexpr std::size_t kCapacity = 255;
    std::string line;
    bool overflow = false;
    while (open_ && pos_ < GetSize()) {
        if (!memoryMode_ && !FillBuffer()) break;
        // Scan the buffered stretch for the CR without per-byte calls.
        const char* base = memoryMode_ ? memory_.data() : buf_.get();
        int64_t start = memoryMode_ ? 0 : bufStart_;
        int64_t end = memoryMode_ ? size_ : std::min(size_, bufStart_ + static_cast<int64_t>(bufLen_));
        const char* from = base + (pos_ - start);
        std::size_t avail = static_cast<std::size_t>(end - pos_);
        const char* cr = static_cast<const char*>(std::memchr(from, '\r', avail));
        std::size_t take = cr ? static_cast<std::size_t>(cr - from) : avail;
        if (line.size() + take > kCapacity) {
            // The 256th character cannot be stored: the read fails here.
            std::size_t room = kCapacity - line.size();
            pos_ += static_cast<int64_t>(room + 1);
            overflow = true;
            break;
        }
        line.append(from, take);
        pos_ += static_cast<int64_t>(take);
        if (cr) {
            ++pos_;     // the CR
            ReadByte(); // the byte after it, unexamined
            break;
        }
    }
    if (overflow || line.size() >= kCapacity) return std::string();
    return line;
}

std::size_t TTextFile::ReadRaw(void* bytes, std::size_t count)
{
    if (!open_ || pos_ >= GetSize()) return 0;
    count = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), GetSize() - pos_));
    char* dst = static_cast<char*>(bytes);
    if (memoryMode_) {
        std::memcpy(dst, memory_.data() + pos_, count);
        pos_ += static_cast<int64_t>(count);
        return count;
    }
    std::size_t done = 0;
    if (count >= kBufferSize) {
        FlushBuffer();
        bufLen_ = 0;
        bufStart_ = pos_;
        while (done < count) {
            ssize_t n = ::pread(fd_, dst + done, count - done, static_cast<off_t>(pos_));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
            pos_ += n;
        }
        return done;
    }
    while (done < count && FillBuffer()) {
        std::size_t offset = static_cast<std::size_t>(pos_ - bufStart_);
        std::size_t n = std::min(count - done, bufLen_ - offset);
        std::memcpy(dst + done, buf_.get() + offset, n);
        done += n;
        pos_ += static_cast<int64_t>(n);
    }
    return done;
}

int64_t TTextFile::GetSize() const { return open_ ? size_ : 0; }

void TTextFile::SetPosition(int64_t position)
{
    if (!open_) return;
    pos_ = std::max<int64_t>(0, position);
}

bool TTextFile::Close()
{
    if (!open_) return !failed_;
    open_ = false;
    if (memoryMode_) return !failed_;
    FlushBuffer();
    if (::close(fd_) != 0 && errno != EINTR) Fail("Close error on", errno);
    fd_ = -1;
    buf_.reset();
    return !failed_;
}

} // namespace zalor
