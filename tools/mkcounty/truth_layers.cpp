// The area layers of the truth file: for every layer the county's vintage
// supplies, the record and columns of the field that keys it and the
// polygons of every key, read back from the records themselves; for the
// others, why the vintage cannot supply them.
#include "truth_layers.h"

#include "records.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mkcounty {

namespace {

constexpr int kFirst = 1990, kLast = 9999;

// The field that keys a layer in the vintages from `from` to `to`.
struct LayerField {
    const char* name;
    int from, to;
    const char* record; // "RTS", "RTA", "RTP" or "RT9"
    int start, width;   // 1-based columns
    // The field before it in a key of two fields (the tract of a block or
    // block group); 0 when the field is the key.
    int prefixStart = 0, prefixWidth = 0;
};

// In the order of the truth file. Before 2002 RTS holds the Census 2000
// codes (from 1994: the 1990 Census and 1992 files have none) and RTA the
// 1990 ones, from 2002 RTA the current codes.
const LayerField kFields[] = {
    {"CNTY", 1990, 1992, "RTA", 6, 5},        {"CNTY", 1994, 2000, "RTS", 6, 5},
    {"CNTY", 2002, kLast, "RTA", 26, 5},      {"FMCD", 1994, 2000, "RTS", 57, 5},
    {"FMCD", 2002, kLast, "RTA", 71, 5},      {"FSMCD", 1994, 2000, "RTS", 62, 5},
    {"FSMCD", 2002, kLast, "RTA", 76, 5},     {"FPL", 1994, 2000, "RTS", 67, 5},
    {"FPL", 2002, kLast, "RTA", 81, 5},       {"CMSAMSA", 1994, 2000, "RTS", 27, 4},
    {"CMSAMSA", 2002, 2002, "RTA", 101, 4},   {"CMSAMSA", 2003, kLast, "RTS", 100, 4},
    {"PMSA", 1994, 2000, "RTS", 31, 4},       {"PMSA", 2002, 2002, "RTA", 105, 4},
    {"PMSA", 2003, kLast, "RTS", 104, 4},     {"FCCITY", 1994, 2000, "RTS", 52, 5},
    {"FCCITY", 2002, kLast, "RTA", 66, 5},    {"FAIR", 1994, 2000, "RTS", 35, 5},
    {"FAIR", 2002, kLast, "RTA", 43, 5},      {"AIR", 1994, 2000, "RTS", 40, 4},
    {"AIR", 2002, kLast, "RTA", 48, 4},       {"TRUST", 1994, 2000, "RTS", 44, 1},
    {"TRUST", 2002, kLast, "RTA", 52, 1},     {"ANRC", 1994, 2000, "RTS", 45, 2},
    {"ANRC", 2002, kLast, "RTA", 53, 5},      {"CTBNA00", 1994, 2000, "RTS", 72, 6},
    {"CTBNA00", 2002, kLast, "RTS", 31, 6},   {"BLK00", 1994, 2000, "RTS", 78, 4, 72, 6},
    {"BLK00", 2002, kLast, "RTS", 37, 4, 31, 6}, {"BGP00", 2000, 2000, "RTS", 96, 1, 72, 6},
    {"BGP00", 2002, kLast, "RTS", 41, 1, 31, 6},     {"CDCU", 1994, 2000, "RTS", 83, 2},
    {"CDCU", 2002, kLast, "RTA", 113, 2},     {"STSENATE", 1994, 1999, "RTS", 85, 6},
    {"STSENATE", 2000, 2000, "RTS", 85, 3},   {"STSENATE", 2002, kLast, "RTS", 158, 3},
    {"STHOUSE", 1994, 1999, "RTS", 91, 6},    {"STHOUSE", 2000, 2000, "RTS", 88, 3},
    {"STHOUSE", 2002, kLast, "RTS", 161, 3},  {"VTD00", 1994, 2000, "RTS", 97, 6},
    {"VTD00", 2002, kLast, "RTS", 152, 6},    {"POLYID", 1990, 1992, "RTA", 16, 10},
    {"POLYID", 1994, kLast, "RTS", 16, 10},   {"ZCTA5", 2000, 2000, "RTS", 114, 5},
    {"ZCTA5", 2002, kLast, "RTS", 126, 5},    {"W", 1994, 2000, "RTS", 26, 1},
    {"W", 2002, kLast, "RTP", 45, 1},         {"FAIR90", 1990, 2000, "RTA", 26, 5},
    {"FMCD90", 1990, 2000, "RTA", 31, 5},     {"FPL90", 1990, 2000, "RTA", 36, 5},
    {"CTBNA90", 1990, 2000, "RTA", 41, 6},    {"BLK90", 1990, 2000, "RTA", 47, 4, 41, 6},
    {"AIR90", 1990, 2000, "RTA", 95, 4},      {"CD106", 1999, 2000, "RTA", 51, 2},
    {"CD106", 2002, kLast, "RTS", 112, 2},    {"CD108", 2000, 2000, "RTA", 53, 2},
    {"CD108", 2002, kLast, "RTS", 114, 2},    {"SDELM", 1990, 2000, "RTA", 55, 5},
    {"SDELM", 2002, kLast, "RTA", 86, 5},     {"SDSEC", 1990, 2000, "RTA", 65, 5},
    {"SDSEC", 2002, kLast, "RTA", 91, 5},     {"SDUNI", 1990, 2000, "RTA", 70, 5},
    {"SDUNI", 2002, kLast, "RTA", 96, 5},     {"TAZ", 1990, 2000, "RTA", 75, 6},
    {"TAZ", 2002, kLast, "RTS", 134, 6},      {"UA", 1990, 2000, "RTA", 81, 4},
    {"UA", 2002, kLast, "RTS", 146, 5},       {"URBFLAG", 1990, 2000, "RTA", 85, 1},
    {"URBFLAG", 2002, kLast, "RTS", 151, 1},  {"CTPP", 1990, 2000, "RTA", 86, 4},
    {"KGL", 1994, 2000, "RT9", 80, 8},        {"CBSA", 2003, kLast, "RTA", 152, 5},
    {"CSA", 2003, kLast, "RTA", 157, 3},      {"METDIV", 2003, kLast, "RTA", 168, 5},
    {"SLDU", 2006, kLast, "RTA", 129, 3},     {"SLDL", 2006, kLast, "RTA", 132, 3},
};

struct Absence {
    const char* name;
    int from, to;
    const char* reason;
};

constexpr const char* kNoCurrent = "no current codes (RTS)";
constexpr const char* kNoCongress = "no 106th or 108th Congress districts";

// Why a vintage from `from` to `to` that has no field for a layer cannot
// supply it.
const Absence kAbsences[] = {
    {"W", 1990, 1992, "no polygon water flag (RTS)"},
    {"KGL", kFirst, kLast, "no key geographic locations (RT9)"},
    {"FMCD", 1990, 1992, kNoCurrent},
    {"FSMCD", 1990, 1992, kNoCurrent},
    {"FPL", 1990, 1992, kNoCurrent},
    {"CMSAMSA", 1990, 1992, kNoCurrent},
    {"PMSA", 1990, 1992, kNoCurrent},
    {"FCCITY", 1990, 1992, kNoCurrent},
    {"FAIR", 1990, 1992, kNoCurrent},
    {"AIR", 1990, 1992, kNoCurrent},
    {"TRUST", 1990, 1992, kNoCurrent},
    {"ANRC", 1990, 1992, kNoCurrent},
    {"CTBNA00", 1990, 1992, kNoCurrent},
    {"BLK00", 1990, 1992, kNoCurrent},
    {"BGP00", 1990, 1992, kNoCurrent},
    {"BGP00", 1994, 1999, "no block groups"},
    {"CDCU", 1990, 1992, kNoCurrent},
    {"STSENATE", 1990, 1992, kNoCurrent},
    {"STHOUSE", 1990, 1992, kNoCurrent},
    {"VTD00", 1990, 1992, kNoCurrent},
    {"ZCTA5", 1990, 1992, kNoCurrent},
    {"ZCTA5", 1994, 1999, "no ZIP Code tabulation areas"},
    {"CD106", kFirst, 1998, kNoCongress},
    {"CD108", kFirst, 1999, kNoCongress},
    {"FAIR90", kFirst, kLast, "no 1990 areas"},
    {"FMCD90", kFirst, kLast, "no 1990 areas"},
    {"FPL90", kFirst, kLast, "no 1990 areas"},
    {"CTBNA90", kFirst, kLast, "no 1990 areas"},
    {"BLK90", kFirst, kLast, "no 1990 areas"},
    {"AIR90", kFirst, kLast, "no 1990 areas"},
    {"CTPP", kFirst, kLast, "no CTPP areas"},
    {"CBSA", kFirst, kLast, "no CBSA codes"},
    {"CSA", kFirst, kLast, "no CBSA codes"},
    {"METDIV", kFirst, kLast, "no CBSA codes"},
    {"SLDU", kFirst, kLast, "no current state legislative districts"},
    {"SLDL", kFirst, kLast, "no current state legislative districts"},
};

enum Source { kRts, kRta, kRtp, kRt9 };

Source SourceOf(std::string_view record)
{
    if (record == "RTA") return kRta;
    if (record == "RTP") return kRtp;
    if (record == "RT9") return kRt9;
    return kRts;
}

struct Gathered {
    const LayerField* field;
    Source source;
    std::map<std::string, std::vector<int32_t>, std::less<>> keys;

