// Feature-class selection: which CFCC codes and which area layers the
// feature boxes of the settings select.
#pragma once

#include "geometry/lists.h"
#include "run/settings.h"

#include <string>
#include <string_view>

namespace zalor {

// Adds to `set` the CFCC codes that `mask` selects (bit 1 roads ... bit 2048
// landmark water). With mask exactly 255 (the all-chains file) the road,
// F80 and hydrography rows are added whatever their boxes say.
void BuildCfccSelection(const RunSettings& s, int mask, TClist& set);

// One bit per line group with at least one checked box (1 A ... 128 X).
int LineGroupFlags(const RunSettings& s);
// Any of the landmark point boxes CbP0..CbP9.
bool AnyPointLandmarkSelected(const RunSettings& s);
// Any landmark area box CbD0..CbD9.
bool AnyLandmarkAreaSelected(const RunSettings& s);
// Any area layer or landmark point box.
bool AnyAreaSelected(const RunSettings& s);
// True when "Go" may start: some CFCC code or some area is selected.
bool AnythingSelected(const RunSettings& s);

// Kind code of an area layer by its AreaSpec (3 county, 4 MCD, 5 tract, 6 block,
// 7 block group, 8 place, 0 other).
int AreaKindCode(std::string_view spec);

// The AreaSpec ("NAME|SSSWW") of an area box: CbAr1..CbAr21
// (not 20), CbAs2..CbAs7, CbAt1..CbAt9. Empty for any other key.
std::string AreaSpecOf(std::string_view boxKey);

// Brush colours of the area layers (0xRRGGBB).
int CurrentAreaColour(int i);    // CbAr i
int Area1990Colour(int j);       // CbAs j
int EntityAreaColour(int k);     // CbAt k

} // namespace zalor
