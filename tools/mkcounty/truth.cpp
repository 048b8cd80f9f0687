// The ground-truth file TGRssccc.truth.json: what a correct conversion of
// the generated county must contain. One JSON object:
//
//   "generator", "format"     "zalor-mkcounty", 2
//   "vintage", "versionCode"  the release the records follow (1990, 1992, 1994,
//                             1995, 1997, 1998, 1999, 2000, 2002, ... 2006) and the
//                             version code of columns 2-5 ("0003", "0005", "0021",
//                             "0024", "1097", "1298", "0700", "0301", "1002",
//                             "1203", "0404", "0505", "0806")
//   "datum"                   of every coordinate in the files and in this file:
//                             "NAD83", "NAD27" (before 1995), "Old Hawaiian" (state
//                             15 before 2000), "Puerto Rico" (72, 78 before 1995),
//                             "Guam 1963" (66, 69 before 2000), "American Samoa
//                             1962" (60 before 2000)
//   "seed", "chainsRequested" the generator's parameters
//   "state", "county", "code" "17", "031", "17031"
//   "name"                    the county's name (RTC type C record)
//   "extent"                  {"minLon","minLat","maxLon","maxLat"}: micro-degrees
//                             over every chain point (ends and shape points)
//   "counts"                  record counts: "chains" (RT1), "rt2", "chainsWithShapes",
//                             "polygons" (RTA; RTS where there is one),
//                             "waterPolygons" (flagged; 0 without a water flag),
//                             "rt3", "rt4", "rt5", "rt7", "rt8", "rt9", "rtc",
//                             "rtp" (0 for the files that have no such record file)
//   "cfcc"                    {"A41": number of chains, ...}
//   "chainsListed"            true when "chains" lists every chain (counties of up
//                             to 50,000 chains); false and "chains" empty otherwise
//   "chains"                  in TLID order: {"tlid", "cfcc", "name" (FEDIRP FENAME
//                             FETYPE joined by single blanks), "alt" (three texts:
//                             alternate names 1-3, FEDIRS included, "" for none,
//                             as the RT4 records leave them: every record's non-zero
//                             FEAT1-FEAT3 set slots 1-3 in file order), "from" and
//                             "to" ([lon, lat]), "shapes" ([[lon, lat], ...] from
//                             -> to), "polyLeft", "polyRight" (0 outside the county),
//                             "fraddl", "toaddl", "fraddr", "toaddr", "zipl", "zipr",
//                             "fmcdl", "fmcdr", "fpll", "fplr" (the RT1 field texts,
//                             trimmed; "" when blank)}
//   "polygons"                in POLYID order: {"polyid", "water" (the water flag:
//                             RTS column 26 before 2002, RTP column 45 from 2002;
//                             "" in the 1990 Census and 1992 files, which have
//                             none), "block" (the Census 2000 block, on the chain
//                             sides of RT1 in every vintage), "suffix" (its
//                             suffix: RTS column 82 before 2002, RTA column 41 from
//                             2002)}
//   "layers"                  one entry per area layer the vintage supplies:
//                             {"record": "RTS", "RTA", "RTP" or "RT9", "start",
//                             "width" (1-based columns of the key field), "keys":
//                             {field text, trimmed: [POLYIDs]}}; polygons whose
//                             field is blank are not listed
//   "absentLayers"            {layer: why the vintage cannot supply it} for the
//                             other layers ("no 1990 areas", "no CBSA codes", ...)
//   "landmarkAreas"           RT8 by landmark: {"land", "cfcc", "name" (from RT7),
//                             "polygons"}
//   "keyLocations"            RT9 by location: {"feat", "cfcc", "name", "polygons"};
//                             empty for the files that have no RT9 (1990 Census,
//                             1992, and from 2002)
//   "landmarks"               every RT7 record in file order: {"land", "cfcc",
//                             "name", "located" (false for area landmarks, whose
//                             coordinate fields are blank), "lon", "lat"}
//   "entities"                every RTC record in file order: {"type", "code"
//                             (the text of "columns"), "columns" ([first, last] of
//                             the entity's code: from 2000 the same in every
//                             vintage, before 2000 two columns earlier after column
//                             10), "fips" (columns 15-19; 13-17 before 2000),
//                             "name"}; empty for the 1990 Census and 1992 files,
//                             which have no RTC
#include "truth.h"

