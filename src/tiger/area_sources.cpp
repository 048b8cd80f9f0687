#include "tiger/area_sources.h"

#include "tiger/fields.h"

namespace zalor {

namespace {

struct SourceRow {
    std::string_view theme;
    uint8_t groups;
    char record;            // 0: none in these releases
    std::string_view from;  // the key field, or the first of two adjacent ones
    std::string_view to;    // the last of two adjacent fields, or empty
    std::string_view note;  // why none; or "census2000" for codes of Census 2000 only
    std::string_view uncertain = {}; // what no real file of these releases has confirmed
    std::string_view prefix = {};    // the field that comes first in the whole key (the tract)
};

constexpr uint8_t k1990 = GroupBit(LayoutGroup::Tiger1990);
constexpr uint8_t k1994 = GroupBit(LayoutGroup::Tiger1994);
constexpr uint8_t k1999 = GroupBit(LayoutGroup::Tiger1999);
constexpr uint8_t k1994On = k1994 | k1999;     // the 1990s files with RTS, RTC and RT9
constexpr uint8_t kOld2Groups = kOldGroups & ~k1990;

constexpr std::string_view kNo1990 = "no 1990 areas";
constexpr std::string_view kNoRt9 = "no key geographic locations (RT9)";
constexpr std::string_view kNoCongress = "no 106th or 108th Congress districts";
constexpr std::string_view kNoCbsa = "no CBSA codes";
constexpr std::string_view kNoRts = "no current codes (RTS)";
constexpr std::string_view kCensus2000Only = "census2000";
constexpr std::string_view kRta1990s = "RTA after column 50";
constexpr std::string_view kRts1990s = "RTS after column 84";

// From 2002 on, RTS holds the codes of Census 2000 and RTA the codes
// current for the release; the layers of Census 2000 (tracts, blocks,
// voting districts, ZCTAs, ...) take the first, the others the second.
constexpr SourceRow kSources[] = {
    {"W", kOld2Groups, 'S', "WATER", {}, {}},
    {"W", k1990, 0, {}, {}, "no polygon water flag (RTS)"},
    {"W", kNewGroups, 'P', "WATER", {}, {}},
    {"WLND", kAllGroups, '8', "LAND", {}, {}},
    {"D", kAllGroups, '8', "LAND", {}, {}},
    {"KGL", kOld2Groups, '9', "FEAT", {}, {}},
    {"KGL", kNewGroups | k1990, 0, {}, {}, kNoRt9},
    {"CNTY", kOld2Groups, 'S', "FILE", {}, {}},
    {"CNTY", k1990, 'A', "FILE", {}, {}},
    {"CNTY", kNewGroups, 'A', "STATECU", "COUNTYCU", {}},
    {"FMCD", kOld2Groups, 'S', "FMCD", {}, {}},
    {"FMCD", kNewGroups, 'A', "COUSUBCU", {}, {}},
    {"FSMCD", kOld2Groups, 'S', "FSMCD", {}, {}},
    {"FSMCD", kNewGroups, 'A', "SUBMCDCU", {}, {}},
    {"FPL", kOld2Groups, 'S', "PLACE", {}, {}},
    {"FPL", kNewGroups, 'A', "PLACECU", {}, {}},
    {"CMSAMSA", kOld2Groups, 'S', "CMSAMSA", {}, {}},
    {"CMSAMSA", kGroup2002, 'A', "MSACMSACU", {}, {}},
    {"CMSAMSA", kGroups2003On, 'S', "MSACMSA", {}, kCensus2000Only},
    {"PMSA", kOld2Groups, 'S', "PMSA", {}, {}},
    {"PMSA", kGroup2002, 'A', "PMSACU", {}, {}},
    {"PMSA", kGroups2003On, 'S', "PMSA", {}, kCensus2000Only},
    {"FCCITY", kOld2Groups, 'S', "FCCITY", {}, {}},
    {"FCCITY", kNewGroups, 'A', "CONCITCU", {}, {}},
    {"FAIR", kOld2Groups, 'S', "AIANHH", {}, {}},
    {"FAIR", kNewGroups, 'A', "AIANHHFPCU", {}, {}},
    {"AIR", kOld2Groups, 'S', "AIR", {}, {}},
    {"AIR", kNewGroups, 'A', "AIANHHCU", {}, {}},
    {"TRUST", kOld2Groups, 'S', "TRUST", {}, {}},
    {"TRUST", kNewGroups, 'A', "AIHHTLICU", {}, {}},
    {"ANRC", kOld2Groups, 'S', "ANRC", {}, {}},
    {"ANRC", kNewGroups, 'A', "ANRCCU", {}, {}},
    {"CTBNA00", kOld2Groups, 'S', "CTBNA00", {}, {}},
    {"CTBNA00", kNewGroups, 'S', "TRACT", {}, {}},
    // A block number, and a block group's one digit, are unique only in
    // their tract: the tract is part of their keys.
    {"BLK00", kOld2Groups, 'S', "BLK00", {}, {}, {}, "CTBNA00"},
    {"BLK00", kNewGroups, 'S', "BLOCK", {}, {}, {}, "TRACT"},
    {"BGP00", kGroupCensus2000, 'S', "BLKGRP", {}, {}, {}, "CTBNA00"},
    {"BGP00", kNewGroups, 'S', "BLKGRP", {}, {}, {}, "TRACT"},
    {"BGP00", k1994On, 0, {}, {}, "no block groups"},
    {"CDCU", kOld2Groups, 'S', "CDCU", {}, {}},
    {"CDCU", kNewGroups, 'A', "CDCU", {}, {}},
    {"STSENATE", kGroupCensus2000 | kNewGroups, 'S', "SLDU", {}, {}},
    {"STSENATE", k1994On, 'S', "STSENATE", {}, {}, kRts1990s},
    {"STHOUSE", kGroupCensus2000 | kNewGroups, 'S', "SLDL", {}, {}},
    {"STHOUSE", k1994On, 'S', "STHOUSE", {}, {}, kRts1990s},
    {"VTD00", kGroupCensus2000 | kNewGroups, 'S', "VTD", {}, {}},
    {"VTD00", k1994On, 'S', "VTD00", {}, {}, kRts1990s},
    {"POLYID", kAllGroups & ~k1990, 'S', "POLYID", {}, {}},
    {"POLYID", k1990, 'A', "POLYID", {}, {}},
    {"ZCTA5", kGroupCensus2000 | kNewGroups, 'S', "ZCTA5", {}, {}},
    {"ZCTA5", k1994On, 0, {}, {}, "no ZIP Code tabulation areas"},
    {"FAIR90", kOldGroups, 'A', "FAIR", {}, {}},
    {"FMCD90", kOldGroups, 'A', "FMCD", {}, {}},
    {"FPL90", kOldGroups, 'A', "FPL", {}, {}},
    {"CTBNA90", kOldGroups, 'A', "CTBNA90", {}, {}},
    {"BLK90", kOldGroups, 'A', "BLK90", {}, {}, {}, "CTBNA90"},
    {"AIR90", kOldGroups, 'A', "AIR90", {}, {}},
    {"FAIR90", kNewGroups, 0, {}, {}, kNo1990},
    {"FMCD90", kNewGroups, 0, {}, {}, kNo1990},
    {"FPL90", kNewGroups, 0, {}, {}, kNo1990},
    {"CTBNA90", kNewGroups, 0, {}, {}, kNo1990},
    {"BLK90", kNewGroups, 0, {}, {}, kNo1990},
    {"AIR90", kNewGroups, 0, {}, {}, kNo1990},
    {"CD106", kGroupCensus2000, 'A', "CD106", {}, {}},
    {"CD106", k1999, 'A', "CD106", {}, {}, kRta1990s},
    {"CD106", k1990 | k1994, 0, {}, {}, kNoCongress},
    {"CD106", kNewGroups, 'S', "CD106", {}, {}},
    {"CD108", kGroupCensus2000, 'A', "CD108", {}, {}},
    {"CD108", kGroups1990s, 0, {}, {}, kNoCongress},
    {"CD108", kNewGroups, 'S', "CD108", {}, {}},
    {"SDELM", kGroupCensus2000, 'A', "SDELM", {}, {}},
    {"SDELM", kGroups1990s, 'A', "SDELM", {}, {}, kRta1990s},
    {"SDELM", kNewGroups, 'A', "SDELMCU", {}, {}},
    {"SDSEC", kGroupCensus2000, 'A', "SDSEC", {}, {}},
    {"SDSEC", kGroups1990s, 'A', "SDSEC", {}, {}, kRta1990s},
    {"SDSEC", kNewGroups, 'A', "SDSECCU", {}, {}},
    {"SDUNI", kGroupCensus2000, 'A', "SDUNI", {}, {}},
    {"SDUNI", kGroups1990s, 'A', "SDUNI", {}, {}, kRta1990s},
    {"SDUNI", kNewGroups, 'A', "SDUNICU", {}, {}},
    {"TAZ", kGroupCensus2000, 'A', "TAZ", {}, {}},
    {"TAZ", kGroups1990s, 'A', "TAZ", {}, {}, kRta1990s},
    {"TAZ", kNewGroups, 'S', "TAZ", {}, {}},
    {"UA", kGroupCensus2000, 'A', "UA", {}, {}},
    {"UA", kGroups1990s, 'A', "UA", {}, {}, kRta1990s},
    {"UA", kNewGroups, 'S', "UA", {}, {}},
    {"URBFLAG", kGroupCensus2000, 'A', "URBFLAG", {}, {}},
    {"URBFLAG", kGroups1990s, 'A', "URBFLAG", {}, {}, kRta1990s},
    {"URBFLAG", kNewGroups, 'S', "UR", {}, {}},
    {"CTPP", kGroupCensus2000, 'A', "CTPP", {}, {}},
    {"CTPP", kGroups1990s, 'A', "CTPP", {}, {}, kRta1990s},
    {"CTPP", kNewGroups, 0, {}, {}, "no CTPP areas"},
    {"CBSA", kOldGroups | kGroup2002, 0, {}, {}, kNoCbsa},
    {"CBSA", kGroups2003On, 'A', "CBSACU", {}, {}},
    {"CSA", kOldGroups | kGroup2002, 0, {}, {}, kNoCbsa},
    {"CSA", kGroups2003On, 'A', "CSACU", {}, {}},
    {"METDIV", kOldGroups | kGroup2002, 0, {}, {}, kNoCbsa},
    {"METDIV", kGroups2003On, 'A', "METDIVCU", {}, {}},
    {"SLDU", kAllGroups & ~kGroup2006Second, 0, {}, {}, "no current state legislative districts"},
    {"SLDU", kGroup2006Second, 'A', "SLDUCU", {}, {}},
    {"SLDL", kAllGroups & ~kGroup2006Second, 0, {}, {}, "no current state legislative districts"},
    {"SLDL", kGroup2006Second, 'A', "SLDLCU", {}, {}},
};

// The layers of the current codes of RTS, which 1990 and 1992 files lack.
constexpr std::string_view kRtsLayers[] = {"FMCD",    "FSMCD", "FPL",   "CMSAMSA", "PMSA",  "FCCITY",
                                           "FAIR",    "AIR",   "TRUST", "ANRC",    "CTBNA00", "BLK00",
                                           "BGP00",   "CDCU",  "STSENATE", "STHOUSE", "VTD00", "ZCTA5"};

} // namespace

bool WaterSource::IsWater(std::string_view text) const
{
    if (blockNumbers) return text == "99";
    text = TrimField(text);
    return !text.empty() && text != "0";
}

WaterSource WaterSourceOf(LayoutGroup group)
{
    WaterSource water;
    if (const AreaKeySource flag = AreaKeySourceOf("W", group); flag.Present()) {
        water.records = flag.records;
        water.field = flag.key;
        return water;
    }
    const RecordLayouts& layouts = LayoutsOf(group);
    water.field = layouts.Field('A', "BLOCK99");
    if (water.field.Empty()) return water;
    water.records = &kRtaRecords;
    water.blockNumbers = true;
    return water;
}

AreaContent AreaContentOf(std::string_view theme)
{
    for (const SourceRow& row : kSources)
        if (row.theme == theme && row.record != 0) return AreaRecordTypeOf(row.record)->content;
    return AreaContent::Polygons;
}

AreaKeySource AreaKeySourceOf(std::string_view theme, LayoutGroup group)
{
    const RecordLayouts& layouts = LayoutsOf(group);
    if (group == LayoutGroup::Tiger1990)
        for (std::string_view rts : kRtsLayers)
            if (rts == theme) {
                AreaKeySource none;
                none.absent = kNoRts;
                return none;
            }
    for (const SourceRow& row : kSources) {
        if (row.theme != theme || !(row.groups & GroupBit(group))) continue;
        AreaKeySource source;
        if (row.record == 0) {
            source.absent = row.note;
            return source;
        }
        source.records = AreaRecordTypeOf(row.record);
        source.field = row.from;
        source.key = layouts.Field(row.record, row.from);
        if (!row.to.empty()) source.key.last = layouts.Field(row.record, row.to).last;
        if (!row.prefix.empty()) {
            source.prefixField = row.prefix;
            source.prefix = layouts.Field(row.record, row.prefix);
        }
        source.census2000Only = row.note == kCensus2000Only;
        source.uncertain = row.uncertain;
        return source;
    }
    return {};
}

} // namespace zalor
