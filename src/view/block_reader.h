// Sequential reading of a file the viewer is asked to open, in large
// blocks. The file is untrusted: nothing is read beyond the size it had
// when it was opened, and a request for more bytes than remain simply
// fails, so a count read from the file can be checked by asking for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zalor::view {

class BlockReader {
public:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
    // Lines longer than this are taken for damage rather than read.
    static constexpr std::size_t kMaxLineLength = std::size_t{16} << 20;

    BlockReader() = default;
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // Opens the file read-only; false with `error` set when it cannot be
    // opened or is not a regular file.
    bool Open(const std::string& path, std::string& error);

    int64_t Size() const { return size_; }
    // File offset of the next unread byte.
    int64_t Position() const { return base_ + static_cast<int64_t>(pos_); }
    int64_t Remaining() const { return size_ - Position(); }

    // The next `n` bytes, contiguous; nullptr when fewer than `n` remain or
    // the file could not be read (then Failed()). The pointer stays valid
    // until the next call of any other member.
    const unsigned char* Peek(std::size_t n)
    {
        if (len_ - pos_ >= n) return reinterpret_cast<const unsigned char*>(buf_.get() + pos_);
        return Fill(n) ? reinterpret_cast<const unsigned char*>(buf_.get() + pos_) : nullptr;
    }
    // Moves on by `n` bytes (at most Remaining()).
    void Skip(int64_t n);

    // The next line without its line end (LF, or CR LF). The last line of
    // the file needs no line end. False at the end of the file, when the
    // file cannot be read or when a line exceeds kMaxLineLength (LineTooLong()).
    bool ReadLine(std::string_view& line);
    // Moves past the next line, whatever its length, holding no more than a
    // block of it; `length` is its length without the line end. False at
    // the end of the file or when it cannot be read.
    bool SkipLine(int64_t& length);
    // Number of lines returned or skipped so far (the current line's number).
    int64_t LineNumber() const { return lines_; }

    bool Failed() const { return failed_; }
    bool LineTooLong() const { return lineTooLong_; }

private:
    // Makes at least `need` bytes from pos_ available in the buffer.
    bool Fill(std::size_t need);

    int fd_ = -1;
    int64_t size_ = 0;
    std::unique_ptr<char[]> buf_;
    std::size_t cap_ = 0;
    std::size_t pos_ = 0;  // next unread byte in buf_
    std::size_t len_ = 0;  // valid bytes in buf_
    int64_t base_ = 0;     // file offset of buf_[0]
    int64_t lines_ = 0;
    bool failed_ = false;
    bool lineTooLong_ = false;
};

} // namespace zalor::view
