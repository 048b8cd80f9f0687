// The file object behind every MIF, MID, MTD and KXF file (and the
// configuration file).
//
// TTextFile is a byte stream with line-oriented helpers. Writes are gathered
// in a buffer and reach the disk in large blocks; the bytes and their order
// are exactly those of the calls. A failed write is remembered and reported
// by Close(); the destructor closes silently.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zalor {

// A file that cannot be created or opened.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& message, std::string path, std::string reason = {})
        : std::runtime_error(message), path_(std::move(path)), reason_(std::move(reason))
    {
    }
    const std::string& Path() const { return path_; }
    // The system's reason alone, when the system gave one.
    const std::string& Reason() const { return reason_; }

private:
    std::string path_;
    std::string reason_;
};

class TTextFile {
public:
    static constexpr int kCreate = 0xFFFF; // create or truncate, read and write
    static constexpr int kRead = 0;        // existing file, read only

    // Opens `name` in `mode`; an empty name gives an in-memory stream.
    // Throws FileError when the file cannot be opened.
    TTextFile(const std::string& name, int mode);
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    // The text followed by CR LF.
    void WriteLine(std::string_view text);
    void WriteRaw(const void* bytes, std::size_t count);
    void WriteRaw(std::string_view bytes) { WriteRaw(bytes.data(), bytes.size()); }

    // The next line without its line end. Only CR ends a line; the byte after
    // a CR is skipped unexamined. Lines of more than 254 characters read as
    // empty text (a 255-character line as a whole; a longer one after 256 of
    // its characters, the rest coming with the next call). The end of the
    // stream also gives empty text: compare GetPosition with GetSize.
    std::string ReadLine();
    // Up to `count` bytes at the current position; returns the number read.
    std::size_t ReadRaw(void* bytes, std::size_t count);

    int64_t GetSize() const;
    int64_t GetPosition() const { return open_ ? pos_ : 0; }
    void SetPosition(int64_t position);
    bool AtEnd() const { return GetPosition() >= GetSize(); }

    // Flushes and closes. False when any write, the flush or the close
    // failed. Later calls return the same answer.
    bool Close();
    bool Failed() const { return failed_; }
    // The reason of the first failure ("" when none).
    const std::string& ErrorText() const { return error_; }
    // The system's reason of the first failure alone ("File too large").
    const std::string& FailureReason() const { return reason_; }
    const std::string& Name() const { return name_; }
    // The path to name in an "Error Writing " message ("" when nothing failed).
    std::string FailedPath() const { return failed_ ? name_ : std::string(); }
    // Contents of an in-memory stream.
    const std::string& MemoryContents() const { return memory_; }

private:
    static constexpr std::size_t kBufferSize = 1 << 16;
    // An in-memory stream's first room: a header or a few lines, written
    // without growing it step by step.
    static constexpr std::size_t kMemoryStart = 512;

    void Fail(const char* what, int err);
    bool FlushBuffer();
    // Makes the buffer hold the bytes at pos_ (reading); false at the end.
    bool FillBuffer();
    int ReadByte();

    std::string name_;
    bool memoryMode_ = false;
    bool open_ = false;
    int fd_ = -1;
    std::string memory_;

    // The buffer mirrors the file bytes [bufStart_, bufStart_ + bufLen_).
    std::unique_ptr<char[]> buf_;
    int64_t bufStart_ = 0;
    std::size_t bufLen_ = 0;
    bool dirty_ = false;

    int64_t pos_ = 0;
    int64_t size_ = 0;
    bool failed_ = false;
    std::string error_;
    std::string reason_;
};

} // namespace zalor
