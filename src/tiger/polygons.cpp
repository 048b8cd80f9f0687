#include "tiger/polygons.h"

#include "tiger/records.h"

namespace zalor {

namespace {

constexpr std::size_t kRtcMinLine = 25; // a line must reach the entity type

// The field that holds the code of an entity of `type`: false for a type
// of no known field (its code is then read where the record before's was).
bool CodeFieldOf(char type, std::string_view& field)
{
    switch (type) {
    case '3': case '4': case '5': field = "SD"; return true;
    case 'A': case 'J': field = "MA"; return true; // metropolitan areas
    case 'C': field = "FILE"; return true;
    case 'I': field = "AIR"; return true;
    case 'M': case 'P': field = "FIPS"; return true;
    case 'S': field = "STATE"; return true;
    case 'T': field = {}; return true; // tracts are named by their code
    case 'U': field = "UA"; return true;
    case 'V': field = "VTD"; return true;
    default: return false;
    }
}

std::string Cut(std::string_view text, std::size_t n) { return std::string(text.substr(0, n)); }

} // namespace

int32_t ReadPolygonLinks(TZipFile& file, const RecordLayouts& layouts, ChainTable& chains, ProgressObserver& observer)
{
    const FieldColumns tlid = layouts.Field('I', "TLID");
    const FieldColumns left = layouts.Field('I', "POLYIDL"), right = layouts.Field('I', "POLYIDR");
    const int32_t estimate = file.RecordEstimate();
    int32_t counter = 0;
    ChainFinder finder(chains);
    while (!observer.StopRequested() && !file.AtEnd()) {
        ++counter;
        if (counter > estimate) break;
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        const int32_t i = finder.Find(IntAt(r, tlid));
        if (i > 0) {
            chains[i].polyLeft = IntAt(r, left);
            chains[i].polyRight = IntAt(r, right);
        }
        if ((counter & 0xFF) == 1) observer.Progress(counter, estimate);
    }
    return counter;
}

EntityNamesRead ReadEntityNames(TZipFile& file, const RecordLayouts& layouts, County& county,
                                std::string_view inputFileName, ProgressObserver& observer)
{
    county.countyName.clear();
    county.entityNames.clear();
    county.IndexEntityNames();

    // The record length is that of the first line with its line end
    // (counted as CR LF also when the file has LF line ends).
    const std::string_view head = file.Peek(kRtcProbe);
    if (head.empty()) return EntityNamesRead::Read; // an empty file holds no names
    const std::size_t lf = head.find('\n');
    if (lf == std::string_view::npos || lf < kRtcMinLine) return EntityNamesRead::BadLength;
    const bool crlf = lf > 0 && head[lf - 1] == '\r';
    file.SetRecordLength(static_cast<int>(crlf ? lf + 1 : lf + 2));

    const FieldColumns typeField = layouts.Field('C', "ENTITY"), nameField = layouts.Field('C', "NAME");
    const FieldColumns fileField = layouts.Field('C', "FILE"), fipsField = layouts.Field('C', "FIPS");
    FieldColumns code;
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        if (r.size() < kRtcMinLine) continue;
        const char type = r[typeField.first - 1];
        if (std::string_view field; CodeFieldOf(type, field)) code = field.empty() ? FieldColumns() : layouts.Field('C', field);
        const int32_t value = code.Empty() ? 0 : IntAt(r, code);
        const std::string_view name = TrimField(At(r, nameField));
        if (type == 'C') {
            std::string_view fips = At(r, fileField);
            if (fips.size() == 5 && inputFileName.find(fips) != std::string_view::npos)
                county.countyName = Cut(name, 80);
        }
        county.entityNames.push_back({type, value, Cut(name, 81)});
        // Tribal areas are also known by their five-digit FIPS code.
        if (type == 'I') county.entityNames.push_back({'F', IntAt(r, fipsField), Cut(name, 81)});
    }
    county.IndexEntityNames();
    return EntityNamesRead::Read;
}

CountyExtent ComputeCountyExtent(const ChainTable& chains)
{
    CountyExtent e;
    auto take = [&e](const GeoPoint& p) {
        if (p.x > e.maxX) e.maxX = p.x;
        if (p.x < e.minX) e.minX = p.x;
        if (p.y > e.maxY) e.maxY = p.y;
        if (p.y < e.minY) e.minY = p.y;
    };
    for (int32_t i = 1; i <= chains.count(); ++i) {
        const ChainRecord& c = chains[i];
        take(c.from);
        for (const GeoPoint& p : chains.Shapes(c)) take(p);
        take(c.to);
    }
    return e;
}

} // namespace zalor
