// The layout tables. The files of the 1990s have the record lengths of
// Census 2000; their RTC and RTS differ in columns only.
#include "tiger/layouts.h"

#include <algorithm>
#include <array>

namespace zalor {

namespace {

constexpr uint8_t Bit(LayoutGroup g) { return GroupBit(g); }
constexpr uint8_t kOld = kOldGroups;
constexpr uint8_t k1990s = kGroups1990s;
constexpr uint8_t k1990 = Bit(LayoutGroup::Tiger1990);
constexpr uint8_t k2000 = kGroupCensus2000;
constexpr uint8_t k2000On = kAllGroups & ~kGroups1990s;
constexpr uint8_t k2002 = kGroup2002;
constexpr uint8_t k2003On = kGroups2003On;
constexpr uint8_t k2004On = kGroups2004On;
constexpr uint8_t k2006Second = kGroup2006Second;
constexpr uint8_t kNew = kNewGroups;
constexpr uint8_t kAll = kAllGroups;

struct LengthRow {
    uint8_t groups;
    char type;
    uint16_t length;
};

// Data characters per record type.
constexpr LengthRow kLengths[] = {
    {kAll, '1', 228}, {kAll, '2', 208}, {kOld, '3', 111}, {kAll, '4', 58},  {kOld, '5', 52},  {kNew, '5', 56},
    {kAll, '6', 76},  {kAll, '7', 74},  {kAll, '8', 36},  {kOld, '9', 88},  {kOld, 'A', 98},  {kNew, 'A', 210},
    {kNew, 'B', 98},  {kOld, 'C', 112}, {kNew, 'C', 122}, {kNew, 'E', 73},  {kAll, 'H', 62},  {kOld, 'I', 52},
    {kNew, 'I', 127}, {kAll, 'M', 90},  {kOld, 'P', 44},  {kNew, 'P', 45},  {kOld, 'R', 46},  {kNew, 'R', 76},
    {kOld, 'S', 120}, {kNew, 'S', 168}, {kNew, 'T', 47},  {kNew, 'U', 80},  {kAll, 'Z', 26},
};

struct FieldRow {
    uint8_t groups;
    char type;
    std::string_view name;
    uint16_t first, last;
};

// The fields the readers use, by record type. Names are those of the
// record layouts of the Census Bureau's releases (current codes end in CU).
constexpr FieldRow kFields[] = {
    // RT1: complete chains
    {kAll, '1', "TLID", 6, 15}, {kAll, '1', "FEDIRP", 18, 19}, {kAll, '1', "FENAME", 20, 49},
    {kAll, '1', "FETYPE", 50, 53}, {kAll, '1', "FEDIRS", 54, 55}, {kAll, '1', "CFCC", 56, 58},
    {kAll, '1', "FRADDL", 59, 69}, {kAll, '1', "TOADDL", 70, 80}, {kAll, '1', "FRADDR", 81, 91},
    {kAll, '1', "TOADDR", 92, 102}, {kAll, '1', "ZIPL", 107, 111}, {kAll, '1', "ZIPR", 112, 116},
    {kAll, '1', "FMCDL", 141, 145}, {kAll, '1', "FMCDR", 146, 150}, {kAll, '1', "FPLL", 161, 165},
    {kAll, '1', "FPLR", 166, 170}, {kAll, '1', "FRLONG", 191, 200}, {kAll, '1', "FRLAT", 201, 209},
    {kAll, '1', "TOLONG", 210, 219}, {kAll, '1', "TOLAT", 220, 228},
    // RT2: shape points, ten pairs from LONG1 on, each as wide as LONG1 to LAT1
    {kAll, '2', "TLID", 6, 15}, {kAll, '2', "LONG1", 19, 28}, {kAll, '2', "LAT1", 29, 37},
    // RT4: alternate feature identifiers
    {kAll, '4', "TLID", 6, 15}, {kAll, '4', "FEAT1", 19, 26}, {kAll, '4', "FEAT2", 27, 34},
    {kAll, '4', "FEAT3", 35, 42},
    // RT5: feature names (before 2002 without a version field)
    {kOld, '5', "FEDIRP", 15, 16}, {kOld, '5', "FENAME", 17, 46}, {kOld, '5', "FETYPE", 47, 50},
    {kOld, '5', "FEDIRS", 51, 52}, {kNew, '5', "FEDIRP", 19, 20}, {kNew, '5', "FENAME", 21, 50},
    {kNew, '5', "FETYPE", 51, 54}, {kNew, '5', "FEDIRS", 55, 56},
    // RT7: landmarks
    {kAll, '7', "LAND", 11, 20}, {kAll, '7', "CFCC", 22, 24}, {kAll, '7', "LANAME", 25, 54},
    {kAll, '7', "LALONG", 55, 64}, {kAll, '7', "LALAT", 65, 73},
    // RT8: polygons of area landmarks
    {kAll, '8', "POLYID", 16, 25}, {kAll, '8', "LAND", 26, 35},
    // RT9: key geographic locations
    {kOld, '9', "POLYID", 16, 25}, {kOld, '9', "CFCC", 27, 29}, {kOld, '9', "KGLNAME", 30, 59},
    {kOld, '9', "FEAT", 80, 87},
    // RTI: chains and their polygons
    {kOld, 'I', "TLID", 6, 15}, {kOld, 'I', "POLYIDL", 27, 36}, {kOld, 'I', "POLYIDR", 42, 51},
    {kNew, 'I', "TLID", 11, 20}, {kNew, 'I', "POLYIDL", 46, 55}, {kNew, 'I', "POLYIDR", 61, 70},
    // RTP: polygon internal points, with the water flag from 2002
    {kAll, 'P', "POLYID", 16, 25}, {kNew, 'P', "WATER", 45, 45},
    // RTC: entity names; the code of an entity is in the field of its type
    {kAll, 'C', "FILE", 6, 10}, {kAll, 'C', "STATE", 6, 7}, {k2000On, 'C', "FIPS", 15, 19},
    {k2000On, 'C', "ENTITY", 25, 25}, {k2000On, 'C', "MA", 26, 29}, {k2000On, 'C', "SD", 30, 34},
    {k2000On, 'C', "AIR", 35, 38}, {k2000On, 'C', "VTD", 39, 44}, {k2000On, 'C', "UA", 45, 49},
    {k2000, 'C', "NAME", 53, 112}, {kNew, 'C', "NAME", 63, 122},
    // RTC of the 1990s: a two-digit FIPS year, everything after it two columns earlier
    {k1990s, 'C', "FIPS", 13, 17}, {k1990s, 'C', "ENTITY", 23, 23}, {k1990s, 'C', "MA", 24, 27},
    {k1990s, 'C', "SD", 28, 32}, {k1990s, 'C', "AIR", 33, 36}, {k1990s, 'C', "VTD", 37, 42},
    {k1990s, 'C', "UA", 43, 46}, {k1990s, 'C', "NAME", 47, 112},
    // RTS before 2002: water flag and the codes of Census 2000
    {kOld, 'S', "POLYID", 16, 25}, {kOld, 'S', "WATER", 26, 26}, {kOld, 'S', "CMSAMSA", 27, 30},
    {kOld, 'S', "PMSA", 31, 34}, {kOld, 'S', "AIANHH", 35, 39}, {kOld, 'S', "AIR", 40, 43},
    {kOld, 'S', "TRUST", 44, 44}, {kOld, 'S', "ANRC", 45, 46}, {kOld, 'S', "FILE", 6, 10},
    {kOld, 'S', "FCCITY", 52, 56}, {kOld, 'S', "FMCD", 57, 61}, {kOld, 'S', "FSMCD", 62, 66},
    {kOld, 'S', "PLACE", 67, 71}, {kOld, 'S', "CTBNA00", 72, 77}, {kOld, 'S', "BLK00", 78, 81},
    {kOld, 'S', "CDCU", 83, 84}, {k2000, 'S', "SLDU", 85, 87}, {k2000, 'S', "SLDL", 88, 90},
    {k2000, 'S', "BLKGRP", 96, 96}, {k2000, 'S', "VTD", 97, 102}, {k2000, 'S', "ZCTA5", 114, 118},
    // RTS of the 1990s after column 84: six-character legislative districts
    {k1990s, 'S', "STSENATE", 85, 90}, {k1990s, 'S', "STHOUSE", 91, 96}, {k1990s, 'S', "VTD00", 97, 102},
    // RTS from 2002: the codes of Census 2000
    {kNew, 'S', "POLYID", 16, 25}, {kNew, 'S', "TRACT", 31, 36}, {kNew, 'S', "BLOCK", 37, 40},
    {kNew, 'S', "BLKGRP", 41, 41}, {kNew, 'S', "MSACMSA", 100, 103}, {kNew, 'S', "PMSA", 104, 107},
    {kNew, 'S', "CD106", 112, 113}, {kNew, 'S', "CD108", 114, 115}, {kNew, 'S', "ZCTA5", 126, 130},
    {kNew, 'S', "TAZ", 134, 139}, {kNew, 'S', "UA", 146, 150}, {kNew, 'S', "UR", 151, 151},
    {kNew, 'S', "VTD", 152, 157}, {kNew, 'S', "SLDU", 158, 160}, {kNew, 'S', "SLDL", 161, 163},
    // RTA before 2002: 1990 codes and other codes of Census 2000
    {kOld, 'A', "FILE", 6, 10}, {kOld, 'A', "POLYID", 16, 25}, {kOld, 'A', "FAIR", 26, 30}, {kOld, 'A', "FMCD", 31, 35},
    {kOld, 'A', "FPL", 36, 40}, {kOld, 'A', "CTBNA90", 41, 46}, {kOld, 'A', "BLK90", 47, 50},
    {kOld, 'A', "CD106", 51, 52}, {kOld, 'A', "CD108", 53, 54}, {kOld, 'A', "SDELM", 55, 59},
    {kOld, 'A', "SDSEC", 65, 69}, {kOld, 'A', "SDUNI", 70, 74}, {kOld, 'A', "TAZ", 75, 80},
    {kOld, 'A', "UA", 81, 84}, {kOld, 'A', "URBFLAG", 85, 85}, {kOld, 'A', "CTPP", 86, 89},
    {kOld, 'A', "AIR90", 95, 98},
    // RTA from 2002: the codes current for the release
    {kNew, 'A', "POLYID", 16, 25}, {kNew, 'A', "STATECU", 26, 27}, {kNew, 'A', "COUNTYCU", 28, 30},
    {kNew, 'A', "BLOCK", 37, 40}, {kNew, 'A', "AIANHHFPCU", 43, 47}, {kNew, 'A', "AIANHHCU", 48, 51},
    {kNew, 'A', "AIHHTLICU", 52, 52}, {kNew, 'A', "ANRCCU", 53, 57}, {kNew, 'A', "CONCITCU", 66, 70},
    {kNew, 'A', "COUSUBCU", 71, 75}, {kNew, 'A', "SUBMCDCU", 76, 80}, {kNew, 'A', "PLACECU", 81, 85},
    {kNew, 'A', "SDELMCU", 86, 90}, {kNew, 'A', "SDSECCU", 91, 95}, {kNew, 'A', "SDUNICU", 96, 100},
    {k2002, 'A', "MSACMSACU", 101, 104}, {k2002, 'A', "PMSACU", 105, 108}, {kNew, 'A', "CDCU", 113, 114},
    {k2006Second, 'A', "SLDUCU", 129, 131}, {k2006Second, 'A', "SLDLCU", 132, 134},
    {k2003On, 'A', "CBSACU", 152, 156}, {k2003On, 'A', "CSACU", 157, 159}, {k2003On, 'A', "METDIVCU", 168, 172},
    {k2004On, 'A', "UACU", 182, 186},
    // The two characters of the 1990 block number whose "99" marks a water
    // polygon in files without a water flag.
    {k1990, 'A', "BLOCK99", 48, 49},
};

constexpr std::array<RecordLayouts, kLayoutGroups> kLayouts = {
    RecordLayouts(LayoutGroup::Tiger1990), RecordLayouts(LayoutGroup::Tiger1994),
    RecordLayouts(LayoutGroup::Tiger1999), RecordLayouts(LayoutGroup::Census2000),
    RecordLayouts(LayoutGroup::Tiger2002), RecordLayouts(LayoutGroup::Tiger2003),
    RecordLayouts(LayoutGroup::Tiger2004), RecordLayouts(LayoutGroup::Tiger2006Second),
};

} // namespace

int RecordLayouts::Length(char type) const
{
    for (const LengthRow& row : kLengths)
        if (row.type == type && (row.groups & Bit(group_))) return row.length;
    return 0;
}

FieldColumns RecordLayouts::Field(char type, std::string_view name) const
{
    for (const FieldRow& row : kFields)
        if (row.type == type && row.name == name && (row.groups & Bit(group_))) return {row.first, row.last};
    return {};
}

const RecordLayouts& LayoutsOf(LayoutGroup group) { return kLayouts[static_cast<std::size_t>(group)]; }

std::size_t WidestField(char type, std::string_view name)
{
    std::size_t widest = 0;
    for (const FieldRow& row : kFields)
        if (row.type == type && row.name == name && row.groups != 0)
            widest = std::max<std::size_t>(widest, FieldColumns{row.first, row.last}.Width());
    return widest;
}

char RecordTypeOf(std::string_view extension)
{
    if (extension.size() != 4 || extension[0] != '.') return 0;
    const char c = extension[3];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace zalor
