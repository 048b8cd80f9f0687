#include "run/output_directories.h"

#include "formats/staged.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

namespace zalor {

std::string SafeDirectoryName(std::string_view name)
{
    std::string out(name);
    bool onlyDots = !out.empty();
    for (char& c : out) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 32 || u == 127) c = '_';
        if (c != '.') onlyDots = false;
    }
    if (onlyDots)
        for (char& c : out) c = '_';
    return out;
}

std::string CreateDirectoryLevel(const std::string& path, bool linkAllowed)
{
    if (::mkdir(path.c_str(), 0777) == 0) return {};
    int err = errno;
    struct stat st;
    std::string failure;
    if (err == EEXIST && ::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return {};
        if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (linkAllowed) return {};
            // A link below the output root could lead anywhere: nothing is written through it.
            failure = "Unable to Create Directory " + path + ": a link is in its place";
        } else {
            failure = "Unable to Create Directory " + path + ": something else is in its place";
        }
    } else {
        failure = "Unable to Create Directory " + path + ": " + std::strerror(err);
    }
    return failure;
}

std::string PrepareCountyDirectory(std::string d, std::string_view name,
                                   std::string_view countyName, DirectoryScheme scheme, std::string& failure)
{
    if (d.empty()) d = "./";
    if (d.back() != '/') d.push_back('/');
    auto chars = [&](std::size_t first, std::size_t count) {
        return SafeDirectoryName(first - 1 < name.size() ? name.substr(first - 1, count) : std::string_view());
    };
    failure = CreateDirectoryLevel(d, true); // the root is the user's to point anywhere
    auto level = [&](const std::string& part) {
        d += part;
        if (failure.empty()) failure = CreateDirectoryLevel(d, false);
        d += "/";
    };
    if (scheme != DirectoryScheme::None) {
        level(chars(4, 2));
        if (scheme == DirectoryScheme::StateAndCounty) level(chars(4, 5));
        // A county without a name (no RTC, as in the 1990 files) by its code.
        else if (scheme == DirectoryScheme::StateAndCountyName)
            level(countyName.empty() ? chars(4, 5) : SafeDirectoryName(countyName));
    }
    if (d.back() != '/') d.push_back('/');
    return failure.empty() ? d : std::string();
}

int SweptDirectories::Sweep(const std::string& directory)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!swept_.insert(directory).second) return 0;
    }
    return RemoveStaleTemporaries(directory, runStart_);
}

} // namespace zalor
