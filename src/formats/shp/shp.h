// ESRI shapefiles: each layer a main file (.SHP) with its index (.SHX),
// its dBASE table (.DBF), its coordinate system (.PRJ) and the code page of
// its texts (.CPG).
#pragma once

#include "formats/format.h"

namespace zalor {

extern const FormatDriver kShpFormat;

} // namespace zalor
