// The "layers" and "absentLayers" of the truth file.
#pragma once

#include "json.h"
#include "model.h"

namespace mkcounty {

// Writes "layers": {...}, "absentLayers": {...}, each followed by ",\n".
void WriteLayers(Json& j, const County& c);

} // namespace mkcounty
