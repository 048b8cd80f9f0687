#include "tiger/area_sources.h"

namespace zalor {

namespace {

struct SourceRow {
    std::string_view theme;
    uint8_t groups;
    char record;            // 0: none in these releases
    std::string_view from;  // the key field, or the first of two adjacent ones
    std::string_view to;    // the last of two adjacent fields, or empty
    std::string_view note;  // why none; or "census2000" for codes of Census 2000 only
};

constexpr std::string_view kNo1990 = "no 1990 areas";
constexpr std::string_view kCensus2000Only = "census2000";

// From 2002 on, RTS holds the codes of Census 2000 and RTA the codes
// current for the release; the layers of Census 2000 (tracts, blocks,
// voting districts, ZCTAs, ...) take the first, the others the second.
constexpr SourceRow kSources[] = {
    {"W", kOldGroups, 'S', "WATER", {}, {}},
    {"W", kNewGroups, 'P', "WATER", {}, {}},
    {"WLND", kAllGroups, '8', "LAND", {}, {}},
    {"D", kAllGroups, '8', "LAND", {}, {}},
    {"KGL", kOldGroups, '9', "FEAT", {}, {}},
    {"KGL", kNewGroups, 0, {}, {}, "no key geographic locations (RT9)"},
    {"CNTY", kOldGroups, 'S', "FILE", {}, {}},
    {"CNTY", kNewGroups, 'A', "STATECU", "COUNTYCU", {}},
    {"FMCD", kOldGroups, 'S', "FMCD", {}, {}},
    {"FMCD", kNewGroups, 'A', "COUSUBCU", {}, {}},
    {"FSMCD", kOldGroups, 'S', "FSMCD", {}, {}},
    {"FSMCD", kNewGroups, 'A', "SUBMCDCU", {}, {}},
    {"FPL", kOldGroups, 'S', "PLACE", {}, {}},
    {"FPL", kNewGroups, 'A', "PLACECU", {}, {}},
    {"CMSAMSA", kOldGroups, 'S', "CMSAMSA", {}, {}},
    {"CMSAMSA", kGroup2002, 'A', "MSACMSACU", {}, {}},
    {"CMSAMSA", kGroups2003On, 'S', "MSACMSA", {}, kCensus2000Only},
    {"PMSA", kOldGroups, 'S', "PMSA", {}, {}},
    {"PMSA", kGroup2002, 'A', "PMSACU", {}, {}},
    {"PMSA", kGroups2003On, 'S', "PMSA", {}, kCensus2000Only},
    {"FCCITY", kOldGroups, 'S', "FCCITY", {}, {}},
    {"FCCITY", kNewGroups, 'A', "CONCITCU", {}, {}},
    {"FAIR", kOldGroups, 'S', "AIANHH", {}, {}},
    {"FAIR", kNewGroups, 'A', "AIANHHFPCU", {}, {}},
    {"AIR", kOldGroups, 'S', "AIR", {}, {}},
    {"AIR", kNewGroups, 'A', "AIANHHCU", {}, {}},
    {"TRUST", kOldGroups, 'S', "TRUST", {}, {}},
    {"TRUST", kNewGroups, 'A', "AIHHTLICU", {}, {}},
    {"ANRC", kOldGroups, 'S', "ANRC", {}, {}},
    {"ANRC", kNewGroups, 'A', "ANRCCU", {}, {}},
    {"CTBNA00", kOldGroups, 'S', "CTBNA00", {}, {}},
    {"CTBNA00", kNewGroups, 'S', "TRACT", {}, {}},
    {"BLK00", kOldGroups, 'S', "BLK00", {}, {}},
    {"BLK00", kNewGroups, 'S', "BLOCK", {}, {}},
    {"BGP00", kAllGroups, 'S', "BLKGRP", {}, {}},
    {"CDCU", kOldGroups, 'S', "CDCU", {}, {}},
    {"CDCU", kNewGroups, 'A', "CDCU", {}, {}},
    {"STSENATE", kAllGroups, 'S', "SLDU", {}, {}},
    {"STHOUSE", kAllGroups, 'S', "SLDL", {}, {}},
    {"VTD00", kAllGroups, 'S', "VTD", {}, {}},
    {"POLYID", kAllGroups, 'S', "POLYID", {}, {}},
    {"ZCTA5", kAllGroups, 'S', "ZCTA5", {}, {}},
    {"FAIR90", kOldGroups, 'A', "FAIR", {}, {}},
    {"FMCD90", kOldGroups, 'A', "FMCD", {}, {}},
    {"FPL90", kOldGroups, 'A', "FPL", {}, {}},
    {"CTBNA90", kOldGroups, 'A', "CTBNA90", {}, {}},
    {"BLK90", kOldGroups, 'A', "BLK90", {}, {}},
    {"AIR90", kOldGroups, 'A', "AIR90", {}, {}},
    {"FAIR90", kNewGroups, 0, {}, {}, kNo1990},
    {"FMCD90", kNewGroups, 0, {}, {}, kNo1990},
    {"FPL90", kNewGroups, 0, {}, {}, kNo1990},
    {"CTBNA90", kNewGroups, 0, {}, {}, kNo1990},
    {"BLK90", kNewGroups, 0, {}, {}, kNo1990},
    {"AIR90", kNewGroups, 0, {}, {}, kNo1990},
    {"CD106", kOldGroups, 'A', "CD106", {}, {}},
    {"CD106", kNewGroups, 'S', "CD106", {}, {}},
    {"CD108", kOldGroups, 'A', "CD108", {}, {}},
    {"CD108", kNewGroups, 'S', "CD108", {}, {}},
    {"SDELM", kOldGroups, 'A', "SDELM", {}, {}},
    {"SDELM", kNewGroups, 'A', "SDELMCU", {}, {}},
    {"SDSEC", kOldGroups, 'A', "SDSEC", {}, {}},
    {"SDSEC", kNewGroups, 'A', "SDSECCU", {}, {}},
    {"SDUNI", kOldGroups, 'A', "SDUNI", {}, {}},
    {"SDUNI", kNewGroups, 'A', "SDUNICU", {}, {}},
    {"TAZ", kOldGroups, 'A', "TAZ", {}, {}},
    {"TAZ", kNewGroups, 'S', "TAZ", {}, {}},
    {"UA", kOldGroups, 'A', "UA", {}, {}},
    {"UA", kNewGroups, 'S', "UA", {}, {}},
    {"URBFLAG", kOldGroups, 'A', "URBFLAG", {}, {}},
    {"URBFLAG", kNewGroups, 'S', "UR", {}, {}},
    {"CTPP", kOldGroups, 'A', "CTPP", {}, {}},
    {"CTPP", kNewGroups, 0, {}, {}, "no CTPP areas"},
    {"CBSA", kOldGroups | kGroup2002, 0, {}, {}, "no CBSA codes"},
    {"CBSA", kGroups2003On, 'A', "CBSACU", {}, {}},
    {"CSA", kOldGroups | kGroup2002, 0, {}, {}, "no CSA codes"},
    {"CSA", kGroups2003On, 'A', "CSACU", {}, {}},
    {"METDIV", kOldGroups | kGroup2002, 0, {}, {}, "no metropolitan divisions"},
    {"METDIV", kGroups2003On, 'A', "METDIVCU", {}, {}},
    {"SLDU", kAllGroups & ~kGroup2006Second, 0, {}, {}, "no current state legislative districts"},
    {"SLDU", kGroup2006Second, 'A', "SLDUCU", {}, {}},
    {"SLDL", kAllGroups & ~kGroup2006Second, 0, {}, {}, "no current state legislative districts"},
    {"SLDL", kGroup2006Second, 'A', "SLDLCU", {}, {}},
};

} // namespace

AreaContent AreaContentOf(std::string_view theme)
{
    for (const SourceRow& row : kSources)
        if (row.theme == theme && row.record != 0) return AreaRecordTypeOf(row.record)->content;
    return AreaContent::Polygons;
}

AreaKeySource AreaKeySourceOf(std::string_view theme, LayoutGroup group)
{
    const RecordLayouts& layouts = LayoutsOf(group);
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
        source.census2000Only = row.note == kCensus2000Only;
        return source;
    }
    return {};
}

} // namespace zalor
