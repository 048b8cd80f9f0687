// The TIGER/Line releases: how a county's files tell which release they
// belong to, and the layout group whose record layouts the release uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zalor {

// Releases whose records are laid out alike. Record lengths tell the old
// groups (1990s, Census 2000) from the new ones (2002 on); inside each,
// only the version code tells them apart.
enum class LayoutGroup : uint8_t {
    Pre2000,          // 1990 to 1999
    Census2000,       // 2000 Redistricting, Census 2000, UA Census 2000, 108th CD
    Tiger2002,
    Tiger2003,
    Tiger2004,        // 2004, 2005 and 2006 First Edition
    Tiger2006Second,  // 2006 Second Edition: current state legislative districts in RTA
};
inline constexpr int kLayoutGroups = 6;

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

// The release a year names, as --vintage takes it: "2000" (Census 2000),
// "2002", "2003", "2004", "2005" (First Editions) and "2006" (Second
// Edition, the last release); false for any other text.
bool ReleaseOfVintage(std::string_view vintage, Release& release);
// The years ReleaseOfVintage takes, for usage texts ("2000, 2002, ...").
std::string_view VintageChoices();

// A short name of a layout group for listings ("Census 2000", "2002", ...).
std::string_view GroupName(LayoutGroup group);

} // namespace zalor
