// Modules of ours: shared objects that bring a large library (GDAL) into
// the program only when a task needs it. They are looked for beside the
// program (the build tree), in ../lib/zalor from it (an installed copy
// wherever it was moved) and where they were installed.
#pragma once

#include <string>

namespace zalor {

// The address of the exported function `symbol` of the module `file`
// ("zalor-gpkg.so"), loading the module the first time it is asked for
// (it stays loaded: its threads and its library's state must not be
// unmapped under them). Null, with the reason in `error`, when the module
// is missing or is not one of ours; `what` names it in that reason ("the
// GeoPackage writer").
void* ModuleFunction(const char* file, const char* symbol, const std::string& what, std::string& error);

} // namespace zalor
