// Feature-class selection: which CFCC codes, columns and area layers the
// feature boxes of the settings select.
#pragma once

#include "geometry/lists.h"
#include "run/settings.h"

#include <string>
#include <string_view>

namespace zalor {

// Adds to `set` the CFCC codes that `mask` (SelectionMask bits) selects.
// With mask exactly kMaskAllChains the road, F80 and hydrography codes are
// added whatever their boxes say.
void BuildCfccSelection(const RunSettings& s, int mask, TClist& set);

// One bit per line group with at least one checked box (1 A ... 128 X).
int LineGroupFlags(const RunSettings& s);
// Any selection box of the group checked (for the all-chains file, its own box).
bool LineGroupChosen(const RunSettings& s, const LineGroupDef& group);
// The column groups (LineColumnGroup bits) of the line group `mask`.
int LineColumnGroups(const RunSettings& s, int mask);
// Any of the landmark point boxes CbP0..CbP9.
bool AnyPointLandmarkSelected(const RunSettings& s);
// Any landmark area box CbD0..CbD9.
bool AnyLandmarkAreaSelected(const RunSettings& s);
// Any area layer or landmark point box.
bool AnyAreaSelected(const RunSettings& s);
// True when "Go" may start: some CFCC code or some area is selected.
bool AnythingSelected(const RunSettings& s);
// True when the settings select the area layer.
bool AreaLayerSelected(const RunSettings& s, const AreaLayerDef& layer);
// The layer's name: fixed, or its suffix setting.
std::string AreaLayerName(const RunSettings& s, const AreaLayerDef& layer);

// Why the settings cannot be run: a suffix that is empty (its files would
// have no name of their own) or holds a directory separator or ".." (they
// would lie outside the output directory), named by its field's caption;
// `which`, when given, gets the suffix's setting. Empty when they can.
std::string UnsafeOutputNames(const RunSettings& s, const SettingDef** which = nullptr);

// The AreaSpec of an area box ("NAME|SSSWW": name, key column, key width
// in the records of Census 2000), as its tooltip shows it. Empty for any
// other key, and for the layers that Census 2000 has no keys of.
std::string AreaSpecOf(std::string_view boxKey);

} // namespace zalor
