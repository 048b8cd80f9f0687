// The datum of a county's coordinates. The generator lays out every county
// on NAD83; files of a release on another datum (NAD27 before 1995, the
// local datums of Hawaii, Puerto Rico and the Pacific Island Areas) get
// their coordinates converted with PROJ.
#pragma once

#include "model.h"

#include <string>

namespace mkcounty {

struct Datum {
    const char* name; // "NAD83", "NAD27", "Old Hawaiian", ...
    int epsg;         // of the datum's geographic coordinate system
};

// The datum of the files of `vintage` for state `state`.
Datum FileDatum(int vintage, const std::string& state);

// Converts every coordinate of `c` (chain ends and shape points, internal
// points, landmark points) from NAD83 to `datum`, rounded to micro-degrees.
// Each distinct point is converted once, so points shared by chains stay
// shared; a shape point that rounding left on the line through its
// neighbours is dropped. Throws std::runtime_error when PROJ cannot do it.
void ConvertToDatum(County& c, const Datum& datum);

} // namespace mkcounty
