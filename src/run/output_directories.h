// The output directories of a county: the output root and the levels the
// chosen scheme puts below it.
#pragma once

#include <ctime>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace zalor {

// Where a county's outputs go below the output root.
enum class DirectoryScheme {
    None,            // the root itself
    State,           // ss/
    StateAndCounty,  // ss/ssccc/
    StateAndCountyName, // ss/County Name/
};

// Makes a county name safe to use as one directory level: separators,
// "..", control characters and other characters that could lead outside
// the output root are replaced; an empty name stays empty.
std::string SafeDirectoryName(std::string_view name);

// Creates one directory level. When it cannot be created and no directory
// is there (or a link to one stands in its place and links are not
// allowed), returns the message "Unable to Create Directory ...: <reason>";
// empty otherwise.
std::string CreateDirectoryLevel(const std::string& path, bool linkAllowed = true);

// Creates the county's output directory by the scheme and returns it
// (ending in '/'); empty, with the message in `failure`, when a level
// cannot be made or a level below the root is a link, which could lead
// outside the root. `inputFileName` is the input's file name (TGRssccc...),
// whose characters name the state and county levels.
std::string PrepareCountyDirectory(std::string root, std::string_view inputFileName,
                                   std::string_view countyName, DirectoryScheme scheme, std::string& failure);

// The directories a run writes into, each swept once of the temporary
// files that killed runs left there (whichever county gets there first).
class SweptDirectories {
public:
    explicit SweptDirectories(std::time_t runStart) : runStart_(runStart) {}
    // Removes the stale temporaries of `directory` the first time it is
    // named; returns how many were removed.
    int Sweep(const std::string& directory);

private:
    std::mutex mutex_;
    std::set<std::string> swept_;
    const std::time_t runStart_;
};

} // namespace zalor
