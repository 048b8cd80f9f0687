// The geodetic datums county files are on: NAD83 from TIGER/Line 1995 on,
// NAD27 before (the conterminous states and Alaska) and the local datums
// of Hawaii, Puerto Rico and the Pacific Island Areas in the early files.
#pragma once

#include <cstdint>
#include <string_view>

namespace zalor {

enum class Datum : uint8_t {
    Nad83,
    Nad27,
    OldHawaiian,
    PuertoRico,
    Guam1963,
    AmericanSamoa1962,
};

// "NAD83", "NAD27", "Old Hawaiian", ...
std::string_view DatumName(Datum datum);
// The EPSG code of the datum's geographic coordinate system (4269 for NAD83).
int DatumEpsg(Datum datum);

} // namespace zalor