    static std::string_view Trimmed(std::string_view text)
    {
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        return text;
    }

    // The key of a record: its field, after the prefix field when there is
    // one (a key is whole only when both are there).
    void Take(const Record& r, int32_t polyid)
    {
        const std::string_view record = r.View();
        std::string_view text = Trimmed(record.substr(static_cast<size_t>(field->start - 1),
                                                      static_cast<size_t>(field->width)));
        if (text.empty()) return;
        std::string key(text);
        if (field->prefixWidth > 0) {
            const std::string_view prefix = record.substr(static_cast<size_t>(field->prefixStart - 1),
                                                          static_cast<size_t>(field->prefixWidth));
            if (Trimmed(prefix).empty()) return;
            const std::string whole = std::string(prefix) + std::string(record.substr(
                                          static_cast<size_t>(field->start - 1), static_cast<size_t>(field->width)));
            key = Trimmed(whole);
        }
        auto it = keys.find(key);
        if (it == keys.end()) it = keys.emplace(key, std::vector<int32_t>{}).first;
        it->second.push_back(polyid);
    }
};

// The keys of every layer the vintage supplies, in table order; the names
// of the others in `absent`.
std::vector<Gathered> GatherLayers(const County& c, std::vector<const char*>& absent)
{
    std::vector<Gathered> layers;
    std::vector<std::string_view> seen;
    for (const LayerField& f : kFields) {
        bool known = false;
        for (std::string_view s : seen) known = known || s == f.name;
        if (!known) seen.push_back(f.name);
    }
    for (std::string_view name : seen) {
        const LayerField* field = nullptr;
        for (const LayerField& f : kFields)
            if (name == f.name && c.vintage >= f.from && c.vintage <= f.to) field = &f;
        if (field) layers.push_back({field, SourceOf(field->record), {}});
        else absent.push_back(name.data());
    }
    bool rtsKeys = false, rtpKeys = false;
    for (const Gathered& g : layers) {
        rtsKeys = rtsKeys || g.source == kRts;
        rtpKeys = rtpKeys || g.source == kRtp;
    }
    for (const Polygon& p : c.polygons) {
        const Record rta = RtaRecord(c, p);
        const Record rts = rtsKeys ? RtsRecord(c, p) : Record(1);
        const Record rtp = rtpKeys ? RtpRecord(c, p) : Record(1);
        for (Gathered& g : layers)
            if (g.source != kRt9) g.Take(g.source == kRts ? rts : (g.source == kRta ? rta : rtp), p.polyid);
    }
    for (Gathered& g : layers) {
        if (g.source != kRt9) continue;
        for (const KeyLocation& k : c.keyLocations)
            for (int32_t polyid : k.polygons) g.Take(Rt9Record(c, k, polyid), polyid);
    }
    return layers;
}

const char* AbsenceReason(std::string_view name, int vintage)
{
    for (const Absence& a : kAbsences)
        if (name == a.name && vintage >= a.from && vintage <= a.to) return a.reason;
    return "not in this vintage";
}

} // namespace

