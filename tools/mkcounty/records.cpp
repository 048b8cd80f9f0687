// The chain records (RT1, RT2, RT3, RT4, RT5, RTI), the landmark records
// (RT7, RT8, RT9) and the entity names (RTC). RT1, RT2, RT4, RT7, RT8 and
// RT9 have one layout in every vintage; RT5, RTI and RTC have the Census
// 2000 layouts before 2002 (RT5 then carries the file code in columns 2-6
// instead of a version; RTC's fields after the county stand two columns
// earlier before 2000) and longer ones from 2002. RT3 exists before 2000
// only. Columns are 1-based.
#include "records.h"
#include "vintage.h"

#include <algorithm>
#include <cstring>

namespace mkcounty {

namespace {

const Polygon* PolygonOf(const County& c, int32_t polyid)
{
    if (polyid <= 0 || polyid > static_cast<int32_t>(c.polygons.size())) return nullptr;
    return &c.polygons[static_cast<size_t>(polyid) - 1];
}

void AddRecord(std::string& out, const Record& r, bool lf) { r.AppendTo(out, lf); }

std::string Rt1(const County& c, bool lf)
{
    std::string out;
    out.reserve(c.chains.size() * 230);
    for (const Chain& ch : c.chains) {
        Record r = Versioned(c, '1', 228);
        r.Number(6, 10, ch.tlid);
        r.Text(17, 1, std::string_view(&ch.source, 1));
        if (ch.nameId >= 0) {
            const NameParts& n = c.names[static_cast<size_t>(ch.nameId)];
            r.Text(18, 2, n.dirp);
            r.Text(20, 30, n.name);
            r.Text(50, 4, n.type);
            r.Text(54, 2, n.dirs);
        }
        r.Text(56, 3, ch.cfcc);
        r.Right(59, 11, ch.fraddl);
        r.Right(70, 11, ch.toaddl);
        r.Right(81, 11, ch.fraddr);
        r.Right(92, 11, ch.toaddr);
        const Polygon* left = PolygonOf(c, ch.polyL);
        const Polygon* right = PolygonOf(c, ch.polyR);
        if (ch.addrL && left) r.Text(107, 5, left->a.zip);
        if (ch.addrR && right) r.Text(112, 5, right->a.zip);
        // Codes of the two sides; blank towards the outside of the county.
        auto side = [&](const Polygon* p, int offset) {
            if (!p) return;
            const AreaAttr& a = p->a;
            r.Text(117 + 5 * offset, 5, a.fair);
            r.Text(127 + offset, 1, a.trust);
            r.Text(131 + 2 * offset, 2, c.state);
            r.Text(135 + 3 * offset, 3, c.county);
            r.Text(141 + 5 * offset, 5, a.fmcd);
            r.Text(151 + 5 * offset, 5, a.fsmcd);
            r.Text(161 + 5 * offset, 5, a.fpl);
            r.Text(171 + 6 * offset, 6, a.tract);
            r.Text(183 + 4 * offset, 4, a.block);
        };
        side(left, 0);
        side(right, 1);
        const Point& from = c.nodes[static_cast<size_t>(ch.from)];
        const Point& to = c.nodes[static_cast<size_t>(ch.to)];
        r.Coordinate(191, 10, from.x);
        r.Coordinate(201, 9, from.y);
        r.Coordinate(210, 10, to.x);
        r.Coordinate(220, 9, to.y);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt2(const County& c, bool lf)
{
    std::string out;
    for (const Chain& ch : c.chains) {
        size_t n = ch.shapes.size();
        for (size_t first = 0, seq = 1; first < n; first += 10, ++seq) {
            Record r = Versioned(c, '2', 208);
            r.Number(6, 10, ch.tlid);
            r.Number(16, 3, static_cast<int64_t>(seq));
            for (int k = 0; k < 10; ++k) {
                Point p = first + k < n ? ch.shapes[first + k] : Point{};
                r.Coordinate(19 + 19 * k, 10, p.x);
                r.Coordinate(29 + 19 * k, 9, p.y);
            }
            AddRecord(out, r, lf);
        }
    }
    return out;
}

// The 1990 codes of the polygons on the two sides of each chain, in RT1
// order; blank towards the outside of the county.
std::string Rt3(const County& c, bool lf)
{
    std::string out;
    out.reserve(c.chains.size() * 113);
    for (const Chain& ch : c.chains) {
        Record r = Versioned(c, '3', 111);
        r.Number(6, 10, ch.tlid);
        auto side = [&](const Polygon* p, int offset) {
            if (!p) return;
            const AreaAttr& a = p->a;
            r.Text(16 + 2 * offset, 2, c.state);
            r.Text(20 + 3 * offset, 3, c.county);
            r.Text(26 + 5 * offset, 5, a.fmcd90);
            r.Text(36 + 5 * offset, 5, a.fpl90);
            r.Text(46 + 6 * offset, 6, a.tract90);
            r.Text(58 + 4 * offset, 4, a.air90);
            r.Text(70 + 4 * offset, 4, a.blk90);
        };
        side(PolygonOf(c, ch.polyL), 0);
        side(PolygonOf(c, ch.polyR), 1);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt4(const County& c, bool lf)
{
    std::string out;
    for (const AltFeatureRecord& a : c.rt4) {
        Record r = Versioned(c, '4', 58);
        r.Number(6, 10, c.chains[a.chain].tlid);
        r.Number(16, 3, a.rtsq);
        for (int k = 0; k < 5; ++k)
            if (a.feat[k] != 0 || a.zero[k]) r.Number(19 + 8 * k, 8, a.feat[k]);
        AddRecord(out, r, lf);
    }
    return out;
}

// Before 2002 the file code stands in columns 2-6 where later layouts
// have the version and the fields follow four columns earlier.
std::string Rt5(const County& c, bool lf)
{
    const bool current = CurrentLayouts(c.vintage);
    const int o = current ? 4 : 0;
    std::string out;
    int k = 0;
    for (const NameParts& n : c.altNames) {
        Record r(52 + o);
        r.Text(1, 1, "5");
        if (current) r.Text(2, 4, VersionCode(c.vintage));
        r.Text(2 + o, 5, c.code);
        r.Number(7 + o, 8, ++k);
        r.Text(15 + o, 2, n.dirp);
        r.Text(17 + o, 30, n.name);
        r.Text(47 + o, 4, n.type);
        r.Text(51 + o, 2, n.dirs);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt7(const County& c, bool lf)
{
    std::string out;
    for (const Landmark& m : c.landmarks) {
        Record r = Versioned(c, '7', 74);
        r.Text(6, 5, c.code);
        r.Number(11, 10, m.land);
        r.Text(21, 1, std::string_view(&m.source, 1));
        r.Text(22, 3, m.cfcc);
        r.Text(25, 30, m.name);
        if (m.located) {
            r.Coordinate(55, 10, m.pt.x);
            r.Coordinate(65, 9, m.pt.y);
        }
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt8(const County& c, bool lf)
{
    // One record per polygon of an area landmark, by polygon.
    std::vector<std::pair<int32_t, uint32_t>> links;
    for (const Landmark& m : c.landmarks)
        for (int32_t p : m.polygons) links.emplace_back(p, m.land);
    std::sort(links.begin(), links.end());
    std::string out;
    for (const auto& [polyid, land] : links) {
        Record r = Versioned(c, '8', 36);
        PolygonKey(c, polyid, r);
        r.Number(26, 10, land);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt9(const County& c, bool lf)
{
    struct Row {
        int32_t polyid;
        const KeyLocation* k;
    };
    std::vector<Row> rows;
    for (const KeyLocation& k : c.keyLocations)
        for (int32_t p : k.polygons) rows.push_back({p, &k});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.polyid < b.polyid; });
    std::string out;
    for (const Row& row : rows) AddRecord(out, Rt9Record(c, *row.k, row.polyid), lf);
    return out;
}

std::string Rta(const County& c, bool lf)
{
    std::string out;
    for (const Polygon& p : c.polygons) AddRecord(out, RtaRecord(c, p), lf);
    return out;
}

std::string Rts(const County& c, bool lf)
{
    std::string out;
    for (const Polygon& p : c.polygons) AddRecord(out, RtsRecord(c, p), lf);
    return out;
}

std::string Rtp(const County& c, bool lf)
{
    std::string out;
    for (const Polygon& p : c.polygons) AddRecord(out, RtpRecord(c, p), lf);
    return out;
}

// From 2002 ten reserved columns come before the name, which moves from
// column 53 to 63. Before 2000 the data year has two digits and the fields
// after it stand two columns earlier, the urbanized area has four
// characters and the name 66.
std::string Rtc(const County& c, bool lf)
{
    const bool early = EarlyLayouts(c.vintage);
    const int o = early ? -2 : 0;
    const int nameCol = early ? 47 : (CurrentLayouts(c.vintage) ? 63 : 53);
    std::string out;
    for (const Entity& e : c.entities) {
        Record r = Versioned(c, 'C', early ? 112 : nameCol + 59);
        r.Text(6, 5, e.stateCounty);
        r.Text(11, early ? 2 : 4, early && e.datayr.size() == 4 ? e.datayr.substr(2) : e.datayr);
        r.Text(15 + o, 5, e.fips);
        r.Text(20 + o, 2, e.fipscc);
        r.Text(22 + o, 1, e.pdc);
        r.Text(23 + o, 2, e.lsad);
        r.Text(25 + o, 1, std::string_view(&e.type, 1));
        r.Text(26 + o, 4, e.ma);
        r.Text(30 + o, 5, e.sd);
        r.Text(35 + o, 4, e.air);
        r.Right(39 + o, 6, e.vtd);
        r.Text(45 + o, early ? 4 : 5, e.ua);
        r.Text(nameCol, early ? 66 : 60, e.name);
        AddRecord(out, r, lf);
    }
    return out;
}

// From 2002 the file code comes before the TLID, the zero-cells (the
// chain's end nodes) follow it and the polygons stand 19 columns further on.
std::string Rti(const County& c, bool lf)
{
    const bool current = CurrentLayouts(c.vintage);
    const int tlidCol = current ? 11 : 6, fileCol = current ? 6 : 16, polyCol = current ? 41 : 22;
    std::string out;
    out.reserve(c.chains.size() * (current ? 129 : 54));
    for (const Chain& ch : c.chains) {
        Record r = Versioned(c, 'I', current ? 127 : 52);
        r.Number(tlidCol, 10, ch.tlid);
        r.Text(fileCol, 5, c.code);
        if (current) {
            r.Number(21, 10, ch.from + 1);
            r.Number(31, 10, ch.to + 1);
        }
        if (ch.polyL > 0) {
            r.Text(polyCol, 5, c.code);
            r.Number(polyCol + 5, 10, ch.polyL);
        }
        if (ch.polyR > 0) {
            r.Text(polyCol + 15, 5, c.code);
            r.Number(polyCol + 20, 10, ch.polyR);
        }
        AddRecord(out, r, lf);
    }
    return out;
}

} // namespace

Record Rt9Record(const County& c, const KeyLocation& k, int32_t polyid)
{
    Record r = Versioned(c, '9', 88);
    PolygonKey(c, polyid, r);
    r.Text(26, 1, std::string_view(&k.source, 1));
    r.Text(27, 3, k.cfcc);
    r.Text(30, 30, k.name);
    r.Right(60, 11, k.address);
    r.Text(71, 5, k.zip);
    r.Text(76, 4, k.zip4);
    r.Number(80, 8, k.feat);
    return r;
}

void PolygonKey(const County& c, int32_t polyid, Record& r)
{
    r.Text(6, 5, c.code);
    r.Text(11, 5, c.code);
    r.Number(16, 10, polyid);
}

Record Versioned(const County& c, char type, int length)
{
    Record r(length);
    r.Text(1, 1, std::string_view(&type, 1));
    r.Text(2, 4, VersionCode(c.vintage));
    return r;
}

Record::Record(int length) : length_(length) { std::memset(buf_, ' ', sizeof buf_); }

void Record::Text(int col, int width, std::string_view s)
{
    size_t n = std::min<size_t>(s.size(), static_cast<size_t>(width));
    std::memcpy(buf_ + col - 1, s.data(), n);
}

void Record::Right(int col, int width, std::string_view s)
{
    size_t n = std::min<size_t>(s.size(), static_cast<size_t>(width));
    std::memcpy(buf_ + col - 1 + (width - static_cast<int>(n)), s.data(), n);
}

void Record::Number(int col, int width, int64_t v)
{
    char tmp[24];
    int n = 0;
    bool negative = v < 0;
    uint64_t u = negative ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
    do {
        tmp[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (negative) tmp[n++] = '-';
    char* p = buf_ + col - 1 + width;
    for (int k = 0; k < n && k < width; ++k) *--p = tmp[k];
}

void Record::Coordinate(int col, int width, int32_t v)
{
    char* p = buf_ + col - 1;
    p[0] = v < 0 ? '-' : '+';
    uint64_t u = v < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
    for (int k = width - 1; k >= 1; --k) {
        p[k] = static_cast<char>('0' + u % 10);
        u /= 10;
    }
}

void Record::AppendTo(std::string& out, bool lfOnly) const
{
    out.append(buf_, static_cast<size_t>(length_));
    if (!lfOnly) out.push_back('\r');
    out.push_back('\n');
}

std::vector<std::pair<std::string, std::string>> RecordFiles(const County& c, bool lfOnly)
{
    const int v = c.vintage;
    std::string base = "TGR" + c.code + ".";
    std::vector<std::pair<std::string, std::string>> files;
    files.emplace_back(base + "RT1", Rt1(c, lfOnly));
    files.emplace_back(base + "RT2", Rt2(c, lfOnly));
    if (EarlyLayouts(v)) files.emplace_back(base + "RT3", Rt3(c, lfOnly));
    files.emplace_back(base + "RT4", Rt4(c, lfOnly));
    files.emplace_back(base + "RT5", Rt5(c, lfOnly));
    files.emplace_back(base + "RT7", Rt7(c, lfOnly));
    files.emplace_back(base + "RT8", Rt8(c, lfOnly));
    if (HasRt9(v)) files.emplace_back(base + "RT9", Rt9(c, lfOnly));
    files.emplace_back(base + "RTA", Rta(c, lfOnly));
    if (HasAdditionalCodes(v)) files.emplace_back(base + "RTC", Rtc(c, lfOnly));
    files.emplace_back(base + "RTI", Rti(c, lfOnly));
    if (HasRtp(v)) files.emplace_back(base + "RTP", Rtp(c, lfOnly));
    if (HasAdditionalCodes(v)) files.emplace_back(base + "RTS", Rts(c, lfOnly));
    return files;
}

} // namespace mkcounty
