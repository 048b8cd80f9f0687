#include "tiger/chains.h"

#include "tiger/records.h"
#include "tiger/validation.h"

#include <algorithm>
#include <cstring>

namespace zalor {

namespace {

// A coordinate read by ReadCoordinatePair, cut to `digits` decimals the
// way the field's text is cut.
int32_t Reduced(int32_t v, std::string_view field, int digits)
{
    return digits >= 6 ? v : ReduceCoordinateField(field, digits);
}

// One RT1 record into a cleared chain record; why it is no chain, or null.
const char* ParseChain(std::string_view r, ChainRecord& c, NameStore& names, McdCodeSet& mcd, int digits)
{
    int32_t fx, fy, tx, ty;
    if (const char* why = ReadCoordinatePair(r, 191, false, fx, fy)) return why;
    if (const char* why = ReadCoordinatePair(r, 210, false, tx, ty)) return why;
    c.from.x = Reduced(fx, Columns(r, 191, 200), digits);
    c.from.y = Reduced(fy, Columns(r, 201, 209), digits);
    c.to.x = Reduced(tx, Columns(r, 210, 219), digits);
    c.to.y = Reduced(ty, Columns(r, 220, 228), digits);
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
    return nullptr;
}

// The shape points of one RT2 record, appended in order; the first pair
// with longitude 0 ends the list (TIGER fills unused pairs with zeros).
// Why the record holds no shape points, or null (nothing is appended then).
const char* AppendShapePoints(std::string_view r, std::vector<GeoPoint>& staged, int digits)
{
    GeoPoint points[10];
    std::size_t n = 0;
    for (std::size_t k = 0; k < 10; ++k) {
        const std::size_t lon = 19 + 19 * k;
        int32_t x, y;
        if (const char* why = ReadCoordinatePair(r, lon, true, x, y)) return why;
        if (x == 0) break;
        const std::string_view lonField = Columns(r, lon, lon + 9);
        GeoPoint& p = points[n];
        p.x = Reduced(x, lonField, digits);
        if (p.x == 0 && FieldToInt(lonField) == 0) break;
        p.y = Reduced(y, Columns(r, lon + 10, lon + 18), digits);
        ++n;
    }
    staged.insert(staged.end(), points, points + n);
    return nullptr;
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
void SortRecords(ChainTable& chains, Less less)
{
    auto& r = chains.records;
    if (r.size() < 3 || std::is_sorted(r.begin() + 1, r.end(), less)) return;
    std::stable_sort(r.begin() + 1, r.end(), less);
}

} // namespace

void ReadChains(TZipFile& file, County& county, int digits, McdCodeSet& mcd, ProgressObserver& observer)
{
    ChainTable& chains = county.chains;
    chains.Release();
    county.altNames.assign(1, 0);
    const int32_t estimate = file.RecordEstimate();
    chains.records.reserve(static_cast<std::size_t>(std::min(estimate, int32_t(1) << 20)) + 1);
    for (int32_t n = 1; !observer.StopRequested(); ++n) {
        if (file.AtEnd()) break;
        const std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        if (const char* why = ParseChain(r, chains.Append(), county.names, mcd, digits)) {
            chains.records.pop_back();
            file.Reject(why);
            continue;
        }
        if ((n & 0xFF) == 1) {
            observer.Status("Processing Chains..." + std::to_string(n));
            observer.Progress(n, estimate);
        }
    }
}

int32_t ReadShapes(TZipFile& file, ChainTable& chains, int digits, int tolerance, ProgressObserver& observer)
{
    ChainFinder finder(chains);
    std::vector<GeoPoint> staged;
    staged.reserve(256);
    std::vector<GeoPoint> record; // the points of one record
    record.reserve(10);
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
    const int32_t estimate = file.RecordEstimate();
    while (!observer.StopRequested()) { // a stop leaves the chain in progress without points
        if (file.AtEnd()) {
            if (file.Error().empty()) attach(current); // a damaged file: only complete chains
            break;
        }
        std::string_view r = file.ReadRecord();
        if (r.empty()) { // the end (after rejected records), or records out of line
            if (file.Error().empty()) attach(current);
            break;
        }
        const int32_t tlid = FieldToInt(Columns(r, 6, 15));
        record.clear();
        if (const char* why = AppendShapePoints(r, record, digits)) {
            file.Reject(why);
            continue;
        }
        if (tlid != current) {
            ++runs;
            attach(current);
            if ((runs & 0xFF) == 1) observer.Progress(runs, estimate);
        }
        staged.insert(staged.end(), record.begin(), record.end());
        current = tlid;
    }
    return runs;
}

void SortChainsById(ChainTable& chains)
{
    SortRecords(chains, [](const ChainRecord& a, const ChainRecord& b) { return a.TLID < b.TLID; });
}

void SortChainsSpatially(ChainTable& chains)
{
    SortRecords(chains, [](const ChainRecord& a, const ChainRecord& b) {
        if (a.from.x != b.from.x) return a.from.x < b.from.x;
        return a.from.y < b.from.y;
    });
}

void SortChainsByMcd(ChainTable& chains)
{
    SortRecords(chains, [](const ChainRecord& a, const ChainRecord& b) {
        if (a.FMCDL != b.FMCDL) return a.FMCDL < b.FMCDL;
        if (a.from.x != b.from.x) return a.from.x < b.from.x;
        return a.from.y < b.from.y;
    });
}

void SortChainsByCfcc(ChainTable& chains)
{
    SortRecords(chains, [](const ChainRecord& a, const ChainRecord& b) { return CfccKey(a) < CfccKey(b); });
}

} // namespace zalor