void WriteLayers(Json& j, const County& c)
{
    std::vector<const char*> absent;
    std::vector<Gathered> layers = GatherLayers(c, absent);
    j.Key("layers");
    j.Raw("{");
    for (size_t l = 0; l < layers.size(); ++l) {
        const LayerField& f = *layers[l].field;
        j.Raw(l ? ",\n" : "\n");
        j.Key(f.name);
        j.Raw("{");
        j.StrField("record", f.record);
        j.IntField("start", f.start);
        j.IntField("width", f.width);
        if (f.prefixWidth > 0) {
            j.IntField("prefixStart", f.prefixStart);
            j.IntField("prefixWidth", f.prefixWidth);
        }
        j.Key("keys");
        j.Raw("{");
        bool first = true;
        for (const auto& [text, ids] : layers[l].keys) {
            if (!first) j.Raw(",");
            first = false;
            j.Key(text);
            j.Ids(ids);
        }
        j.Raw("}}");
    }
    j.Raw("},\n");
    j.Key("absentLayers");
    j.Raw("{");
    for (size_t l = 0; l < absent.size(); ++l) {
        if (l) j.Raw(",");
        j.StrField(absent[l], AbsenceReason(absent[l], c.vintage), "");
    }
    j.Raw("},\n");
}

} // namespace mkcounty
