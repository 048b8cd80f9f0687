// MapInfo interchange files: each layer a MIF file of its objects with a
// MID file of their rows beside it.
#pragma once

#include "formats/format.h"

namespace zalor {

extern const FormatDriver kMifFormat;

} // namespace zalor
