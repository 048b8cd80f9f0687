#include "run/auto_zip.h"

#include "tiger/zip_archive.h"
#include "tiger/file_names.h"
#include "tiger/paths.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zalor {

namespace {

// The names of the county's MIF, MID and MTD files in `dir`, sorted.
std::vector<std::string> CountyMapFiles(const std::string& dir, const std::string& countyBaseName)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.empty() ? "." : dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            std::string name(e->d_name);
            if (name.size() < countyBaseName.size() + 4 || name.compare(0, countyBaseName.size(), countyBaseName) != 0)
                continue;
            std::string_view ext = std::string_view(name).substr(name.size() - 4);
            if (!EqualIgnoringCase(ext, ".MIF") && !EqualIgnoringCase(ext, ".MID") && !EqualIgnoringCase(ext, ".MTD"))
                continue;
            if (IsRegularFile(dir + name)) names.push_back(std::move(name));
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

bool AutoZipOutputs(const std::string& archivePath, const std::string& countyBaseName,
                    const std::function<void(std::size_t, std::size_t)>& progress, std::vector<std::string>* zipped)
{
    const std::string dir = DirectoryPart(archivePath);
    const std::vector<std::string> names = CountyMapFiles(dir, countyBaseName);
    if (names.empty()) return true;

    // The archive is written under a temporary name and put in place when complete.
    const std::string temporary = dir + ".zalor-" + std::to_string(::getpid()) + "-" + FileNamePart(archivePath);
    TZipObj zip;
    bool ok = zip.OpenZip(temporary) == 0;
    for (std::size_t i = 0; ok && i < names.size(); ++i) {
        ok = zip.AddFileToZip(dir + names[i]) == 0;
        if (progress) progress(i + 1, names.size());
    }
    if (zip.CloseZip() != 0) ok = false;
    if (ok && std::rename(temporary.c_str(), archivePath.c_str()) != 0) ok = false;
    if (!ok) {
        std::remove(temporary.c_str());
        return false; // the outputs stay on disk when their archive is not complete
    }
    for (const std::string& name : names) {
        std::remove((dir + name).c_str());
        if (zipped) zipped->push_back(dir + name);
    }
    return true;
}

} // namespace zalor
