// The ground-truth file TGRssccc.truth.json: what a correct conversion of
// the generated county must contain. One JSON object:
//
//   "generator", "format"     "zalor-mkcounty", 1
//   "seed", "chainsRequested" the generator's parameters
//   "state", "county", "code" "17", "031", "17031"
//   "name"                    the county's name (RTC type C record)
//   "extent"                  {"minLon","minLat","maxLon","maxLat"}: micro-degrees
//                             over every chain point (ends and shape points)
//   "counts"                  record counts: "chains" (RT1), "rt2", "chainsWithShapes",
//                             "polygons" (RTS = RTA), "waterPolygons", "rt4", "rt5",
//                             "rt7", "rt8", "rt9", "rtc"
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
//   "polygons"                in POLYID order: {"polyid", "water" (RTS column 26),
//                             "block" (BLK00), "suffix" (column 82)}
//   "layers"                  one entry per area layer name: {"record": "RTS" or
//                             "RTA", "start", "width" (1-based columns of the key
//                             field), "keys": {field text, trimmed: [POLYIDs]}};
//                             polygons whose field is blank are not listed
//   "landmarkAreas"           RT8 by landmark: {"land", "cfcc", "name" (from RT7),
//                             "polygons"}
//   "keyLocations"            RT9 by location: {"feat", "cfcc", "name", "polygons"}
//   "landmarks"               every RT7 record in file order: {"land", "cfcc",
//                             "name", "located" (false for area landmarks, whose
//                             coordinate fields are blank), "lon", "lat"}
//   "entities"                every RTC record in file order: {"type", "code"
//                             (the text of "columns"), "columns" ([first, last] of
//                             the entity's code by the Census 2000 layout), "fips"
//                             (columns 15-19), "name"}
#include "truth.h"

#include "records.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>

namespace mkcounty {

namespace {

class Json {
public:
    std::string out;
    void Raw(std::string_view s) { out.append(s); }
    void Str(std::string_view s)
    {
        out.push_back('"');
        for (char ch : s) {
            unsigned char u = static_cast<unsigned char>(ch);
            if (ch == '"' || ch == '\\') {
                out.push_back('\\');
                out.push_back(ch);
            } else if (u < 0x20 || u >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                out.append(buf);
            } else {
                out.push_back(ch);
            }
        }
        out.push_back('"');
    }
    void Int(int64_t v) { out.append(std::to_string(v)); }
    void Key(std::string_view k)
    {
        Str(k);
        out.push_back(':');
    }
    void Pt(const Point& p)
    {
        out.push_back('[');
        Int(p.x);
        out.push_back(',');
        Int(p.y);
        out.push_back(']');
    }
    void Ids(const std::vector<int32_t>& v)
    {
        out.push_back('[');
        for (size_t k = 0; k < v.size(); ++k) {
            if (k) out.push_back(',');
            Int(v[k]);
        }
        out.push_back(']');
    }
};

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

struct LayerSpec {
    const char* name;
    const char* record;
    int start;
    int width;
};

// Every area layer with the record field that keys it. AIR is the
// four-character census code (columns 40-43); FPL90 is the 1990 place code
// of columns 36-40.
const LayerSpec kLayers[] = {
    {"CNTY", "RTS", 6, 5},      {"FMCD", "RTS", 57, 5},     {"FSMCD", "RTS", 62, 5},    {"FPL", "RTS", 67, 5},
    {"CMSAMSA", "RTS", 27, 4},  {"PMSA", "RTS", 31, 4},     {"FCCITY", "RTS", 52, 5},   {"FAIR", "RTS", 35, 5},
    {"AIR", "RTS", 40, 4},      {"TRUST", "RTS", 44, 1},    {"ANRC", "RTS", 45, 2},     {"CTBNA00", "RTS", 72, 6},
    {"BLK00", "RTS", 78, 4},    {"BGP00", "RTS", 78, 1},    {"CDCU", "RTS", 83, 2},     {"STSENATE", "RTS", 85, 6},
    {"STHOUSE", "RTS", 85, 6},  {"VTD00", "RTS", 97, 6},    {"POLYID", "RTS", 16, 10},  {"ZCTA5", "RTS", 114, 5},
    {"W", "RTS", 26, 1},        {"FAIR90", "RTA", 26, 5},   {"FMCD90", "RTA", 31, 5},   {"FPL90", "RTA", 36, 5},
    {"CTBNA90", "RTA", 41, 6},  {"BLK90", "RTA", 47, 4},    {"AIR90", "RTA", 95, 4},    {"CD106", "RTA", 51, 2},
    {"CD108", "RTA", 53, 2},    {"SDELM", "RTA", 55, 5},    {"SDSEC", "RTA", 65, 5},    {"SDUNI", "RTA", 70, 5},
    {"TAZ", "RTA", 75, 6},      {"UA", "RTA", 81, 4},       {"URBFLAG", "RTA", 85, 1},  {"CTPP", "RTA", 86, 4},
};

struct EntityCode {
    int first;
    int last;
};

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

std::string EntityField(const Entity& e, int first, int last)
{
    // Same placement as the RTC writer.
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

} // namespace

std::string TruthJson(const County& c, int64_t chainsRequested)
{
    Json j;
    j.out.reserve(c.chains.size() <= kTruthChainLimit ? c.chains.size() * 400 : 1 << 20);
    j.Raw("{\n");
    j.Key("generator");
    j.Str("zalor-mkcounty");
    j.Raw(",\n");
    j.Key("format");
    j.Int(1);
    j.Raw(",\n");
    j.Key("seed");
    j.Raw(std::to_string(c.seed));
    j.Raw(",\n");
    j.Key("chainsRequested");
    j.Int(chainsRequested);
    j.Raw(",\n");
    j.Key("state");
    j.Str(c.state);
    j.Raw(",\n");
    j.Key("county");
    j.Str(c.county);
    j.Raw(",\n");
    j.Key("code");
    j.Str(c.code);
    j.Raw(",\n");
    j.Key("name");
    j.Str(c.name);
    j.Raw(",\n");

    int32_t minx = INT32_MAX, miny = INT32_MAX, maxx = INT32_MIN, maxy = INT32_MIN;
    size_t rt2 = 0, withShapes = 0;
    std::map<std::string, int64_t> cfcc;
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
        rt2 += (ch.shapes.size() + 9) / 10;
        withShapes += ch.shapes.empty() ? 0 : 1;
        ++cfcc[ch.cfcc];
    }
    j.Key("extent");
    j.Raw("{");
    j.Key("minLon");
    j.Int(minx);
    j.Raw(",");
    j.Key("minLat");
    j.Int(miny);
    j.Raw(",");
    j.Key("maxLon");
    j.Int(maxx);
    j.Raw(",");
    j.Key("maxLat");
    j.Int(maxy);
    j.Raw("},\n");

