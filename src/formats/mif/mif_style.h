// How MIF files draw their objects: the pen of a line by its CFCC and the
// brush of an area layer by what it holds.
#pragma once

#include <string_view>

namespace zalor {

struct Pen {
    int width = 1;
    int colour = 0; // 0xRRGGBB
};
// Pen of a chain by its CFCC (the pattern is always 2).
Pen PenForCfcc(std::string_view cfcc);

// Brush colour of the regions of an area layer by its theme (its own name:
// "W", "CNTY", "BLK90", ...); 0 for a layer it does not know.
int BrushForTheme(std::string_view theme);

} // namespace zalor
