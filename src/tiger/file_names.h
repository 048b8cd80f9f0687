// File names as the archive layer and the record reader compare them
// (ignoring the case of ASCII letters), and whether a path is a file they
// may read.
#pragma once

#include <string>
#include <string_view>

namespace zalor {

// The character with an ASCII lower-case letter made upper case.
char UpperAscii(char c);

// True when the two names differ at most in the case of ASCII letters.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// True when `path` names a regular file (a link is followed).
bool IsRegularFile(const std::string& path);

} // namespace zalor