    size_t water = 0, rt8 = 0, rt9 = 0;
    for (const Polygon& p : c.polygons) water += p.water ? 1 : 0;
    for (const Landmark& m : c.landmarks) rt8 += m.polygons.size();
    for (const KeyLocation& k : c.keyLocations) rt9 += k.polygons.size();
    j.Key("counts");
    j.Raw("{");
    const std::pair<const char*, size_t> counts[] = {
        {"chains", c.chains.size()},     {"rt2", rt2},          {"chainsWithShapes", withShapes},
        {"polygons", c.polygons.size()}, {"waterPolygons", water}, {"rt4", c.rt4.size()},
        {"rt5", c.altNames.size()},      {"rt7", c.landmarks.size()}, {"rt8", rt8},
        {"rt9", rt9},                    {"rtc", c.entities.size()}};
    for (size_t k = 0; k < std::size(counts); ++k) {
        if (k) j.Raw(",");
        j.Key(counts[k].first);
        j.Int(static_cast<int64_t>(counts[k].second));
    }
    j.Raw("},\n");
    j.Key("cfcc");
    j.Raw("{");
    bool first = true;
    for (const auto& [code, n] : cfcc) {
        if (!first) j.Raw(",");
        first = false;
        j.Key(code);
        j.Int(n);
    }
    j.Raw("},\n");

    bool listed = c.chains.size() <= kTruthChainLimit;
    j.Key("chainsListed");
    j.Raw(listed ? "true" : "false");
    j.Raw(",\n");
    j.Key("chains");
    j.Raw("[");
    if (listed) {
        for (size_t k = 0; k < c.chains.size(); ++k) {
            const Chain& ch = c.chains[k];
            j.Raw(k ? ",\n" : "\n");
            j.Raw("{");
            j.Key("tlid");
            j.Int(ch.tlid);
            j.Raw(",");
            j.Key("cfcc");
            j.Str(ch.cfcc);
            j.Raw(",");
            j.Key("name");
            j.Str(ch.nameId >= 0 ? PrimaryName(c.names[static_cast<size_t>(ch.nameId)]) : "");
            j.Raw(",");
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
            j.Key("polyLeft");
            j.Int(ch.polyL);
            j.Raw(",");
            j.Key("polyRight");
            j.Int(ch.polyR);
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
                j.Key(key);
                j.Str(value);
            }
            j.Raw("}");
        }
    }
    j.Raw("],\n");

