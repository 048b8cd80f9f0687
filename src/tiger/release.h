// The TIGER/Line releases: how a county's files tell which release they
// belong to, and the layout group whose record layouts the release uses.
#pragma once

#include "geometry/datum.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zalor {

// Releases whose records are laid out alike. Record lengths tell the old
// groups (1990s, Census 2000) from the new ones (2002 on); inside each,
// only the version code tells them apart.
enum class LayoutGroup : uint8_t {
    Tiger1990,        // 1990 Precensus, 1990 VTD, 1990 Census, 1992: no RTS, RTC, RT9
    Tiger1994,        // 1994 to 1998: RTS and RTC in their 1990s layouts
    Tiger1999,        // 1999: as 1994, with the 106th Congress districts
    Census2000,       // 2000 Redistricting, Census 2000, UA Census 2000, 108th CD
    Tiger2002,
    Tiger2003,
    Tiger2004,        // 2004, 2005 and 2006 First Edition
    Tiger2006Second,  // 2006 Second Edition: current state legislative districts in RTA
};
inline constexpr int kLayoutGroups = 8;

// The layouts of 2002 and later (longer RT5, RTA, RTC, RTI, RTP, RTR, RTS).
inline bool NewLayouts(LayoutGroup group) { return group >= LayoutGroup::Tiger2002; }

struct Release {
    LayoutGroup group = LayoutGroup::Census2000;
    std::string name; // "TIGER/Line 2006 Second Edition"
    std::string code; // the version code as the RT1 records carry it ("0806")

    // "TIGER/Line 2006 Second Edition (version 0806)".
    std::string Text() const { return name + " (version " + code + ")"; }
};

// The release of a version code (four digits, RT1 columns 2-5). Codes
// from 1997 on are the month and year the county was extracted (MMYY);
// `known` is false for a code that names no release (the release is then
// that of the newest layouts, to be confirmed by the record lengths).
Release ReleaseOfCode(std::string_view code, bool& known);

// The release a county's records are read as when their lengths put it in
// the other family than its code: the code's release within `group`, or
// the group's own name.
Release ReleaseInGroup(const Release& byCode, LayoutGroup group);

// The datum of a release's coordinates in the state `state` (FIPS code):
// NAD27 before 1995 (local datums in Hawaii, Puerto Rico and the Virgin
// Islands and the Pacific Island Areas), NAD83 from 1995, but for Hawaii
// and the Pacific Island Areas only from Census 2000.
Datum ReleaseDatum(const Release& release, int state);

// The release a year names, as --vintage takes it: "1990" (1990 Census),
// "1992", "1994", "1995", "1997", "1998", "1999", "2000" (Census 2000),
// "2002", "2003", "2004", "2005" (First Editions) and "2006" (Second
// Edition, the last release); false for any other text.
bool ReleaseOfVintage(std::string_view vintage, Release& release);
// The years ReleaseOfVintage takes, for usage texts ("2000, 2002, ...").
std::string_view VintageChoices();

// A short name of a layout group for listings ("Census 2000", "2002", ...).
std::string_view GroupName(LayoutGroup group);

} // namespace zalor
