#include "tiger/chains.h"

#include "run/session.h"
#include "tiger/archive.h"
#include "tiger/county.h"
#include "tiger/records.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zalor {

void ShowShare(Session& session, int64_t done, int64_t total)
{
    if (total <= 0) {
        if (done == 0) session.report.ShowProgress(0, 1);
        return;
    }
    session.report.ShowProgress(std::min(done, total), total);
}

bool ReportReadFailure(Session& session, const TZipFile& file, std::string_view message)
{
    if (file.Error().empty()) return false;
    if (message.empty()) session.CountyError("Error Reading " + file.Name() + ": " + file.Error());
    else session.CountyError(std::string(message));
    return true;
}

namespace {

constexpr int kRt1Length = 230; // 228 characters and CR LF
constexpr int kRt2Length = 210; // 208 characters and CR LF

// One RT1 record into a cleared chain record.
void ParseChain(std::string_view r, ChainRecord& c, NameStore& names, McdCodeSet& mcd, int digits)
{
    c.TLID = FieldToInt(Columns(r, 6, 15));
    std::string_view cfcc = Columns(r, 56, 58);
    std::memcpy(c.CFCC, cfcc.data(), cfcc.size());
    c.NAME = names.Intern(FeatureName(Columns(r, 18, 19), Columns(r, 20, 49), Columns(r, 50, 53)).Text());
    c.FRADDL = FieldToInt(Columns(r, 59, 69));
    c.TOADDL = FieldToInt(Columns(r, 70, 80));
    c.FRADDR = FieldToInt(Columns(r, 81, 91));
    c.TOADDR = FieldToInt(Columns(r, 92, 102));
    c.ZIPL = FieldToInt(Columns(r, 107, 111));
    c.ZIPR = FieldToInt(Columns(r, 112, 116));
    c.FMCDL = FieldToInt(Columns(r, 141, 145));
    mcd.Add(c.FMCDL);
    c.FMCDR = FieldToInt(Columns(r, 146, 150));
    mcd.Add(c.FMCDR);
    c.FPLL = FieldToInt(Columns(r, 161, 165));
    c.FPLR = FieldToInt(Columns(r, 166, 170));
    c.from.x = ReduceCoordinateField(Columns(r, 191, 200), digits);
    c.from.y = ReduceCoordinateField(Columns(r, 201, 209), digits);
    c.to.x = ReduceCoordinateField(Columns(r, 210, 219), digits);
    c.to.y = ReduceCoordinateField(Columns(r, 220, 228), digits);
}

// The shape points of one RT2 record, appended in order; the first pair
// with longitude 0 ends the list (TIGER fills unused pairs with zeros).
void AppendShapePoints(std::string_view r, std::vector<GeoPoint>& staged, int digits)
{
    for (std::size_t k = 0; k < 10; ++k) {
        const std::size_t lon = 19 + 19 * k;
        std::string_view lonField = Columns(r, lon, lon + 9);
        GeoPoint p;
        p.x = ReduceCoordinateField(lonField, digits);
        if (p.x == 0 && FieldToInt(lonField) == 0) break;
        p.y = ReduceCoordinateField(Columns(r, lon + 10, lon + 18), digits);
        staged.push_back(p);
    }
}

// CFCC bytes as an unsigned key; a zero byte ends the code.
uint32_t CfccKey(const ChainRecord& c)
{
    uint32_t k = 0;
    bool ended = false;
    for (int i = 0; i < 3; ++i) {
        unsigned char b = ended ? 0 : static_cast<unsigned char>(c.CFCC[i]);
        if (b == 0) ended = true;
        k = (k << 8) | b;
    }
    return k;
}

// Orders chains 1..count; records with equal keys keep their order.
template <class Less>
void SortRecords(County& county, Less less)
{
    auto& r = county.chains.records;
    if (r.size() < 3 || std::is_sorted(r.begin() + 1, r.end(), less)) return;
    std::stable_sort(r.begin() + 1, r.end(), less);
}

} // namespace