    j.Key("polygons");
    j.Raw("[");
    for (size_t k = 0; k < c.polygons.size(); ++k) {
        const Polygon& p = c.polygons[k];
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.Key("polyid");
        j.Int(p.polyid);
        j.Raw(",");
        j.Key("water");
        j.Str(p.a.water);
        j.Raw(",");
        j.Key("block");
        j.Str(p.a.block);
        j.Raw(",");
        j.Key("suffix");
        j.Str(p.a.blkSuffix);
        j.Raw("}");
    }
    j.Raw("],\n");

    // Layers: read the key texts back from the records themselves.
    std::vector<Record> rts, rta;
    rts.reserve(c.polygons.size());
    rta.reserve(c.polygons.size());
    for (const Polygon& p : c.polygons) {
        rts.push_back(RtsRecord(c, p));
        rta.push_back(RtaRecord(c, p));
    }
    j.Key("layers");
    j.Raw("{");
    for (size_t l = 0; l < std::size(kLayers); ++l) {
        const LayerSpec& spec = kLayers[l];
        const std::vector<Record>& records = std::string_view(spec.record) == "RTS" ? rts : rta;
        std::map<std::string, std::vector<int32_t>, std::less<>> keys;
        for (size_t k = 0; k < records.size(); ++k) {
            std::string_view text = Trim(records[k].View().substr(static_cast<size_t>(spec.start - 1),
                                                                  static_cast<size_t>(spec.width)));
            if (!text.empty()) keys[std::string(text)].push_back(c.polygons[k].polyid);
        }
        j.Raw(l ? ",\n" : "\n");
        j.Key(spec.name);
        j.Raw("{");
        j.Key("record");
        j.Str(spec.record);
        j.Raw(",");
        j.Key("start");
        j.Int(spec.start);
        j.Raw(",");
        j.Key("width");
        j.Int(spec.width);
        j.Raw(",");
        j.Key("keys");
        j.Raw("{");
        bool firstKey = true;
        for (const auto& [text, ids] : keys) {
            if (!firstKey) j.Raw(",");
            firstKey = false;
            j.Key(text);
            j.Ids(ids);
        }
        j.Raw("}}");
    }
    j.Raw("},\n");

    j.Key("landmarkAreas");
    j.Raw("[");
    first = true;
    for (const Landmark& m : c.landmarks) {
        if (m.polygons.empty()) continue;
        j.Raw(first ? "\n" : ",\n");
        first = false;
        j.Raw("{");
        j.Key("land");
        j.Int(m.land);
        j.Raw(",");
        j.Key("cfcc");
        j.Str(m.cfcc);
        j.Raw(",");
        j.Key("name");
        j.Str(m.name);
        j.Raw(",");
        j.Key("polygons");
        j.Ids(m.polygons);
        j.Raw("}");
    }
    j.Raw("],\n");

    j.Key("keyLocations");
    j.Raw("[");
    for (size_t k = 0; k < c.keyLocations.size(); ++k) {
        const KeyLocation& kl = c.keyLocations[k];
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.Key("feat");
        j.Int(kl.feat);
        j.Raw(",");
        j.Key("cfcc");
        j.Str(kl.cfcc);
        j.Raw(",");
        j.Key("name");
        j.Str(kl.name);
        j.Raw(",");
        j.Key("polygons");
        j.Ids(kl.polygons);
        j.Raw("}");
    }
    j.Raw("],\n");

    j.Key("landmarks");
    j.Raw("[");
    for (size_t k = 0; k < c.landmarks.size(); ++k) {
        const Landmark& m = c.landmarks[k];
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.Key("land");
        j.Int(m.land);
        j.Raw(",");
        j.Key("cfcc");
        j.Str(m.cfcc);
        j.Raw(",");
        j.Key("name");
        j.Str(m.name);
        j.Raw(",");
        j.Key("located");
        j.Raw(m.located ? "true" : "false");
        j.Raw(",");
        j.Key("lon");
        j.Int(m.located ? m.pt.x : 0);
        j.Raw(",");
        j.Key("lat");
        j.Int(m.located ? m.pt.y : 0);
        j.Raw("}");
    }
    j.Raw("],\n");

    j.Key("entities");
    j.Raw("[");
    for (size_t k = 0; k < c.entities.size(); ++k) {
        const Entity& e = c.entities[k];
        EntityCode cols = CodeColumns(e.type);
        j.Raw(k ? ",\n" : "\n");
        j.Raw("{");
        j.Key("type");
        j.Str(std::string(1, e.type));
        j.Raw(",");
        j.Key("code");
        j.Str(EntityField(e, cols.first, cols.last));
        j.Raw(",");
        j.Key("columns");
        j.Raw("[" + std::to_string(cols.first) + "," + std::to_string(cols.last) + "],");
        j.Key("fips");
        j.Str(e.fips);
        j.Raw(",");
        j.Key("name");
        j.Str(e.name);
        j.Raw("}");
    }
    j.Raw("]\n}\n");
    return std::move(j.out);
}

} // namespace mkcounty
