// ESRI shapefiles: each layer a main file (.SHP) with its index (.SHX),
// its dBASE table (.DBF), its coordinate system (.PRJ) and the code page of
// its texts (.CPG).
#pragma once

#include "formats/format.h"

namespace zalor {

extern const FormatDriver kShpFormat;

// The same format with the files of every layer kept in memory and dropped
// when the layer ends: all the work of writing a layer without the file
// system, for a harness that converts thousands of counties a minute. It
// is in no list of formats (the program never writes through it).
extern const FormatDriver kShpMemoryFormat;

} // namespace zalor
