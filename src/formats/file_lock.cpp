#include "formats/file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor {

namespace {

std::string LockPathFor(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, name) + "." + target.substr(name) + ".zalor-lock";
}

} // namespace

FileLock::FileLock(const std::string& target) : path_(LockPathFor(target))
{
    // The lock file is removed by the holder before it lets go: a writer
    // that got the lock of a removed file tries again with the new one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) return;
        int locked;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat held, named;
        if (locked == 0 && ::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            return;
        }
        ::close(fd);
        if (locked != 0) return;
    }
}

void FileLock::Release()
{
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

} // namespace zalor
