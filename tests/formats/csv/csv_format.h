// A trivial fifth output format, built into a test program only: each layer
// one CSV file, its geometry as WKT in the first column.
#pragma once

#include "formats/format.h"

namespace zalor {

extern const FormatDriver kCsvFormat;

} // namespace zalor
