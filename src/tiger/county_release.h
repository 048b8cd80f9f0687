// Which release a county's record files belong to: the version code of its
// RT1, confirmed by the record lengths of the files whose layouts changed.
#pragma once

#include "tiger/record_file.h"
#include "tiger/release.h"

#include <string>
#include <vector>

namespace zalor {

struct CountyRelease {
    // False when the county has no chain file to read a version code from
    // (the chain reader says what is wrong); the release is then Census 2000.
    bool found = false;
    Release release;
    // Why the county cannot be read (files of no known layout, or of
    // different releases); empty when it can.
    std::string error;
    // What the log and the user are told besides: a code the lengths
    // overruled, a code that names no release.
    std::vector<std::string> notes;
};

// Reads the first line of RT1 and of each record file whose length tells
// the layouts apart, and decides: the release of the code when the lengths
// agree; the lengths' layouts (and a note) when they do not.
CountyRelease DetectRelease(const CountySource& source);

// The first line of a county's record file, up to `limit` bytes; false
// when there is no such file or it cannot be read.
bool FirstLine(const CountySource& source, std::string_view extension, std::string& line, std::size_t limit = 512);

} // namespace zalor