void ReadChains(Session& session, County& county, const std::string& countyPath)
{
    if (session.Stopped()) return;
    TZipFile file = OpenRecordFile(session, countyPath, ".RT1", kRt1Length);
    if (file.OpenFailed()) return;

    RunReport& report = session.report;
    ChainTable& chains = county.chains;
    chains.Release();
    county.altNames.assign(1, 0);
    const int32_t estimate = file.RecordEstimate();
    ShowShare(session, 0, 0);
    report.LogLine("Reading Chains: " + std::to_string(estimate));
    report.ShowStatus("Processing Chains...");
    chains.records.reserve(static_cast<std::size_t>(std::min(estimate, int32_t(1) << 20)) + 1);

    const int digits = session.settings.Precision();
    for (int32_t n = 1; !session.Stopped(); ++n) {
        if (file.AtEnd()) break;
        ParseChain(file.ReadRecord(), chains.Append(), county.names, session.mcdCodes, digits);
        if ((n & 0xFF) == 1) {
            report.ShowStatus("Processing Chains..." + std::to_string(n));
            ShowShare(session, n, estimate);
        }
    }
    ReportReadFailure(session, file);
    file.Close();

    report.ShowStatus("Done...");
    ShowShare(session, 0, 0);
    report.LogLine("Total Chains=" + std::to_string(chains.count()));
    report.LogLine("Total MCD's=" + std::to_string(session.mcdCodes.Count()));
    report.LogLine("Feature Names=" + std::to_string(county.names.NameCount()));
    SortChainsById(session, county);
}

void ReadShapes(Session& session, County& county, const std::string& countyPath)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    report.LogLine("Reading Shapes:");
    TZipFile file = OpenRecordFile(session, countyPath, ".RT2", kRt2Length);
    if (file.OpenFailed()) return;

    ChainTable& chains = county.chains;
    const int digits = session.settings.Precision();
    const int tolerance = session.settings.Tolerance();
    ChainFinder finder(chains);
    std::vector<GeoPoint> staged;
    staged.reserve(256);
    // Gives the staged points to the chain `tlid`; points of an unknown
    // chain are dropped.
    auto attach = [&](int32_t tlid) {
        if (staged.empty()) return;
        int32_t i = finder.Find(tlid);
        if (i > 0) {
            SimplifyShapePoints(staged, tolerance);
            chains.SetShapes(chains[i], staged);
        }
        staged.clear();
    };

    int32_t current = 0;
    int32_t runs = 0;
    ShowShare(session, 0, 0);
    report.ShowStatus("Reading Shapes ...");
    const int32_t estimate = file.RecordEstimate();
    while (!session.Stopped()) { // a stop leaves the chain in progress without points
        if (file.AtEnd()) {
            if (file.Error().empty()) attach(current); // a damaged file: only complete chains
            break;
        }
        std::string_view r = file.ReadRecord();
        const int32_t tlid = FieldToInt(Columns(r, 6, 15));
        if (tlid != current) {
            ++runs;
            attach(current);
            if ((runs & 0xFF) == 1) ShowShare(session, runs, estimate);
        }
        AppendShapePoints(r, staged, digits);
        current = tlid;
    }
    ReportReadFailure(session, file, "Error Reading Shape File!");
    file.Close();
    report.ShowStatus("Done...");
    ShowShare(session, 1, 1);
    report.LogLine("Total Shapes=" + std::to_string(runs));
}

void SortChainsById(Session& session, County& county)
{
    session.report.LogLine("Sorting By IDs " + std::to_string(county.chains.count()));
    SortRecords(county, [](const ChainRecord& a, const ChainRecord& b) { return a.TLID < b.TLID; });
    ShowShare(session, 1, 1);
    session.report.LogLine("Chain Sorting Completed");
}

void SortChainsSpatially(Session& session, County& county)
{
    session.report.LogLine("Sorting Spatially " + std::to_string(county.chains.count()));
    SortRecords(county, [](const ChainRecord& a, const ChainRecord& b) {
        if (a.from.x != b.from.x) return a.from.x < b.from.x;
        return a.from.y < b.from.y;
    });
    ShowShare(session, 1, 1);
}

void SortChainsByMcd(Session& session, County& county)
{
    session.report.LogLine("Sorting By MCD " + std::to_string(county.chains.count()));
    SortRecords(county, [](const ChainRecord& a, const ChainRecord& b) {
        if (a.FMCDL != b.FMCDL) return a.FMCDL < b.FMCDL;
        if (a.from.x != b.from.x) return a.from.x < b.from.x;
        return a.from.y < b.from.y;
    });
    ShowShare(session, 1, 1);
    session.report.LogLine("MCD Sorting Completed");
}

void SortChainsByCfcc(Session& session, County& county)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    session.report.LogLine("Sorting By CFCC " + std::to_string(county.chains.count()));
    SortRecords(county, [](const ChainRecord& a, const ChainRecord& b) { return CfccKey(a) < CfccKey(b); });
    ShowShare(session, 0, 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    session.report.ReplaceLastLogLine("CFCC Sorting Completed ..." + std::to_string(ms) + " ms");
}

void ReleaseChains(County& county) { county.chains.Release(); }

} // namespace zalor
