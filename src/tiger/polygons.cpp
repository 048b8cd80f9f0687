#include "tiger/polygons.h"

#include "tiger/records.h"

namespace zalor {

namespace {

constexpr std::size_t kRtcMinLine = 25; // a line must reach the entity type

// Code columns of an RTC entity type; {0, 0} for none.
struct CodeColumns {
    std::size_t first = 0;
    std::size_t last = 0;
};

bool CodeColumnsOf(char type, CodeColumns& cols)
{
    switch (type) {
    case '3': case '4': case '5': cols = {30, 34}; return true;
    case 'A': cols = {26, 29}; return true; // metropolitan area code
    case 'C': cols = {6, 10}; return true;
    case 'I': cols = {35, 38}; return true;
    case 'J': cols = {25, 28}; return true;
    case 'M': case 'P': cols = {15, 19}; return true;
    case 'S': cols = {6, 7}; return true;
    case 'T': cols = {0, 0}; return true;
    case 'U': cols = {45, 48}; return true;
    case 'V': cols = {39, 44}; return true;
    default: return false; // the columns of the record before
    }
}

std::string Cut(std::string_view text, std::size_t n) { return std::string(text.substr(0, n)); }

} // namespace

int32_t ReadPolygonLinks(TZipFile& file, ChainTable& chains, ProgressObserver& observer)
{
    const int32_t estimate = file.RecordEstimate();
    int32_t counter = 0;
    ChainFinder finder(chains);
    while (!observer.StopRequested() && !file.AtEnd()) {
        ++counter;
        if (counter > estimate) break;
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        const int32_t i = finder.Find(FieldToInt(Columns(r, 6, 15)));
        if (i > 0) {
            chains[i].polyLeft = FieldToInt(Columns(r, 27, 36));
            chains[i].polyRight = FieldToInt(Columns(r, 42, 51));
        }
        if ((counter & 0xFF) == 1) observer.Progress(counter, estimate);
    }
    return counter;
}

EntityNamesRead ReadEntityNames(TZipFile& file, County& county, std::string_view inputFileName,
                                ProgressObserver& observer)
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

    CodeColumns cols;
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        if (r.size() < kRtcMinLine) continue;
        const char type = r[24];
        CodeColumnsOf(type, cols);
        const int32_t code = cols.first == 0 ? 0 : FieldToInt(Columns(r, cols.first, cols.last));
        const std::string_view name = TrimField(Columns(r, 53, 112));
        if (type == 'C') {
            std::string_view fips = Columns(r, 6, 10);
            if (fips.size() == 5 && inputFileName.find(fips) != std::string_view::npos)
                county.countyName = Cut(name, 80);
        }
        county.entityNames.push_back({type, code, Cut(name, 81)});
        // Tribal areas are also known by their five-digit FIPS code.
        if (type == 'I') county.entityNames.push_back({'F', FieldToInt(Columns(r, 15, 19)), Cut(name, 81)});
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
