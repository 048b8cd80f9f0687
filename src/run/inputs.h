// The input list: "path|size" entries, unique, sorted by text.
#pragma once

#include "run/settings.h"

#include <string>

namespace zalor {

// The entry text of a path: path + "|" + its size with thousands
// separators, or -1 when the file does not exist.
std::string InputEntryFor(const std::string& path);
// Adds the entry of `path` unless the list holds exactly that text already;
// the list stays sorted. Returns false when it was there.
bool AddInput(RunSettings& settings, const std::string& path);

} // namespace zalor
