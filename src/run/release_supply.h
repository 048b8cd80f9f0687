// What each TIGER/Line release supplies, for listings: the release a year
// names and, per area layer, the record field its keys come from or why
// the release has none.
#pragma once

#include "run/settings.h"

#include <string>
#include <string_view>

namespace zalor {

// The release the year `vintage` names, in words ("TIGER/Line 2006 Second
// Edition (version 0806)"); empty when it names none.
std::string ReleaseTextOfVintage(std::string_view vintage);
// The datum of the coordinates of the release of `vintage`, with the
// states whose datum differs ("NAD27 (Hawaii Old Hawaiian, ...)").
std::string VintageDatumText(std::string_view vintage);
// The years a vintage may be ("2000, 2002, ...").
std::string VintageChoiceText();

// Where the keys of `layer` come from in the release of `vintage`: the
// record type, field and columns ("RTA PLACECU 41-45, current codes"), or
// "none: " and why the release has none.
std::string AreaSupplyText(const AreaLayerDef& layer, std::string_view vintage);

} // namespace zalor
