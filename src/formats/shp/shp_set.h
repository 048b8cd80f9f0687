// Whether the files of a shapefile layer on disk belong together: a run
// that was killed while putting a layer's files in place can leave a new
// .SHP beside an older .DBF, or a .SHP without its .SHX.
#pragma once

#include <string>

namespace zalor {

// Why the .SHP, .SHX and .DBF of `basePath` (the path without extension)
// are not one whole set (one missing, a file shorter or longer than its
// header says, the index not ending where the main file ends, another
// number of records in the table than in the index); empty when they are.
std::string ShapefileSetFault(const std::string& basePath);

} // namespace zalor
