// KXF, the program's own compact vector file of line and area records,
// with its MTD attribute file (MID rows) beside it.
#pragma once

#include "formats/format.h"

#include <string_view>

namespace zalor {

extern const FormatDriver kKxfFormat;

// The class code of the area records of a layer by its theme (its own
// name): water 23; the current-year county, county subdivision, tract,
// block and block group layers 3 to 7; 0 for the others.
int KxfAreaClass(std::string_view theme);

} // namespace zalor
