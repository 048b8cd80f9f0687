// An advisory lock on an output file that is read and rewritten as a whole
// (a county's GeoPackage): held from reading what is there to putting the
// new file in place, so that a second writer of the same file (another
// process, or another run) waits and then adds its tables to the first
// one's file instead of replacing it.
#pragma once

#include <string>

namespace zalor {

class FileLock {
public:
    // Waits for the lock of `target`. The lock is a hidden file beside it,
    // removed when the lock is released. Without a lock file (a directory
    // that cannot be written) nothing is held: the write fails there anyway.
    explicit FileLock(const std::string& target);
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    void Release();

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace zalor
