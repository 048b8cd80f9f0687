// Shared by the fuzz harnesses: a scratch directory for inputs that the
// code under test reads from files, and the splitting of one input into
// the several files of a data set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zalor::fuzz {

inline const std::string* ScratchDir_();

// A directory of this process, in memory where the system has one.
// (Never freed: it is removed at exit, after static objects may be gone.)
inline const std::string& ScratchDir()
{
    static const std::string* dir = [] {
        std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        auto* d = new std::string(base + "/zalor-fuzz-" + std::to_string(::getpid()) + "/");
        std::filesystem::create_directories(*d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*ScratchDir_(), ec);
        });
        return d;
    }();
    return *dir;
}

inline const std::string* ScratchDir_() { return &ScratchDir(); }

// (Without stdio: a harness writes its files for every input.)
inline void WriteFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n <= 0) std::abort();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
}

// The pieces of an input separated by "\n~~\n" (at most `count`; the last
// holds the rest).
inline std::vector<std::string_view> Pieces(const uint8_t* data, std::size_t size, std::size_t count)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> pieces;
    constexpr std::string_view kMark = "\n~~\n";
    while (pieces.size() + 1 < count) {
        const std::size_t at = rest.find(kMark);
        if (at == std::string_view::npos) break;
        pieces.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kMark.size());
    }
    pieces.push_back(rest);
    while (pieces.size() < count) pieces.emplace_back();
    return pieces;
}

} // namespace zalor::fuzz
