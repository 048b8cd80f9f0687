// The input list: entries unique and in order (InputOrder).
#pragma once

#include "run/entries.h"
#include "run/settings.h"

#include <string>

namespace zalor {

// Adds the entry of `path` unless the list holds exactly that entry
// already; the list stays in order. Returns false when it was there.
bool AddInput(RunSettings& settings, const std::string& path);

} // namespace zalor
