// The output directories of a county: the output root and the levels the
// chosen scheme puts below it.
#pragma once

#include <string>
#include <string_view>

namespace zalor {

class RunReport;

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

// Creates one directory level; logs "Unable to Create Directory " when it
// cannot be created and does not exist. False when a link to a directory
// stands in its place and links are not allowed.
bool CreateDirectoryLogged(RunReport& report, const std::string& path, bool linkAllowed = true);

// Creates the county's output directory by the scheme and returns it
// (ending in '/'); empty when a level below the root is a link, which
// could lead outside the root. `inputFileName` is the input's file name
// (TGRssccc...), whose characters name the state and county levels.
std::string PrepareCountyDirectory(RunReport& report, std::string root, std::string_view inputFileName,
                                   std::string_view countyName, DirectoryScheme scheme);

} // namespace zalor
