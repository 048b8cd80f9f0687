// ESRI shapefiles: each layer a main file (.SHP) with its index (.SHX),
// its dBASE table (.DBF) and its coordinate system (.PRJ).
#pragma once

#include "formats/format.h"

namespace zalor {

extern const FormatDriver kShpFormat;

} // namespace zalor
