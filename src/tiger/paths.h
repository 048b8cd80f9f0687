// Path texts: the file-name and directory parts of a path, and the base
// name a county's outputs are named after.
#pragma once

#include <string>
#include <string_view>

namespace zalor {

// The file-name part of a path (after the last separator).
std::string FileNamePart(std::string_view path);
// The directory part of a path, with its trailing separator ("" when none).
std::string DirectoryPart(std::string_view path);
// The output base name: the upper-cased file name up to its first ".".
std::string OutputBaseName(std::string_view inputPath);

} // namespace zalor