#include "json.h"
#include "truth_layers.h"
#include "vintage.h"

#include <algorithm>
#include <climits>
#include <map>

namespace mkcounty {

namespace {

struct EntityCode {
    int first;
    int last;
};

// The columns of the layouts from 2000.
EntityCode CodeColumns(char type)
{
    switch (type) {
    case 'C': return {6, 10};
    case 'S': return {6, 7};
    case 'M':
    case 'P': return {15, 19};
    case '3':
    case '4':
    case '5': return {30, 34};
    case 'I': return {35, 38};
    case 'A': return {26, 29};
    case 'U': return {45, 49};
    case 'V': return {39, 44};
    default: return {0, 0};
    }
}

// Before 2000 every field after the county stands two columns earlier and
// the urbanized area has four characters.
EntityCode CodeColumns(char type, int vintage)
{
    EntityCode cols = CodeColumns(type);
    if (!EarlyLayouts(vintage) || cols.first <= 10) return cols;
    return {cols.first - 2, type == 'U' ? 46 : cols.last - 2};
}

// The entity's code as the RTC writer places it, by its columns from 2000.
std::string EntityField(const Entity& e, int first, int last)
{
    switch (first) {
    case 6: return last == 10 ? e.stateCounty : e.stateCounty.substr(0, 2);
    case 15: return e.fips;
    case 26: return e.ma;
    case 30: return e.sd;
    case 35: return e.air;
    case 39: return e.vtd;
    case 45: return e.ua;
    default: return "";
    }
}


void WriteHeader(Json& j, const County& c, int64_t chainsRequested)
{
    j.Raw("{\n");
    j.StrField("generator", "zalor-mkcounty", ",\n");
    j.IntField("format", 2, ",\n");
    j.IntField("vintage", c.vintage, ",\n");
    j.StrField("versionCode", VersionCode(c.vintage), ",\n");
    j.StrField("datum", c.datum, ",\n");
    j.Key("seed");
    j.Raw(std::to_string(c.seed));
    j.Raw(",\n");
    j.IntField("chainsRequested", chainsRequested, ",\n");
    j.StrField("state", c.state, ",\n");
    j.StrField("county", c.county, ",\n");
    j.StrField("code", c.code, ",\n");
    j.StrField("name", c.name, ",\n");
}

void WriteExtent(Json& j, const County& c)
{
    int32_t minx = INT32_MAX, miny = INT32_MAX, maxx = INT32_MIN, maxy = INT32_MIN;
    auto widen = [&](const Point& p) {
        minx = std::min(minx, p.x);
        maxx = std::max(maxx, p.x);
        miny = std::min(miny, p.y);
        maxy = std::max(maxy, p.y);
    };
    for (const Chain& ch : c.chains) {
        widen(c.nodes[static_cast<size_t>(ch.from)]);
        for (const Point& p : ch.shapes) widen(p);
        widen(c.nodes[static_cast<size_t>(ch.to)]);
    }
    j.Key("extent");
    j.Raw("{");
    j.IntField("minLon", minx);
    j.IntField("minLat", miny);
    j.IntField("maxLon", maxx);
    j.IntField("maxLat", maxy, "},\n");
}

void WriteCounts(Json& j, const County& c)
{
    size_t rt2 = 0, withShapes = 0, water = 0, rt8 = 0, rt9 = 0;
    std::map<std::string, int64_t> cfcc;
    for (const Chain& ch : c.chains) {
        rt2 += (ch.shapes.size() + 9) / 10;
        withShapes += ch.shapes.empty() ? 0 : 1;
        ++cfcc[ch.cfcc];
    }
    const int v = c.vintage;
    for (const Polygon& p : c.polygons) water += p.water && HasAdditionalCodes(v) ? 1 : 0;
    for (const Landmark& m : c.landmarks) rt8 += m.polygons.size();
    for (const KeyLocation& k : c.keyLocations) rt9 += k.polygons.size();
    j.Key("counts");
    j.Raw("{");
    const std::pair<const char*, size_t> counts[] = {
        {"chains", c.chains.size()},
        {"rt2", rt2},
        {"chainsWithShapes", withShapes},
        {"polygons", c.polygons.size()},
        {"waterPolygons", water},
        {"rt3", EarlyLayouts(v) ? c.chains.size() : 0},
        {"rt4", c.rt4.size()},
        {"rt5", c.altNames.size()},
        {"rt7", c.landmarks.size()},
        {"rt8", rt8},
        {"rt9", HasRt9(v) ? rt9 : 0},
        {"rtc", HasAdditionalCodes(v) ? c.entities.size() : 0},
        {"rtp", HasRtp(v) ? c.polygons.size() : 0}};
    for (size_t k = 0; k < std::size(counts); ++k) {
        if (k) j.Raw(",");
        j.IntField(counts[k].first, static_cast<int64_t>(counts[k].second), "");
    }
    j.Raw("},\n");
    j.Key("cfcc");
    j.Raw("{");
    bool first = true;
    for (const auto& [code, n] : cfcc) {
        if (!first) j.Raw(",");
        first = false;
        j.IntField(code, n, "");
    }
    j.Raw("},\n");
}

void WriteChain(Json& j, const County& c, const Chain& ch)
{
    j.Raw("{");
    j.IntField("tlid", ch.tlid);
    j.StrField("cfcc", ch.cfcc);
    j.StrField("name", ch.nameId >= 0 ? PrimaryName(c.names[static_cast<size_t>(ch.nameId)]) : "");
    j.Key("alt");
    j.Raw("[");
    for (int s = 0; s < 3; ++s) {
        if (s) j.Raw(",");
        j.Str(ch.alt[s] > 0 ? FullName(c.altNames[static_cast<size_t>(ch.alt[s] - 1)]) : "");
    }
    j.Raw("],");
    j.Key("from");
    j.Pt(c.nodes[static_cast<size_t>(ch.from)]);
    j.Raw(",");
    j.Key("to");
    j.Pt(c.nodes[static_cast<size_t>(ch.to)]);
    j.Raw(",");
    j.Key("shapes");
    j.Raw("[");
    for (size_t s = 0; s < ch.shapes.size(); ++s) {
        if (s) j.Raw(",");
        j.Pt(ch.shapes[s]);
    }
    j.Raw("],");
    j.IntField("polyLeft", ch.polyL);
    j.IntField("polyRight", ch.polyR, "");
    const Polygon* left = ch.polyL > 0 ? &c.polygons[static_cast<size_t>(ch.polyL) - 1] : nullptr;
    const Polygon* right = ch.polyR > 0 ? &c.polygons[static_cast<size_t>(ch.polyR) - 1] : nullptr;
    const std::pair<const char*, std::string> fields[] = {
        {"fraddl", ch.fraddl},
        {"toaddl", ch.toaddl},
        {"fraddr", ch.fraddr},
        {"toaddr", ch.toaddr},
        {"zipl", ch.addrL && left ? left->a.zip : ""},
        {"zipr", ch.addrR && right ? right->a.zip : ""},
        {"fmcdl", left ? left->a.fmcd : ""},
        {"fmcdr", right ? right->a.fmcd : ""},
        {"fpll", left ? left->a.fpl : ""},
        {"fplr", right ? right->a.fpl : ""}};
    for (const auto& [key, value] : fields) {
        j.Raw(",");
        j.StrField(key, value, "");
    }
    j.Raw("}");
}

void WriteChains(Json& j, const County& c)
{
    bool listed = c.chains.size() <= kTruthChainLimit;
    j.Key("chainsListed");
    j.Raw(listed ? "true" : "false");
    j.Raw(",\n");
    j.Key("chains");
    j.Raw("[");
    for (size_t k = 0; listed && k < c.chains.size(); ++k) {
        j.Raw(k ? ",\n" : "\n");
        WriteChain(j, c, c.chains[k]);
    }
    j.Raw("],\n");
}

void WritePolygons(Json& j, const County& c)
{
    j.Key("polygons");
    j.Raw("[");
    for (size_t k = 0; k < c.polygons.size(); ++k) {
        const Polygon& p = c.polygons[k];
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.IntField("polyid", p.polyid);
        j.StrField("water", HasAdditionalCodes(c.vintage) ? p.a.water : "");
        j.StrField("block", p.a.block);
        j.StrField("suffix", p.a.blkSuffix, "}");
    }
    j.Raw("],\n");
}

// "landmarkAreas" and "keyLocations": polygons by landmark and location.
void WriteAreaLandmarks(Json& j, const County& c)
{
    j.Key("landmarkAreas");
    j.Raw("[");
    bool first = true;
    for (const Landmark& m : c.landmarks) {
        if (m.polygons.empty()) continue;
        j.Raw(first ? "\n" : ",\n");
        first = false;
        j.Raw("{");
        j.IntField("land", m.land);
        j.StrField("cfcc", m.cfcc);
        j.StrField("name", m.name);
        j.Key("polygons");
        j.Ids(m.polygons);
        j.Raw("}");
    }
    j.Raw("],\n");
    j.Key("keyLocations");
    j.Raw("[");
    const size_t locations = HasRt9(c.vintage) ? c.keyLocations.size() : 0;
    for (size_t k = 0; k < locations; ++k) {
        const KeyLocation& kl = c.keyLocations[k];
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.IntField("feat", kl.feat);
        j.StrField("cfcc", kl.cfcc);
        j.StrField("name", kl.name);
        j.Key("polygons");
        j.Ids(kl.polygons);
        j.Raw("}");
    }
    j.Raw("],\n");
}

void WriteLandmarks(Json& j, const County& c)
{
    j.Key("landmarks");
    j.Raw("[");
    for (size_t k = 0; k < c.landmarks.size(); ++k) {
        const Landmark& m = c.landmarks[k];
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.IntField("land", m.land);
        j.StrField("cfcc", m.cfcc);
        j.StrField("name", m.name);
        j.Key("located");
        j.Raw(m.located ? "true," : "false,");
        j.IntField("lon", m.located ? m.pt.x : 0);
        j.IntField("lat", m.located ? m.pt.y : 0, "}");
    }
    j.Raw("],\n");
}

void WriteEntities(Json& j, const County& c)
{
    j.Key("entities");
    j.Raw("[");
    const size_t entities = HasAdditionalCodes(c.vintage) ? c.entities.size() : 0;
    for (size_t k = 0; k < entities; ++k) {
        const Entity& e = c.entities[k];
        const EntityCode at = CodeColumns(e.type);
        const EntityCode cols = CodeColumns(e.type, c.vintage);
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.StrField("type", std::string(1, e.type));
        j.StrField("code", EntityField(e, at.first, at.last));
        j.Key("columns");
        j.Raw("[" + std::to_string(cols.first) + "," + std::to_string(cols.last) + "],");
        j.StrField("fips", e.fips);
        j.StrField("name", e.name, "}");
    }
    j.Raw("]\n");
}

} // namespace

std::string TruthJson(const County& c, int64_t chainsRequested)
{
    Json j;
    j.out.reserve(c.chains.size() <= kTruthChainLimit ? c.chains.size() * 400 : 1 << 20);
    WriteHeader(j, c, chainsRequested);
    WriteExtent(j, c);
    WriteCounts(j, c);
    WriteChains(j, c);
    WritePolygons(j, c);
    WriteLayers(j, c);
    WriteAreaLandmarks(j, c);
    WriteLandmarks(j, c);
    WriteEntities(j, c);
    j.Raw("}\n");
    return std::move(j.out);
}

} // namespace mkcounty
