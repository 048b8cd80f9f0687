#include "formats/staged.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <signal.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor {

namespace {

constexpr std::string_view kTemporaryPrefix = ".zalor-";
// Names longer than this lose as many of their first bytes as the
// temporary prefix adds, so that a temporary name is never longer than the
// name it stands for (and fits wherever that one fits).
constexpr std::size_t kLongName = 128;

// The process that made the temporary file `name`; 0 when it is not one.
pid_t TemporaryOwner(std::string_view name)
{
    if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) return 0;
    name.remove_prefix(kTemporaryPrefix.size());
    // At most nine digits: every process number of the system, and no overflow.
    pid_t pid = 0;
    std::size_t i = 0;
    for (; i < name.size() && i < 9 && name[i] >= '0' && name[i] <= '9'; ++i) pid = pid * 10 + (name[i] - '0');
    if (i == 0 || i == name.size() || name[i] != '-') return 0;
    std::size_t j = i + 1;
    while (j < name.size() && name[j] >= '0' && name[j] <= '9') ++j;
    return j > i + 1 && j < name.size() && name[j] == '-' ? pid : 0;
}

} // namespace

std::string TemporaryPathFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string prefix =
        std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-";
    if (name.size() > kLongName) name.erase(0, prefix.size());
    return dir + prefix + name;
}

int RemoveStaleTemporaries(const std::string& directory, std::time_t before)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir) return 0;
    const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const pid_t owner = TemporaryOwner(entry->d_name);
        if (owner == 0 || owner == ::getpid()) continue;
        // Only the files of processes that are gone, made before `before`.
        if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
        const std::string path = prefix + entry->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime >= before) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

StagedLayer::StagedLayer(const std::string& basePath) : final_(basePath), temp_(TemporaryPathFor(basePath)) {}

StagedLayer::~StagedLayer()
{
    if (!done_) RemoveTemporaries();
}

WriteFailures StagedLayer::Close()
{
    WriteFailures failures = CloseFiles();
    done_ = true;
    // The main file, by which the layer is known, goes in place last: until
    // it does, the set is not there (or is the older set's main file beside
    // new companions, which a check of the set tells apart).
    for (auto ext = extensions_.rbegin(); failures.empty() && ext != extensions_.rend(); ++ext)
        if (std::rename((temp_ + *ext).c_str(), (final_ + *ext).c_str()) != 0)
            failures.push_back({WriteFailure::Kind::Write, final_ + *ext, std::strerror(errno), 0});
    if (!failures.empty()) RemoveTemporaries();
    return failures;
}

void StagedLayer::Discard()
{
    CloseFiles();
    done_ = true;
    RemoveTemporaries();
}

std::string StagedLayer::Stage(const char* ext)
{
    if (extensions_.empty()) main_ = final_ + ext;
    extensions_.emplace_back(ext);
    return temp_ + ext;
}

void StagedLayer::Check(WriteFailures& failures, bool ok, const std::string& path, const std::string& reason) const
{
    if (!ok) failures.push_back({WriteFailure::Kind::Write, FinalName(path), reason, 0});
}

std::string StagedLayer::FinalName(const std::string& text) const
{
    const std::size_t at = text.find(temp_);
    return at == std::string::npos ? text : text.substr(0, at) + final_ + text.substr(at + temp_.size());
}

void StagedLayer::RemoveTemporaries()
{
    for (const std::string& ext : extensions_) std::remove((temp_ + ext).c_str());
}

} // namespace zalor
