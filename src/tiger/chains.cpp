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

// The columns of the fields of a chain record.
struct ChainFields {
    FieldColumns tlid, fedirp, fename, fetype, cfcc, fraddl, toaddl, fraddr, toaddr, zipl, zipr, fmcdl, fmcdr, fpll,
        fplr, frlong, frlat, tolong, tolat;
    explicit ChainFields(const RecordLayouts& l)
        : tlid(l.Field('1', "TLID")), fedirp(l.Field('1', "FEDIRP")), fename(l.Field('1', "FENAME")),
          fetype(l.Field('1', "FETYPE")), cfcc(l.Field('1', "CFCC")), fraddl(l.Field('1', "FRADDL")),
          toaddl(l.Field('1', "TOADDL")), fraddr(l.Field('1', "FRADDR")), toaddr(l.Field('1', "TOADDR")),
          zipl(l.Field('1', "ZIPL")), zipr(l.Field('1', "ZIPR")), fmcdl(l.Field('1', "FMCDL")),
          fmcdr(l.Field('1', "FMCDR")), fpll(l.Field('1', "FPLL")), fplr(l.Field('1', "FPLR")),
          frlong(l.Field('1', "FRLONG")), frlat(l.Field('1', "FRLAT")), tolong(l.Field('1', "TOLONG")),
          tolat(l.Field('1', "TOLAT"))
    {
    }
};

bool Digits(std::string_view t)
{
    return std::all_of(t.begin(), t.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// Which address fields are blank, and the texts of the four when one is
// no plain number (its code alone would not give it back).
void KeepAddresses(std::string_view r, const ChainFields& f, ChainRecord& c, County& county)
{
    const std::string_view texts[4] = {TrimField(At(r, f.fraddl)), TrimField(At(r, f.fraddr)),
                                       TrimField(At(r, f.toaddl)), TrimField(At(r, f.toaddr))};
    bool plain = true;
    for (int i = 0; i < 4; ++i) {
        if (texts[i].empty()) c.blankAddresses |= static_cast<uint8_t>(1 << i);
        else plain = plain && Digits(texts[i]);
    }
    if (plain) return;
    auto& kept = county.addressTexts.emplace_back();
    for (int i = 0; i < 4; ++i) kept[static_cast<std::size_t>(i)] = texts[i];
    c.addressTexts = static_cast<uint32_t>(county.addressTexts.size());
}

// One RT1 record into a cleared chain record; why it is no chain, or null.
const char* ParseChain(std::string_view r, const ChainFields& f, ChainRecord& c, County& county, McdCodeSet& mcd,
                       int digits)
{
    NameStore& names = county.names;
    int32_t fx, fy, tx, ty;
    if (const char* why = ReadCoordinatePair(r, f.frlong.first, false, fx, fy)) return why;
    if (const char* why = ReadCoordinatePair(r, f.tolong.first, false, tx, ty)) return why;
    c.from.x = Reduced(fx, At(r, f.frlong), digits);
    c.from.y = Reduced(fy, At(r, f.frlat), digits);
    c.to.x = Reduced(tx, At(r, f.tolong), digits);
    c.to.y = Reduced(ty, At(r, f.tolat), digits);
    c.TLID = IntAt(r, f.tlid);
    std::string_view cfcc = At(r, f.cfcc);
    std::memcpy(c.CFCC, cfcc.data(), cfcc.size());
    c.NAME = names.Intern(FeatureName(At(r, f.fedirp), At(r, f.fename), At(r, f.fetype)).Text());
    c.FRADDL = IntAt(r, f.fraddl);
    c.TOADDL = IntAt(r, f.toaddl);
    c.FRADDR = IntAt(r, f.fraddr);
    c.TOADDR = IntAt(r, f.toaddr);
    KeepAddresses(r, f, c, county);
    c.ZIPL = IntAt(r, f.zipl);
    c.ZIPR = IntAt(r, f.zipr);
    c.FMCDL = IntAt(r, f.fmcdl);
    mcd.Add(c.FMCDL);
    c.FMCDR = IntAt(r, f.fmcdr);
    mcd.Add(c.FMCDR);
    c.FPLL = IntAt(r, f.fpll);
    c.FPLR = IntAt(r, f.fplr);
    return nullptr;
}

// Where the shape points of a record are: the first pair, and how many
// pairs of its width follow one another.
struct ShapePairs {
    std::size_t first = 0, latitude = 0, stride = 0, count = 0;
    explicit ShapePairs(const RecordLayouts& l)
    {
        const FieldColumns lon = l.Field('2', "LONG1"), lat = l.Field('2', "LAT1");
        first = lon.first;
        latitude = lat.first - lon.first;
        stride = lat.last - lon.first + 1;
        count = (static_cast<std::size_t>(l.Length('2')) - first + 1) / stride;
    }
};

// The shape points of one RT2 record, appended in order; the first pair
// with longitude 0 ends the list (TIGER fills unused pairs with zeros).
// Why the record holds no shape points, or null (nothing is appended then).
const char* AppendShapePoints(std::string_view r, const ShapePairs& pairs, std::vector<GeoPoint>& staged, int digits)
{
    GeoPoint points[16];
    std::size_t n = 0;
    for (std::size_t k = 0; k < pairs.count && k < 16; ++k) {
        const std::size_t lon = pairs.first + pairs.stride * k;
        int32_t x, y;
        if (const char* why = ReadCoordinatePair(r, lon, true, x, y)) return why;
        if (x == 0) break;
        const std::string_view lonField = Columns(r, lon, lon + pairs.latitude - 1);
        GeoPoint& p = points[n];
        p.x = Reduced(x, lonField, digits);
        if (p.x == 0 && FieldToInt(lonField) == 0) break;
        p.y = Reduced(y, Columns(r, lon + pairs.latitude, lon + pairs.stride - 1), digits);
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

void ReadChains(TZipFile& file, const RecordLayouts& layouts, County& county, int digits, McdCodeSet& mcd,
                ProgressObserver& observer)
{
    const ChainFields fields(layouts);
    ChainTable& chains = county.chains;
    chains.Release();
    county.altNames.assign(1, 0);
    const int32_t estimate = file.RecordEstimate();
    chains.records.reserve(static_cast<std::size_t>(std::min(estimate, int32_t(1) << 20)) + 1);
    for (int32_t n = 1; !observer.StopRequested(); ++n) {
        if (file.AtEnd()) break;
        const std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        if (const char* why = ParseChain(r, fields, chains.Append(), county, mcd, digits)) {
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

int32_t ReadShapes(TZipFile& file, const RecordLayouts& layouts, ChainTable& chains, int digits, int tolerance,
                   ProgressObserver& observer)
{
    const ShapePairs pairs(layouts);
    const FieldColumns tlidField = layouts.Field('2', "TLID");
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
        const int32_t tlid = IntAt(r, tlidField);
        record.clear();
        if (const char* why = AppendShapePoints(r, pairs, record, digits)) {
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
