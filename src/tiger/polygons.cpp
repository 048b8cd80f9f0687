#include "tiger/polygons.h"

#include "run/log.h"
#include "run/session.h"
#include "tiger/archive.h"
#include "tiger/county.h"
#include "tiger/records.h"

namespace zalor {

namespace {

constexpr int kRtiLength = 54;        // 52 characters and CR LF
constexpr std::size_t kRtcProbe = 228; // bytes in which the first RTC line must end
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

void ReadPolygonLinks(Session& session, County& county, const std::string& countyPath)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    report.LogLine("Reading Polygons:");
    TZipFile file = OpenRecordFile(session, countyPath, ".RTI", kRtiLength);
    if (file.OpenFailed()) return;

    ShowShare(session, 0, 0);
    report.ShowStatus("Reading Polygons ...");
    const int32_t estimate = file.RecordEstimate();
    int32_t counter = 0;
    ChainTable& chains = county.chains;
    ChainFinder finder(chains);
    while (!session.Stopped() && !file.AtEnd()) {
        ++counter;
        if (counter > estimate) break;
        std::string_view r = file.ReadRecord();
        const int32_t i = finder.Find(FieldToInt(Columns(r, 6, 15)));
        if (i > 0) {
            chains[i].polyLeft = FieldToInt(Columns(r, 27, 36));
            chains[i].polyRight = FieldToInt(Columns(r, 42, 51));
        }
        if ((counter & 0xFF) == 1) ShowShare(session, counter, estimate);
    }
    ReportReadFailure(session, file);
    file.Close();
    report.ShowStatus("Done...");
    ShowShare(session, 1, 1);
    report.LogLine("Total Polygons=" + std::to_string(counter));
}

void ReadEntityNames(Session& session, County& county, const std::string& countyPath)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    TZipFile file = OpenRecordFile(session, countyPath, ".RTC", static_cast<int>(kRtcProbe));
    report.ProcessEvents();
    report.LogLine("Reading Entity Names:");
    county.countyName.clear();
    county.entityNames.clear();
    county.IndexEntityNames();
    if (file.OpenFailed()) {
        report.LogLine("Error Reading " + file.Name());
        return;
    }

    // The record length is that of the first line with its line end
    // (counted as CR LF also when the file has LF line ends).
    const std::string_view head = file.Peek(kRtcProbe);
    if (head.empty()) return; // an empty file holds no names
    const std::size_t lf = head.find('\n');
    if (lf == std::string_view::npos || lf < kRtcMinLine) {
        session.CountyError("Error Reading " + file.Name());
        return;
    }
    const bool crlf = lf > 0 && head[lf - 1] == '\r';
    file.SetRecordLength(static_cast<int>(crlf ? lf + 1 : lf + 2));

    const std::string fileName = FileNamePart(file.Name());
    CodeColumns cols;
    while (!session.Stopped() && !file.AtEnd()) {
        std::string_view r = file.ReadRecord();
        if (r.size() < kRtcMinLine) continue;
        const char type = r[24];
        CodeColumnsOf(type, cols);
        const int32_t code = cols.first == 0 ? 0 : FieldToInt(Columns(r, cols.first, cols.last));
        const std::string_view name = TrimField(Columns(r, 53, 112));
        if (type == 'C') {
            std::string_view fips = Columns(r, 6, 10);
            if (fips.size() == 5 && fileName.find(fips) != std::string::npos) county.countyName = Cut(name, 80);
        }
        county.entityNames.push_back({type, code, Cut(name, 81)});
        // Tribal areas are also known by their five-digit FIPS code.
        if (type == 'I') county.entityNames.push_back({'F', FieldToInt(Columns(r, 15, 19)), Cut(name, 81)});
    }
    ReportReadFailure(session, file, "Error Reading " + file.Name());
    file.Close();
    county.IndexEntityNames();
}

void ComputeCountyExtent(Session& session, County& county)
{
    CountyExtent e;
    auto take = [&e](const GeoPoint& p) {
        if (p.x > e.maxX) e.maxX = p.x;
        if (p.x < e.minX) e.minX = p.x;
        if (p.y > e.maxY) e.maxY = p.y;
        if (p.y < e.minY) e.minY = p.y;
    };
    const ChainTable& chains = county.chains;
    for (int32_t i = 1; i <= chains.count(); ++i) {
        const ChainRecord& c = chains[i];
        take(c.from);
        for (const GeoPoint& p : chains.Shapes(c)) take(p);
        take(c.to);
    }
    county.extent = e;
    session.report.LogLine("Limits=" + std::to_string(e.minX) + ", " + std::to_string(e.minY) + " : " +
                           std::to_string(e.maxX) + ", " + std::to_string(e.maxY));
}

} // namespace zalor
