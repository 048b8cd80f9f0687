#include "view/block_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor::view {

BlockReader::~BlockReader()
{
    if (fd_ >= 0) ::close(fd_);
}

bool BlockReader::Open(const std::string& path, std::string& error)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = "Cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "Not a regular file: " + path;
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = st.st_size;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

bool BlockReader::Fill(std::size_t need)
{
    if (len_ - pos_ >= need) return true;
    if (fd_ < 0 || failed_) return false;
    if (static_cast<int64_t>(need) > Remaining()) return false;
    // Keep the unread bytes, at the front of a buffer big enough for them.
    const std::size_t kept = len_ - pos_;
    std::size_t want = std::max(need, kBlockSize);
    if (want > cap_) {
        std::size_t cap = std::max(want, cap_ * 2);
        // Never more than what is left of the file (plus what is kept).
        cap = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(cap), Remaining()));
        cap = std::max({cap, need, std::size_t{4096}});
        std::unique_ptr<char[]> bigger(new char[cap]);
        if (kept) std::memcpy(bigger.get(), buf_.get() + pos_, kept);
        buf_ = std::move(bigger);
        cap_ = cap;
    } else if (kept && pos_) {
        std::memmove(buf_.get(), buf_.get() + pos_, kept);
    }
    base_ += static_cast<int64_t>(pos_);
    pos_ = 0;
    len_ = kept;
    while (len_ < need) {
        const int64_t fileAt = base_ + static_cast<int64_t>(len_);
        const std::size_t room = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(cap_ - len_), size_ - fileAt));
        if (room == 0) break;
        ssize_t got = ::pread(fd_, buf_.get() + len_, room, fileAt);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) { // read error, or the file shrank under us
            failed_ = true;
            return false;
        }
        len_ += static_cast<std::size_t>(got);
    }
    return len_ >= need;
}

void BlockReader::Skip(int64_t n)
{
    n = std::clamp<int64_t>(n, 0, Remaining());
    const auto buffered = static_cast<int64_t>(len_ - pos_);
    if (n <= buffered) {
        pos_ += static_cast<std::size_t>(n);
        return;
    }
    base_ += static_cast<int64_t>(len_) + (n - buffered);
    pos_ = len_ = 0;
}

bool BlockReader::ReadLine(std::string_view& line)
{
    if (Remaining() <= 0 || failed_ || lineTooLong_) return false;
    std::size_t searched = 0; // bytes after pos_ known to hold no LF
    for (;;) {
        const char* start = buf_ ? buf_.get() + pos_ : nullptr;
        const std::size_t avail = len_ - pos_;
        if (avail > searched) {
            const void* lf = std::memchr(start + searched, '\n', avail - searched);
            if (lf) {
                std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
                line = std::string_view(start, n);
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                pos_ += n + 1;
                ++lines_;
                return true;
            }
            searched = avail;
        }
        if (static_cast<int64_t>(avail) >= Remaining()) { // the last line, without a line end
            line = std::string_view(start, avail);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            pos_ += avail;
            ++lines_;
            return true;
        }
        if (avail >= kMaxLineLength) {
            lineTooLong_ = true;
            return false;
        }
        const std::size_t more = std::min<std::size_t>(
            avail + kBlockSize, static_cast<std::size_t>(std::min<int64_t>(Remaining(), kMaxLineLength + 1)));
        if (!Fill(more)) return false;
    }
}

bool BlockReader::SkipLine(int64_t& length)
{
    if (Remaining() <= 0 || failed_) return false;
    length = 0;
    bool cr = false; // the last byte passed over was a CR
    for (;;) {
        const char* start = buf_ ? buf_.get() + pos_ : nullptr;
        const std::size_t avail = len_ - pos_;
        const void* lf = avail ? std::memchr(start, '\n', avail) : nullptr;
        const std::size_t n = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : avail;
        if (n > 0) cr = start[n - 1] == '\r';
        length += static_cast<int64_t>(n);
        pos_ += lf ? n + 1 : n;
        if (lf || Remaining() <= 0) {
            if (cr) --length;
            ++lines_;
            return true;
        }
        if (!Fill(static_cast<std::size_t>(std::min<int64_t>(Remaining(), kBlockSize)))) return false;
    }
}

} // namespace zalor::view
