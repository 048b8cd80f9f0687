#include "tiger/release.h"

#include <utility>

namespace zalor {

namespace {

bool FourDigits(std::string_view code)
{
    if (code.size() != 4) return false;
    for (char c : code)
        if (c < '0' || c > '9') return false;
    return true;
}

// The releases of exact codes: the early ones, numbered rather than dated.
struct ExactCode {
    int code;
    LayoutGroup group;
    const char* name;
};
constexpr ExactCode kExactCodes[] = {
    {0, LayoutGroup::Tiger1990, "TIGER/Line Precensus Files, 1990"},
    {2, LayoutGroup::Tiger1990, "TIGER/Line Initial Voting District Codes Files, 1990"},
    {3, LayoutGroup::Tiger1990, "TIGER/Line Files, 1990"},
    {5, LayoutGroup::Tiger1990, "TIGER/Line 1992"},
    {21, LayoutGroup::Tiger1994, "TIGER/Line 1994"},
    {24, LayoutGroup::Tiger1994, "TIGER/Line 1995"},
    {9999, LayoutGroup::Census2000, "TIGER/Line UA Census 2000"},
};

// The releases of dated codes, by the year and month of extraction as
// YYMM (YY from 90 on in the 1900s), first to last inclusive.
struct DatedRange {
    int first, last;
    LayoutGroup group;
    const char* name;
};
constexpr DatedRange kDatedRanges[] = {
    {9706, 9810, LayoutGroup::Tiger1994, "TIGER/Line 1997"},
    {9812, 9904, LayoutGroup::Tiger1994, "TIGER/Line 1998"},
    {6, 8, LayoutGroup::Tiger1999, "TIGER/Line 1999"},
    {10, 11, LayoutGroup::Census2000, "TIGER/Line Redistricting Census 2000"},
    {103, 108, LayoutGroup::Census2000, "TIGER/Line Census 2000"},
    {203, 205, LayoutGroup::Census2000, "TIGER/Line UA Census 2000"},
    {210, 306, LayoutGroup::Tiger2002, "TIGER/Line 2002"},
    {312, 403, LayoutGroup::Tiger2003, "TIGER/Line 2003"},
};

// The 108th CD release was extracted in months that also fall in the 2002
// release's range: its record lengths tell them apart.
constexpr int kCd108First = 302, kCd108Last = 303;
constexpr const char* kCd108Name = "TIGER/Line 108th CD Census 2000";

// YYMM of a MMYY code, ordered through the century change.
int Dated(int code)
{
    const int yymm = (code % 100) * 100 + code / 100;
    return yymm >= 9000 ? yymm - 10000 : yymm; // 1990s before 2000
}

// 2004 to 2006: the year of the code, the First Edition for January to
// June and the Second for July to December.
bool EditionOf(int yymm, Release& release)
{
    const int year = yymm / 100, month = yymm % 100;
    if (yymm < 404 || year > 6 || month < 1 || month > 12) return false;
    const bool second = month >= 7;
    release.name = "TIGER/Line 200" + std::to_string(year) + (second ? " Second Edition" : " First Edition");
    release.group = year == 6 && second ? LayoutGroup::Tiger2006Second : LayoutGroup::Tiger2004;
    return true;
}

} // namespace

Release ReleaseOfCode(std::string_view code, bool& known)
{
    Release r;
    r.code = std::string(code);
    known = false;
    if (!FourDigits(code)) {
        r.group = LayoutGroup::Tiger2004;
        r.name = "TIGER/Line";
        return r;
    }
    const int n = std::stoi(std::string(code));
    for (const ExactCode& e : kExactCodes)
        if (e.code == n) {
            known = true;
            r.group = e.group;
            r.name = e.name;
            return r;
        }
    const int yymm = Dated(n);
    for (const DatedRange& d : kDatedRanges)
        if (yymm >= (d.first > 9000 ? d.first - 10000 : d.first) && yymm <= (d.last > 9000 ? d.last - 10000 : d.last)) {
            known = true;
            r.group = d.group;
            r.name = d.name;
            return r;
        }
    known = EditionOf(yymm, r);
    if (!known) {
        r.group = LayoutGroup::Tiger2004;
        r.name = "TIGER/Line";
    }
    return r;
}

Release ReleaseInGroup(const Release& byCode, LayoutGroup group)
{
    Release r = byCode;
    const bool digits = FourDigits(byCode.code);
    const int yymm = digits ? Dated(std::stoi(byCode.code)) : -1;
    r.group = NewLayouts(group) ? LayoutGroup::Tiger2004 : LayoutGroup::Census2000;
    if (!NewLayouts(group) && yymm >= kCd108First && yymm <= kCd108Last) {
        r.name = kCd108Name;
        return r;
    }
    r.name = NewLayouts(group) ? "TIGER/Line 2004 and later" : "TIGER/Line Census 2000";
    return r;
}

bool ReleaseOfVintage(std::string_view vintage, Release& release)
{
    // A code extracted in each year's release.
    static constexpr std::pair<std::string_view, std::string_view> kVintages[] = {
        {"1990", "0003"}, {"1992", "0005"}, {"1994", "0021"}, {"1995", "0024"}, {"1997", "1097"},
        {"1998", "1298"}, {"1999", "0700"}, {"2000", "0301"}, {"2002", "1002"}, {"2003", "1203"}, {"2004", "0404"}, {"2005", "0505"}, {"2006", "0806"},
    };
    for (const auto& [year, code] : kVintages)
        if (year == vintage) {
            bool known = false;
            release = ReleaseOfCode(code, known);
            return known;
        }
    return false;
}

std::string_view VintageChoices()
{
    return "1990, 1992, 1994, 1995, 1997, 1998, 1999, 2000, 2002, 2003, 2004, 2005, 2006";
}

Datum ReleaseDatum(const Release& release, int state)
{
    const bool early = FourDigits(release.code) && std::stoi(release.code) <= 21 && release.group <= LayoutGroup::Tiger1994;
    const bool pacific = state == 15 || state == 60 || state == 66 || state == 69;
    if (!early && !(pacific && release.group <= LayoutGroup::Tiger1999)) return Datum::Nad83;
    switch (state) {
    case 15: return Datum::OldHawaiian;
    case 60: return Datum::AmericanSamoa1962;
    case 66:
    case 69: return Datum::Guam1963;
    case 72:
    case 78: return Datum::PuertoRico;
    default: return Datum::Nad27;
    }
}

std::string_view GroupName(LayoutGroup group)
{
    switch (group) {
    case LayoutGroup::Tiger1990: return "1990 and 1992";
    case LayoutGroup::Tiger1994: return "1994 to 1998";
    case LayoutGroup::Tiger1999: return "1999";
    case LayoutGroup::Census2000: return "Census 2000";
    case LayoutGroup::Tiger2002: return "2002";
    case LayoutGroup::Tiger2003: return "2003";
    case LayoutGroup::Tiger2004: return "2004 to 2006 First Edition";
    case LayoutGroup::Tiger2006Second: return "2006 Second Edition";
    }
    return "";
}

} // namespace zalor
