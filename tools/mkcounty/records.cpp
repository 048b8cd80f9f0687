// Record layouts. RT1, RT2, RT4, RT7, RT8 and RT9 follow TIGER/Line
// 2002-2006 (version code "1006" in columns 2-5); RTI, RTS, RTA, RT5 and RTC
// follow the Census 2000 layouts (RT5 carries the file code in columns 2-6
// instead of a version). Columns are 1-based as in the TIGER/Line
// documentation.
#include "records.h"

#include <algorithm>
#include <cstring>

namespace mkcounty {

namespace {

constexpr const char* kVersion = "1006";

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
        Record r(228);
        r.Text(1, 1, "1");
        r.Text(2, 4, kVersion);
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
            Record r(208);
            r.Text(1, 1, "2");
            r.Text(2, 4, kVersion);
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

std::string Rt4(const County& c, bool lf)
{
    std::string out;
    for (const AltFeatureRecord& a : c.rt4) {
        Record r(58);
        r.Text(1, 1, "4");
        r.Text(2, 4, kVersion);
        r.Number(6, 10, c.chains[a.chain].tlid);
        r.Number(16, 3, a.rtsq);
        for (int k = 0; k < 5; ++k)
            if (a.feat[k] != 0 || a.zero[k]) r.Number(19 + 8 * k, 8, a.feat[k]);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt5(const County& c, bool lf)
{
    std::string out;
    int k = 0;
    for (const NameParts& n : c.altNames) {
        Record r(52);
        r.Text(1, 1, "5");
        r.Text(2, 5, c.code);
        r.Number(7, 8, ++k);
        r.Text(15, 2, n.dirp);
        r.Text(17, 30, n.name);
        r.Text(47, 4, n.type);
        r.Text(51, 2, n.dirs);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rt7(const County& c, bool lf)
{
    std::string out;
    for (const Landmark& m : c.landmarks) {
        Record r(74);
        r.Text(1, 1, "7");
        r.Text(2, 4, kVersion);
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
        Record r(36);
        r.Text(1, 1, "8");
        r.Text(2, 4, kVersion);
        r.Text(6, 5, c.code);
        r.Text(11, 5, c.code);
        r.Number(16, 10, polyid);
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
    for (const Row& row : rows) {
        const KeyLocation& k = *row.k;
        Record r(88);
        r.Text(1, 1, "9");
        r.Text(2, 4, kVersion);
        r.Text(6, 5, c.code);
        r.Text(11, 5, c.code);
        r.Number(16, 10, row.polyid);
        r.Text(26, 1, std::string_view(&k.source, 1));
        r.Text(27, 3, k.cfcc);
        r.Text(30, 30, k.name);
        r.Right(60, 11, k.address);
        r.Text(71, 5, k.zip);
        r.Text(76, 4, k.zip4);
        r.Number(80, 8, k.feat);
        AddRecord(out, r, lf);
    }
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

} // namespace

Record RtaRecord(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r(98);
    r.Text(1, 1, "A");
    r.Text(2, 4, kVersion);
    r.Text(6, 5, c.code);
    r.Text(11, 5, c.code);
    r.Number(16, 10, p.polyid);
    r.Text(26, 5, a.fair90);
    r.Text(31, 5, a.fmcd90);
    r.Text(36, 5, a.fpl90);
    r.Text(41, 6, a.tract90);
    r.Text(47, 4, a.blk90);
    r.Text(51, 2, a.cd106);
    r.Text(53, 2, a.cd108);
    r.Text(55, 5, a.sdelm);
    r.Text(65, 5, a.sdsec);
    r.Text(70, 5, a.sduni);
    r.Right(75, 6, a.taz);
    r.Text(81, 4, a.ua);
    r.Text(85, 1, a.urbflag);
    r.Text(86, 4, a.ctpp);
    r.Text(90, 2, c.state);
    r.Text(92, 3, c.county);
    r.Text(95, 4, a.air90);
    return r;
}

namespace {

std::string Rtc(const County& c, bool lf)
{
    std::string out;
    for (const Entity& e : c.entities) {
        Record r(112);
        r.Text(1, 1, "C");
        r.Text(2, 4, kVersion);
        r.Text(6, 5, e.stateCounty);
        r.Text(11, 4, e.datayr);
        r.Text(15, 5, e.fips);
        r.Text(20, 2, e.fipscc);
        r.Text(22, 1, e.pdc);
        r.Text(23, 2, e.lsad);
        r.Text(25, 1, std::string_view(&e.type, 1));
        r.Text(26, 4, e.ma);
        r.Text(30, 5, e.sd);
        r.Text(35, 4, e.air);
        r.Right(39, 6, e.vtd);
        r.Text(45, 5, e.ua);
        r.Text(53, 60, e.name);
        AddRecord(out, r, lf);
    }
    return out;
}

std::string Rti(const County& c, bool lf)
{
    std::string out;
    out.reserve(c.chains.size() * 54);
    for (const Chain& ch : c.chains) {
        Record r(52);
        r.Text(1, 1, "I");
        r.Text(2, 4, kVersion);
        r.Number(6, 10, ch.tlid);
        r.Text(16, 5, c.code);
        if (ch.polyL > 0) {
            r.Text(22, 5, c.code);
            r.Number(27, 10, ch.polyL);
        }
        if (ch.polyR > 0) {
            r.Text(37, 5, c.code);
            r.Number(42, 10, ch.polyR);
        }
        AddRecord(out, r, lf);
    }
    return out;
}

} // namespace

Record RtsRecord(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r(120);
    r.Text(1, 1, "S");
    r.Text(2, 4, kVersion);
    r.Text(6, 5, c.code);
    r.Text(11, 5, c.code);
    r.Number(16, 10, p.polyid);
    r.Text(26, 1, a.water);
    r.Text(27, 4, a.cmsa);
    r.Text(31, 4, a.pmsa);
    r.Text(35, 5, a.fair);
    r.Text(40, 4, a.air);
    r.Text(44, 1, a.trust);
    r.Text(45, 2, a.anrc);
    r.Text(47, 2, c.state);
    r.Text(49, 3, c.county);
    r.Text(52, 5, a.fccity);
    r.Text(57, 5, a.fmcd);
    r.Text(62, 5, a.fsmcd);
    r.Text(67, 5, a.fpl);
    r.Text(72, 6, a.tract);
    r.Text(78, 4, a.block);
    r.Text(82, 1, a.blkSuffix);
    r.Text(83, 2, a.cdcu);
    r.Text(85, 3, a.sldu);
    r.Text(88, 3, a.sldl);
    r.Text(96, 1, a.block.substr(0, 1));
    r.Text(97, 6, a.vtd);
    r.Text(103, 2, c.state);
    r.Text(105, 3, c.county);
    r.Right(108, 5, a.block);
    r.Text(113, 1, a.blkSuffix);
    r.Text(114, 5, a.zcta);
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
    std::string base = "TGR" + c.code + ".";
    std::vector<std::pair<std::string, std::string>> files;
    files.emplace_back(base + "RT1", Rt1(c, lfOnly));
    files.emplace_back(base + "RT2", Rt2(c, lfOnly));
    files.emplace_back(base + "RT4", Rt4(c, lfOnly));
    files.emplace_back(base + "RT5", Rt5(c, lfOnly));
    files.emplace_back(base + "RT7", Rt7(c, lfOnly));
    files.emplace_back(base + "RT8", Rt8(c, lfOnly));
    files.emplace_back(base + "RT9", Rt9(c, lfOnly));
    files.emplace_back(base + "RTA", Rta(c, lfOnly));
    files.emplace_back(base + "RTC", Rtc(c, lfOnly));
    files.emplace_back(base + "RTI", Rti(c, lfOnly));
    files.emplace_back(base + "RTS", Rts(c, lfOnly));
    return files;
}

} // namespace mkcounty
