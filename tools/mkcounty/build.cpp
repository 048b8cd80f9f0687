// Builds the synthetic county: the chain network on a jittered grid, its
// faces (the polygons, found by walking the planar graph), their area
// attributes, identifiers, alternate names, landmarks and entity names.
#include "layout.h"
#include "model.h"
#include "rng.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <stdexcept>

namespace mkcounty {

std::string PrimaryName(const NameParts& n)
{
    std::string s = n.name;
    if (!n.dirp.empty()) s = n.dirp + " " + s;
    if (!n.type.empty()) s += " " + n.type;
    return s;
}

std::string FullName(const NameParts& n)
{
    std::string s = PrimaryName(n);
    if (!n.dirs.empty()) s += " " + n.dirs;
    return s;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

int Frac(double f, int n) { return static_cast<int>(std::lround(f * n)); }

std::string Digits(int64_t v, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
    return buf;
}

std::string Ordinal(int n)
{
    const char* suffix = "th";
    if (n % 100 < 11 || n % 100 > 13) {
        if (n % 10 == 1) suffix = "st";
        else if (n % 10 == 2) suffix = "nd";
        else if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

const char* const kWords[] = {"Oak", "Maple", "Elm", "Cedar", "Pine", "Walnut", "Lincoln", "Washington", "Jefferson",
                              "Madison", "Monroe", "Jackson", "Adams", "Grant", "Harrison", "Cleveland", "Ridge",
                              "Prairie", "Meadow", "Willow", "Birch", "Chestnut", "Hickory", "Sycamore", "Aspen",
                              "Spruce", "Laurel", "Magnolia", "Poplar", "Linden", "Franklin", "Hamilton", "Clinton",
                              "Wilson", "Taylor", "Pierce", "Polk", "Tyler", "Garfield", "Hayes"};
const char* const kWords2[] = {"",     "Park",  "Grove", "Hill",  "Valley", "Creek",  "Forest", "Lake",
                               "Glen", "Point", "Ridge", "Field", "Brook",  "Crest",  "Haven",  "Springs"};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
constexpr int kWords2Count = sizeof kWords2 / sizeof kWords2[0];

std::string Word(int i)
{
    std::string w = kWords[i % kWordCount];
    int k = (i / kWordCount) % kWords2Count;
    if (k > 0) w += std::string(" ") + kWords2[k];
    return w;
}

const char* const kCountyNames[] = {"Synthetic", "Harmon", "Belmont", "Carver", "Dunmore", "Ellery", "Fairview",
                                    "Glenwood", "Hollis", "Ivanhoe", "Juniper", "Kendrick", "Lorimer", "Marlow"};
constexpr int kCountyNameCount = sizeof kCountyNames / sizeof kCountyNames[0];

struct Role {
    bool present = false;
    const char* cfcc = "";
    int nameId = -1;
    int shapes = 0;
    bool addrLeft = false;  // north side of a row edge, west side of a column edge
    bool addrRight = false;
    bool hyphen = false;
    char source = 'A';
};

class Builder {
public:
    explicit Builder(const Params& p) : seed_(p.seed), curvedStreets_(p.curvedStreets)
    {
        L_ = MakeLayout(p.chains, p.seed);
        k_ = MakeCodes(p.seed);
        c_.state = p.state;
        c_.county = p.county;
        c_.code = p.state + p.county;
        c_.seed = p.seed;
        c_.name = std::string(kCountyNames[Hash(seed_, 5) % kCountyNameCount]) + " County";
    }

    County Build()
    {
        MakeGridNodes();
        MakeGridChains();
        MakeDiagonals();
        MakeLoops();
        MakeSpurs();
        FindFaces();
        AssignAttributes();
        AssignIdentifiers();
        MakeAddresses();
        MakeAltNames();
        MakeLandmarks();
        MakeKeyLocations();
        MakeEntities();
        return std::move(c_);
    }

private:
    uint64_t seed_;
    int curvedStreets_ = 0;
    Layout L_;
    Codes k_;
    County c_;
    std::map<std::string, int> nameIndex_;
    std::vector<int> degree_; // chains at each grid node
    // Address base and style of each chain (set while building, used once
    // the chain's direction is final).
    struct AddrInfo {
        int base = 0;
        bool hyphen = false;
        bool leftOdd = true; // the left side (from -> to) holds the odd numbers
        bool descending = false;
    };
    std::vector<AddrInfo> addr_;
    std::vector<int> cycleOf_;  // half-edge -> cycle
    std::vector<int32_t> faceOfCycle_;

    // --- names --------------------------------------------------------------

    int Name(const NameParts& n)
    {
        if (n.Empty()) return -1;
        std::string key = n.dirp + "|" + n.name + "|" + n.type + "|" + n.dirs;
        auto it = nameIndex_.find(key);
        if (it != nameIndex_.end()) return it->second;
        int id = static_cast<int>(c_.names.size());
        c_.names.push_back(n);
        nameIndex_.emplace(key, id);
        return id;
    }

    int RowName(int i, int j)
    {
        if (j == 3) return Name({"", "Martin Luther King Jr Memorial", "Dr", ""});
        if (j % 9 == 4 && j % 10 != 5) return -1;
        return Name({i * 2 < L_.W ? "W" : "E", Ordinal(j + 1), "St", ""});
    }

    int ColumnName(int i, int j)
    {
        if (i % 11 == 5) return Name({"", "Broadway", "", j * 2 < L_.H ? "S" : "N"});
        if (i % 13 == 7 && i % 10 != 5) return -1;
        return Name({j * 2 < L_.H ? "S" : "N", Word(i), "Ave", ""});
    }

    // --- geometry -----------------------------------------------------------

    int GridNode(int i, int j) const { return j * L_.nx + i; }
    Point GridPoint(int i, int j) const { return c_.nodes[GridNode(i, j)]; }

    int NewNode(Point p)
    {
        c_.nodes.push_back(p);
        return static_cast<int>(c_.nodes.size()) - 1;
    }

    Point CellCentre(int i, int j) const
    {
        int64_t x = 0, y = 0;
        for (int di = 0; di < 2; ++di)
            for (int dj = 0; dj < 2; ++dj) {
                x += GridPoint(i + di, j + dj).x;
                y += GridPoint(i + di, j + dj).y;
            }
        return {static_cast<int32_t>(x / 4), static_cast<int32_t>(y / 4)};
    }

    void MakeGridNodes()
    {
        c_.nodes.resize(static_cast<size_t>(L_.nx) * L_.ny);
        int32_t jx = L_.dx * 15 / 100, jy = L_.dy * 15 / 100;
        for (int j = 0; j < L_.ny; ++j)
            for (int i = 0; i < L_.nx; ++i) {
                uint64_t h = Hash(seed_, 10, i, j);
                c_.nodes[GridNode(i, j)] = {
                    static_cast<int32_t>(L_.x0 + static_cast<int64_t>(i) * L_.dx + Pick(h, -jx, jx)),
                    static_cast<int32_t>(L_.y0 + static_cast<int64_t>(j) * L_.dy + Pick(h >> 32, -jy, jy))};
            }
        degree_.assign(c_.nodes.size(), 0);
    }

    // Keeps a shape-point list free of repeated points and of three points
    // in a row on one line, so that no point is redundant.
    static void Untangle(std::vector<Point>& v)
    {
        for (int pass = 0; pass < 8; ++pass) {
            bool changed = false;
            for (size_t k = 1; k + 1 < v.size(); ++k) {
                const Point a = v[k - 1], c = v[k + 1];
                Point& b = v[k];
                double acx = c.x - a.x, acy = c.y - a.y;
                double len = std::hypot(acx, acy);
                double cross = (static_cast<double>(b.x) - a.x) * acy - (static_cast<double>(b.y) - a.y) * acx;
                if (len > 0 && std::fabs(cross) >= 2.0 * len && !(b == a) && !(b == c)) continue;
                if (len == 0) {
                    b.x += 5;
                } else {
                    double s = cross < 0 ? -1.0 : 1.0;
                    b.x += static_cast<int32_t>(std::lround(s * 5.0 * acy / len));
                    b.y -= static_cast<int32_t>(std::lround(s * 5.0 * acx / len));
                }
                changed = true;
            }
            if (!changed) break;
        }
    }

    // n shape points on a gentle curve from p to q (within a narrow lens
    // around the straight line, so that chains of neighbouring cells never
    // cross).
    std::vector<Point> Curve(Point p, Point q, int n, uint64_t h) const
    {
        std::vector<Point> v;
        if (n <= 0) return v;
        double ux = q.x - p.x, uy = q.y - p.y;
        double len = std::hypot(ux, uy);
        double nx = -uy / len, ny = ux / len;
        double a1 = (0.02 + 0.04 * static_cast<double>((h >> 8) % 1000) / 1000.0) * len * (((h >> 20) & 1) ? 1 : -1);
        double a2 = 0.01 * static_cast<double>((h >> 24) % 100) / 100.0 * len * (((h >> 40) & 1) ? 1 : -1);
        v.reserve(n);
        for (int k = 1; k <= n; ++k) {
            double t = static_cast<double>(k) / (n + 1);
            // A small zigzag keeps every point clear of the line through its
            // neighbours.
            double off = a1 * std::sin(kPi * t) + a2 * std::sin(2 * kPi * t) + ((k % 2) ? 6.0 : -6.0);
            v.push_back({static_cast<int32_t>(std::lround(p.x + t * ux + off * nx)),
                         static_cast<int32_t>(std::lround(p.y + t * uy + off * ny))});
        }
        Untangle(v);
        return v;
    }

    size_t AddChain(int from, int to, std::vector<Point> shapes, const char* cfcc, int nameId, int zoneL, int zoneR,
                    char source = 'A')
    {
        Chain ch;
        std::snprintf(ch.cfcc, sizeof ch.cfcc, "%s", cfcc);
        ch.nameId = nameId;
        ch.from = from;
        ch.to = to;
        ch.shapes = std::move(shapes);
        ch.zoneL = zoneL;
        ch.zoneR = zoneR;
        ch.source = source;
        c_.chains.push_back(std::move(ch));
        addr_.emplace_back();
        if (from < static_cast<int>(degree_.size())) ++degree_[from];
        if (to < static_cast<int>(degree_.size())) ++degree_[to];
        return c_.chains.size() - 1;
    }

    // Half of the chains run against the grid's direction.
    void MaybeReverse(size_t idx)
    {
        if ((Hash(seed_, 11, static_cast<int64_t>(idx)) & 1) == 0) return;
        Chain& ch = c_.chains[idx];
        std::swap(ch.from, ch.to);
        std::reverse(ch.shapes.begin(), ch.shapes.end());
        std::swap(ch.zoneL, ch.zoneR);
        std::swap(ch.addrL, ch.addrR);
        addr_[idx].leftOdd = !addr_[idx].leftOdd;
        addr_[idx].descending = !addr_[idx].descending;
    }

    // --- the grid -----------------------------------------------------------

    bool CellValid(int i, int j) const { return i >= 0 && j >= 0 && i < L_.W && j < L_.H; }

    bool Plain(int i, int j) const
    {
        return CellValid(i, j) && !L_.lake.Has(i, j) && !L_.park.Has(i, j) && !L_.ai.Has(i, j) &&
               !L_.IsSplitCell(i, j) && !L_.IsLoopCell(i, j);
    }

    bool SameArea(int i1, int j1, int i2, int j2) const
    {
        if (LandmarkTag(L_, i1, j1) != LandmarkTag(L_, i2, j2)) return false;
        if (L_.hyphenated.Has(i1, j1) != L_.hyphenated.Has(i2, j2)) return false;
        return ZoneAttributes(L_, k_, c_.code, i1, j1, kWhole, false, '0') ==
               ZoneAttributes(L_, k_, c_.code, i2, j2, kWhole, false, '0');
    }

    Role EdgeRole(bool vertical, int i, int j)
    {
        const int W = L_.W, H = L_.H;
        // Cells on the two sides: left is north of a row edge, west of a
        // column edge.
        int li = vertical ? i - 1 : i, lj = j;
        int ri = i, rj = vertical ? j : j - 1;
        bool lv = CellValid(li, lj), rv = CellValid(ri, rj);
        uint64_t h = Hash(seed_, vertical ? 2 : 1, i, j);
        int curve = static_cast<int>((h >> 16) % 100);
        Role r;
        r.present = true;

        bool lLake = lv && L_.lake.Has(li, lj), rLake = rv && L_.lake.Has(ri, rj);
        if (lLake && rLake) {
            if (vertical && i == L_.splitCol) {
                r.cfcc = "F10";
                return r;
            }
            r.present = false;
            return r;
        }
        if (lLake != rLake) {
            r.shapes = 8 + static_cast<int>((h >> 24) % 18);
            if (!vertical && j == L_.lake.j0) {
                r.cfcc = "A31";
                r.nameId = Name({"", "Lake Shore", "Dr", ""});
                r.addrRight = true;
            } else {
                r.cfcc = "H01";
                r.nameId = Name({"", "Crystal Lake", "", ""});
                r.source = 'H';
            }
            return r;
        }
        if (!vertical && j == 0) {
            r.cfcc = "A31";
            r.nameId = Name({"", "County Line", "Rd", ""});
            r.addrLeft = true;
            return r;
        }
        if (!vertical && j == H) {
            r.cfcc = "F10";
            return r;
        }
        if (vertical && i == 0) {
            r.cfcc = "A21";
            r.nameId = Name({"", "Harlem", "Ave", ""});
            r.addrRight = true;
            return r;
        }
        if (vertical && i == W) {
            r.cfcc = "F10";
            return r;
        }
        bool lPark = lv && L_.park.Has(li, lj), rPark = rv && L_.park.Has(ri, rj);
        if (lPark && rPark) {
            if (h % 3 != 0 && SameArea(li, lj, ri, rj)) {
                r.present = false;
                return r;
            }
            r.cfcc = ((h >> 8) & 1) ? "D85" : "A71";
            r.shapes = curve < 50 ? 1 + static_cast<int>((h >> 24) % 3) : 0;
            return r;
        }
        if (lv && rv && L_.ai.Has(li, lj) && L_.ai.Has(ri, rj)) {
            r.cfcc = "A51";
            r.shapes = curve < 40 ? 2 : 0;
            return r;
        }
        if (vertical && i == L_.rail) {
            r.cfcc = "B11";
            r.nameId = Name({"", "Union Pacific", "RR", ""});
            r.source = 'B';
            return r;
        }
        if (!vertical && j == L_.streamRow && i < L_.lake.i0) {
            r.cfcc = "H11";
            r.nameId = Name({"", "Salt", "Crk", ""});
            r.shapes = 3 + static_cast<int>((h >> 24) % 10);
            r.source = 'H';
            return r;
        }
        if (!vertical && j == L_.interstateRow) {
            r.cfcc = "A11";
            r.nameId = Name({"", "I- 55", "", ""});
            r.shapes = 2;
            return r;
        }
        if (vertical && i == L_.highwayCol) {
            r.cfcc = "A21";
            r.nameId = Name({"", "US Hwy 41", "", ""});
            r.shapes = curve < 30 ? 2 : 0;
            r.addrLeft = r.addrRight = true;
            return r;
        }
        // Runs of other feature classes along parts of a row or column.
        if (vertical && i == Frac(0.46, W) && j >= 1 && j < Frac(0.2, H)) {
            r.cfcc = "H21";
            r.nameId = Name({"", "Ship Canal", "", ""});
            return r;
        }
        if (!vertical && j == Frac(0.95, H) && i >= Frac(0.3, W) && i < Frac(0.7, W)) {
            r.cfcc = "C20";
            return r;
        }
        if (vertical && i == Frac(0.38, W) && j >= Frac(0.6, H) && j < Frac(0.9, H)) {
            r.cfcc = "C10";
            return r;
        }
        if (!vertical && j == Frac(0.15, H)) {
            int s = std::min(Frac(0.55, W), W - 10);
            if (i >= s && i < s + 10) {
                static const char* const kF8[] = {"F80", "F81", "F82", "F83", "F84",
                                                  "F85", "F86", "F87", "F88", "F89"};
                r.cfcc = kF8[i - s];
                return r;
            }
        }
        if (!vertical && j == Frac(0.08, H) && i >= 1 && i < 9) {
            static const char* const kF[] = {"F11", "F20", "F21", "F30", "F40", "F50", "F70", "F71"};
            r.cfcc = kF[i - 1];
            return r;
        }
        if (!vertical && j == Frac(0.25, H)) {
            int s = std::min(Frac(0.7, W), W - 10);
            if (i >= s && i < s + 10) {
                static const char* const kD[] = {"D10", "D21", "D31", "D43", "D44",
                                                 "D51", "D61", "D71", "D82", "D91"};
                r.cfcc = kD[i - s];
                r.shapes = (i - s) % 3 == 1 ? 2 : 0;
                return r;
            }
        }
        if (vertical && i == Frac(0.95, W)) {
            int s = Frac(0.6, H);
            if (j >= s && j < s + 5) {
                static const char* const kE[] = {"E10", "E21", "E22", "X00", "E23"};
                r.cfcc = kE[j - s];
                return r;
            }
        }
        bool secondary = vertical ? (i % 10 == 5) : (j % 10 == 5);
        if (vertical && (j == L_.interstateRow - 1 || j == L_.interstateRow) && (i % 10 == 3 || i % 10 == 7)) {
            r.cfcc = i % 10 == 3 ? "A63" : "A64";
            return r;
        }
        if (!secondary && h % 100 < 4 && Plain(li, lj) && Plain(ri, rj) && SameArea(li, lj, ri, rj)) {
            r.present = false;
            return r;
        }
        bool provisional = (lv && L_.provisional.Has(li, lj)) || (rv && L_.provisional.Has(ri, rj));
        r.cfcc = secondary ? "A31" : (provisional ? "P41" : "A41");
        r.nameId = vertical ? ColumnName(i, j) : RowName(i, j);
        if (r.nameId >= 0 && (h >> 48) % 100 >= 8) r.addrLeft = r.addrRight = true;
        r.hyphen = (lv && L_.hyphenated.Has(li, lj)) || (rv && L_.hyphenated.Has(ri, rj));
        if (curvedStreets_ > 0) {
            // An urban county: a share of the streets curve, over one to three RT2 records.
            if (curve < curvedStreets_) r.shapes = 2 + static_cast<int>((h >> 24) % 29);
        } else if (curve < 25) {
            r.shapes = 1 + static_cast<int>((h >> 24) % 5);
        } else if (curve < 28) {
            r.shapes = 11 + static_cast<int>((h >> 24) % 20);
        }
        return r;
    }

    void AddGridChain(bool vertical, int i, int j)
    {
        Role r = EdgeRole(vertical, i, j);
        if (!r.present) return;
        int a = GridNode(i, j);
        int b = vertical ? GridNode(i, j + 1) : GridNode(i + 1, j);
        int li = vertical ? i - 1 : i, lj = j;
        int ri = i, rj = vertical ? j : j - 1;
        // A split cell's west and north edges bound its north-west half,
        // its south and east edges the south-east half.
        auto zone = [&](int ci, int cj, bool westOrNorth) {
            if (!CellValid(ci, cj)) return -1;
            if (!L_.IsSplitCell(ci, cj)) return L_.Zone(ci, cj, kWhole);
            return L_.Zone(ci, cj, westOrNorth ? kSplitNW : kSplitSE);
        };
        // The edge is the south edge of the cell north of it, the north edge
        // of the one south of it; the east edge of the cell west of it, the
        // west edge of the one east of it.
        int zl = zone(li, lj, false);
        int zr = zone(ri, rj, true);
        uint64_t h = Hash(seed_, vertical ? 4 : 3, i, j);
        size_t idx = AddChain(a, b, Curve(c_.nodes[a], c_.nodes[b], r.shapes, h), r.cfcc, r.nameId, zl, zr, r.source);
        Chain& ch = c_.chains[idx];
        ch.addrL = r.addrLeft;
        ch.addrR = r.addrRight;
        AddrInfo& ai = addr_[idx];
        ai.base = 100 * ((vertical ? j : i) + 1);
        ai.hyphen = r.hyphen;
        MaybeReverse(idx);
    }

    void MakeGridChains()
    {
        for (int j = 0; j < L_.ny; ++j)
            for (int i = 0; i < L_.nx; ++i) {
                if (i + 1 < L_.nx) AddGridChain(false, i, j);
                if (j + 1 < L_.ny) AddGridChain(true, i, j);
            }
    }

    // Cells split by a nonvisible boundary corner to corner: the two halves
    // are two polygons of one block (suffixes A and B).
    void MakeDiagonals()
    {
        for (int j = L_.splitJ0; j < L_.splitJ1; ++j) {
            int i = L_.splitI;
            size_t idx = AddChain(GridNode(i, j), GridNode(i + 1, j + 1), {}, "F10", -1, L_.Zone(i, j, kSplitNW),
                                  L_.Zone(i, j, kSplitSE));
            MaybeReverse(idx);
        }
    }

    // The island in the lake and the pond in the park: each bounded by one
    // closed chain (from and to are the same node).
    void AddLoop(int i, int j, const char* cfcc, int nameId, int points)
    {
        Point c = CellCentre(i, j);
        double rx = 0.18 * L_.dx, ry = 0.18 * L_.dy;
        int node = NewNode({static_cast<int32_t>(c.x + std::lround(rx)), c.y});
        std::vector<Point> shapes;
        for (int k = 1; k < points; ++k) {
            double ang = 2 * kPi * k / points;
            double f = 1.0 + 0.07 * (k % 2);
            shapes.push_back({static_cast<int32_t>(c.x + std::lround(rx * f * std::cos(ang))),
                              static_cast<int32_t>(c.y + std::lround(ry * f * std::sin(ang)))});
        }
        Untangle(shapes);
        // Counter-clockwise: the inside is on the left.
        AddChain(node, node, std::move(shapes), cfcc, nameId, L_.Zone(i, j, kLoopInside), L_.Zone(i, j, kWhole), 'H');
    }

    void MakeLoops()
    {
        AddLoop(L_.islandI, L_.islandJ, "H01", Name({"", "Goose Island", "", ""}),
                24 + static_cast<int>(Hash(seed_, 12) % 12));
        AddLoop(L_.pondI, L_.pondJ, "H02", Name({"", "Mill Pond", "", ""}), 14);
    }

    // Dangling chains inside a cell from its south-west corner towards its
    // centre: the same polygon lies on both sides.
    void AddSpur(int i, int j, const char* cfcc, int nameId, bool twoChains, char source = 'A')
    {
        int corner = GridNode(i, j);
        if (degree_[corner] == 0) return;
        Point p = c_.nodes[corner], centre = CellCentre(i, j);
        Point end = {p.x + (centre.x - p.x) / 2, p.y + (centre.y - p.y) / 2};
        int zone = L_.Zone(i, j, kWhole);
        if (twoChains) {
            Point mid = {p.x + (centre.x - p.x) / 4, p.y + (centre.y - p.y) / 4};
            int m = NewNode(mid);
            MaybeReverse(AddChain(corner, m, {}, cfcc, nameId, zone, zone, source));
            MaybeReverse(AddChain(m, NewNode(end), {}, cfcc, nameId, zone, zone, source));
        } else {
            MaybeReverse(AddChain(corner, NewNode(end), {}, cfcc, nameId, zone, zone, source));
        }
    }

    void MakeSpurs()
    {
        static const char* const kSpur[] = {"A74", "A61", "A73", "X00", "E10", "A71", "E22", "C00", "C31", "A74"};
        constexpr int kSpurCount = sizeof kSpur / sizeof kSpur[0];
        int n = 0;
        for (int j = 0; j < L_.H; ++j)
            for (int i = 0; i < L_.W; ++i) {
                if (!Plain(i, j) || LandmarkTag(L_, i, j) != 0) continue;
                if (i == L_.rail && j % 7 == 3) {
                    AddSpur(i, j, "B21", Name({"", "Union Pacific", "RR", ""}), false, 'B');
                    continue;
                }
                if (Hash(seed_, 7, i, j) % 100 >= 5) continue;
                const char* cfcc = kSpur[n % kSpurCount];
                int nameId = std::string(cfcc) == "A61" ? Name({"", Word(i), "Ct", ""}) : -1;
                AddSpur(i, j, cfcc, nameId, n % 5 == 2);
                ++n;
            }
        if (L_.airport.i1 > L_.airport.i0 && L_.airport.j1 > L_.airport.j0)
            AddSpur(L_.airport.i0, L_.airport.j0, "D51", -1, true);
    }

    // --- faces --------------------------------------------------------------

    Point Origin(int he) const
    {
        const Chain& ch = c_.chains[he / 2];
        return c_.nodes[(he & 1) ? ch.to : ch.from];
    }

    // The first point after the origin along a half-edge.
    Point Toward(int he) const
    {
        const Chain& ch = c_.chains[he / 2];
        if (ch.shapes.empty()) return c_.nodes[(he & 1) ? ch.from : ch.to];
        return (he & 1) ? ch.shapes.back() : ch.shapes.front();
    }

    template <typename F> void ForEachSegment(int he, F f) const
    {
        const Chain& ch = c_.chains[he / 2];
        Point prev = Origin(he);
        auto step = [&](Point q) {
            f(prev, q);
            prev = q;
        };
        if (he & 1) {
            for (size_t k = ch.shapes.size(); k-- > 0;) step(ch.shapes[k]);
            step(c_.nodes[ch.from]);
        } else {
            for (const Point& q : ch.shapes) step(q);
            step(c_.nodes[ch.to]);
        }
    }

    int LeftZone(int he) const
    {
        const Chain& ch = c_.chains[he / 2];
        return (he & 1) ? ch.zoneR : ch.zoneL;
    }

    void FindFaces()
    {
        const int halfEdges = static_cast<int>(c_.chains.size() * 2);
        const int nodes = static_cast<int>(c_.nodes.size());
        // Outgoing half-edges of every node, counter-clockwise.
        std::vector<int> start(nodes + 1, 0);
        for (int he = 0; he < halfEdges; ++he) {
            const Chain& ch = c_.chains[he / 2];
            ++start[((he & 1) ? ch.to : ch.from) + 1];
        }
        for (int v = 0; v < nodes; ++v) start[v + 1] += start[v];
        std::vector<int> out(halfEdges), fill(start.begin(), start.end() - 1);
        std::vector<double> angle(halfEdges);
        for (int he = 0; he < halfEdges; ++he) {
            const Chain& ch = c_.chains[he / 2];
            out[fill[(he & 1) ? ch.to : ch.from]++] = he;
            Point o = Origin(he), t = Toward(he);
            angle[he] = std::atan2(static_cast<double>(t.y) - o.y, static_cast<double>(t.x) - o.x);
        }
        std::vector<int> pos(halfEdges);
        for (int v = 0; v < nodes; ++v) {
            std::sort(out.begin() + start[v], out.begin() + start[v + 1], [&](int a, int b) {
                return angle[a] < angle[b] || (angle[a] == angle[b] && a < b);
            });
            for (int k = start[v]; k < start[v + 1]; ++k) pos[out[k]] = k;
        }
        // The face on the left of u->v continues with the half-edge leaving
        // v just clockwise of v->u.
        auto next = [&](int he) {
            int twin = he ^ 1;
            const Chain& ch = c_.chains[he / 2];
            int v = (he & 1) ? ch.from : ch.to;
            int k = pos[twin] - 1;
            if (k < start[v]) k = start[v + 1] - 1;
            return out[k];
        };

        struct Cycle {
            int64_t area2 = 0; // twice the signed area, relative coordinates
            int first = 0;
            int rep = -1;
            int32_t minx = INT32_MAX, miny = INT32_MAX, maxx = INT32_MIN, maxy = INT32_MIN;
        };
        std::vector<Cycle> cycles;
        cycleOf_.assign(halfEdges, -1);
        const int64_t ox = L_.x0, oy = L_.y0;
        for (int he0 = 0; he0 < halfEdges; ++he0) {
            if (cycleOf_[he0] >= 0) continue;
            Cycle cy;
            cy.first = he0;
            int id = static_cast<int>(cycles.size());
            int he = he0;
            do {
                cycleOf_[he] = id;
                ForEachSegment(he, [&](Point a, Point b) {
                    cy.area2 += (a.x - ox) * (b.y - oy) - (b.x - ox) * (a.y - oy);
                    cy.minx = std::min(cy.minx, a.x);
                    cy.maxx = std::max(cy.maxx, a.x);
                    cy.miny = std::min(cy.miny, a.y);
                    cy.maxy = std::max(cy.maxy, a.y);
                });
                int z = LeftZone(he);
                if (z >= 0 && (cy.rep < 0 || z < cy.rep)) cy.rep = z;
                he = next(he);
            } while (he != he0);
            cycles.push_back(cy);
        }

        // Counter-clockwise cycles are faces; clockwise ones are the outer
        // boundaries of connected parts: the most negative is the county's
        // outline, the others are holes in the face that contains them.
        int outer = -1;
        std::vector<int> faces;
        for (int k = 0; k < static_cast<int>(cycles.size()); ++k) {
            if (cycles[k].area2 > 0) faces.push_back(k);
            else if (outer < 0 || cycles[k].area2 < cycles[outer].area2) outer = k;
        }
        std::sort(faces.begin(), faces.end(), [&](int a, int b) {
            return cycles[a].rep < cycles[b].rep || (cycles[a].rep == cycles[b].rep && a < b);
        });
        faceOfCycle_.assign(cycles.size(), 0);
        for (size_t f = 0; f < faces.size(); ++f) faceOfCycle_[faces[f]] = static_cast<int32_t>(f + 1);
        for (int k = 0; k < static_cast<int>(cycles.size()); ++k) {
            if (cycles[k].area2 > 0 || k == outer) continue;
            Point p = Origin(cycles[k].first);
            int best = -1;
            for (int f : faces) {
                const Cycle& cf = cycles[f];
                if (p.x < cf.minx || p.x > cf.maxx || p.y < cf.miny || p.y > cf.maxy) continue;
                if (!Contains(cf.first, p, next)) continue;
                if (best < 0 || cf.area2 < cycles[best].area2) best = f;
            }
            if (best < 0) throw std::runtime_error("a part of the network lies outside every polygon");
            faceOfCycle_[k] = faceOfCycle_[best];
        }

        c_.polygons.resize(faces.size());
        for (size_t f = 0; f < faces.size(); ++f) {
            c_.polygons[f].polyid = static_cast<int32_t>(f + 1);
            c_.polygons[f].zone = cycles[faces[f]].rep;
        }
        for (size_t idx = 0; idx < c_.chains.size(); ++idx) {
            Chain& ch = c_.chains[idx];
            ch.polyL = faceOfCycle_[cycleOf_[2 * idx]];
            ch.polyR = faceOfCycle_[cycleOf_[2 * idx + 1]];
            // Sides built as outside must be the outside, and the reverse.
            if ((ch.zoneL < 0) != (ch.polyL == 0) || (ch.zoneR < 0) != (ch.polyR == 0))
                throw std::runtime_error("inconsistent faces: the network is not planar");
        }
    }

    template <typename Next> bool Contains(int first, Point p, Next next) const
    {
        bool inside = false;
        int he = first;
        do {
            ForEachSegment(he, [&](Point a, Point b) {
                if ((a.y > p.y) != (b.y > p.y)) {
                    double x = a.x + (static_cast<double>(p.y) - a.y) * (static_cast<double>(b.x) - a.x) /
                                         (static_cast<double>(b.y) - a.y);
                    if (p.x < x) inside = !inside;
                }
            });
            he = next(he);
        } while (he != first);
        return inside;
    }

    // --- attributes ---------------------------------------------------------

    void AssignAttributes()
    {
        std::map<std::string, int> landSeq, waterSeq;
        std::map<int, std::string> splitBlock, splitBlock90;
        std::map<std::string, int> water90Seq;
        for (Polygon& poly : c_.polygons) {
            int i = L_.ZoneI(poly.zone), j = L_.ZoneJ(poly.zone), part = L_.ZonePart(poly.zone);
            char flag = '0';
            if (part == kWhole && L_.lake.Has(i, j)) flag = '1';
            if (part == kLoopInside && i == L_.pondI && j == L_.pondJ) flag = '2';
            poly.water = flag != '0';
            poly.a = ZoneAttributes(L_, k_, c_.code, i, j, part, poly.water, flag);
            AreaAttr& a = poly.a;
            std::string bg = a.block;
            std::string key = a.tract + bg;
            bool split = part == kSplitNW || part == kSplitSE;
            int cell = poly.zone / 4;
            if (poly.water) {
                int n = waterSeq[key]++;
                a.block = bg + "99" + std::to_string(n % 10);
            } else if (split && splitBlock.count(cell)) {
                a.block = splitBlock[cell];
            } else {
                int n = ++landSeq[key];
                if (n > 989) n = (n - 1) % 989 + 1; // never d99d on land
                a.block = bg + Digits(n, 3);
                if (split) splitBlock[cell] = a.block;
            }
            if (split) a.blkSuffix = part == kSplitNW ? "A" : "B";

            // 1990 blocks: groups of 2 x 2 cells in tracts of 20 x 20.
            if (poly.water) {
                a.blk90 = a.blk90 + "99";
            } else {
                int idx = ((j % 20) / 2) * 10 + (i % 20) / 2;
                int n = 100 * (1 + idx / 98) + idx % 98 + 1;
                a.blk90 = Digits(n, 3) + (split ? a.blkSuffix : "");
            }
        }
    }

    // --- identifiers --------------------------------------------------------

    void AssignIdentifiers()
    {
        const size_t n = c_.chains.size();
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t{0});
        Rng rng(Hash(seed_, 20));
        for (size_t k = n; k > 1; --k) std::swap(order[k - 1], order[rng.Next() % k]);
        uint32_t tlid = static_cast<uint32_t>(100000000 + (seed_ % 97) * 1000000 + rng.Range(0, 99999));
        for (size_t k = 0; k < n; ++k) {
            c_.chains[order[k]].tlid = tlid;
            tlid += static_cast<uint32_t>(rng.Range(1, 4));
        }
        // Chains in identifier order, as TIGER writes them.
        std::vector<Chain> sorted(n);
        std::vector<AddrInfo> addr(n);
        for (size_t k = 0; k < n; ++k) {
            sorted[k] = std::move(c_.chains[order[k]]);
            addr[k] = addr_[order[k]];
        }
        c_.chains = std::move(sorted);
        addr_ = std::move(addr);
    }

    void MakeAddresses()
    {
        for (size_t idx = 0; idx < c_.chains.size(); ++idx) {
            Chain& ch = c_.chains[idx];
            if (!ch.addrL && !ch.addrR) continue;
            const AddrInfo& ai = addr_[idx];
            auto text = [&](int v) {
                if (!ai.hyphen) return std::to_string(v);
                return std::to_string(v / 100) + "-" + Digits(v % 100, 2);
            };
            // Odd numbers on one side, even on the other; low to high along
            // the grid's direction.
            auto range = [&](bool odd, std::string& fr, std::string& to) {
                int lo = ai.base + (odd ? 1 : 0), hi = ai.base + (odd ? 99 : 98);
                if (ai.descending) std::swap(lo, hi);
                fr = text(lo);
                to = text(hi);
            };
            if (ch.addrL) range(ai.leftOdd, ch.fraddl, ch.toaddl);
            if (ch.addrR) range(!ai.leftOdd, ch.fraddr, ch.toaddr);
        }
    }

    // --- alternate names ----------------------------------------------------

    int AltName(const NameParts& n)
    {
        c_.altNames.push_back(n);
        return static_cast<int>(c_.altNames.size());
    }

    void MakeAltNames()
    {
        int stevenson = AltName({"", "Stevenson", "Expy", ""});
        int route66 = AltName({"", "Route 66", "", ""});
        int interstate = AltName({"", "Interstate 55", "", ""});
        int adlai = AltName({"", "Adlai E Stevenson", "Expy", ""});
        AltName({"", "", "", ""}); // a blank name record nobody refers to
        int lincoln = AltName({"", "Lincoln", "Hwy", ""});
        int state1 = AltName({"", "State Route 1", "", ""});
        int mainSt = AltName({"N", "Main", "St", "E"});
        int oldMill = AltName({"", "Old Mill", "Rd", ""});
        int cnw = AltName({"", "Chicago and North Western", "RR", ""});
        int dixie = AltName({"S", "Dixie", "Hwy", ""});

        int interstateName = Name({"", "I- 55", "", ""});
        int highwayName = Name({"", "US Hwy 41", "", ""});
        int railName = Name({"", "Union Pacific", "RR", ""});
        int broadwayN = Name({"", "Broadway", "", "N"}), broadwayS = Name({"", "Broadway", "", "S"});
        bool twoRecords = false, zeroFirst = false;
        for (size_t idx = 0; idx < c_.chains.size(); ++idx) {
            const Chain& ch = c_.chains[idx];
            uint64_t h = Hash(seed_, 30, ch.tlid);
            AltFeatureRecord r;
            r.chain = idx;
            if (ch.nameId == interstateName) {
                if (!twoRecords) {
                    // Five alternate names, then a second record: its
                    // non-zero numbers take the first slots again.
                    twoRecords = true;
                    r.feat[0] = stevenson;
                    r.feat[1] = interstate;
                    r.feat[2] = route66;
                    r.feat[3] = adlai;
                    r.feat[4] = dixie;
                    c_.rt4.push_back(r);
                    AltFeatureRecord r2;
                    r2.chain = idx;
                    r2.rtsq = 2;
                    r2.feat[0] = oldMill;
                    c_.rt4.push_back(r2);
                    continue;
                }
                r.feat[0] = stevenson;
                r.feat[1] = interstate;
            } else if (ch.nameId == highwayName) {
                if (!zeroFirst) {
                    zeroFirst = true;
                    r.zero[0] = true;
                    r.feat[1] = state1;
                } else {
                    r.feat[0] = lincoln;
                    if (h % 2) r.feat[1] = state1;
                }
            } else if (ch.nameId == railName && h % 3 == 0) {
                r.feat[0] = cnw;
            } else if ((ch.nameId == broadwayN || ch.nameId == broadwayS) && h % 4 == 0) {
                r.feat[0] = mainSt;
            } else if (ch.nameId >= 0 && std::string(ch.cfcc, 2) == "A4" && h % 100 < 2) {
                r.feat[0] = oldMill;
                if (h % 7 == 0) {
                    r.feat[1] = dixie;
                    r.feat[2] = route66;
                }
            } else {
                continue;
            }
            c_.rt4.push_back(r);
        }
        // What the records leave in slots 1-3: each record's non-zero
        // numbers, in file order.
        for (const AltFeatureRecord& r : c_.rt4)
            for (int s = 0; s < 3; ++s)
                if (r.feat[s] != 0) c_.chains[r.chain].alt[s] = r.feat[s];
    }

    // --- landmarks ----------------------------------------------------------

    std::vector<int32_t> PolygonsIn(const Rect& r, bool land) const
    {
        std::vector<int32_t> v;
        for (const Polygon& poly : c_.polygons) {
            if (land && poly.water) continue;
            if (r.Has(L_.ZoneI(poly.zone), L_.ZoneJ(poly.zone))) v.push_back(poly.polyid);
        }
        return v;
    }

    Point InsideCell(int i, int j, uint64_t h) const
    {
        Point c = CellCentre(i, j);
        return {static_cast<int32_t>(c.x + Pick(h, -L_.dx / 5, L_.dx / 5)),
                static_cast<int32_t>(c.y + Pick(h >> 32, -L_.dy / 5, L_.dy / 5))};
    }

    void MakeLandmarks()
    {
        uint32_t land = static_cast<uint32_t>(Pick(Hash(seed_, 40), 10000, 90000));
        auto add = [&](const char* cfcc, std::string name, bool located, Point pt, std::vector<int32_t> polys) {
            Landmark m;
            m.land = land;
            land += static_cast<uint32_t>(1 + Hash(seed_, 41, land) % 3);
            m.cfcc = cfcc;
            m.name = std::move(name);
            m.located = located;
            m.pt = pt;
            m.source = located ? 'B' : 'A';
            m.polygons = std::move(polys);
            c_.landmarks.push_back(std::move(m));
        };
        std::vector<int32_t> lake;
        for (const Polygon& poly : c_.polygons)
            if (poly.a.water == "1") lake.push_back(poly.polyid);
        // Area landmarks (no coordinates; their polygons come from RT8).
        add("D85", "Lincoln Park", false, {}, PolygonsIn(L_.park, true));
        add("H31", "Crystal Lake", false, {}, lake);
        add("D82", "Rosehill Cemetery", false, {}, PolygonsIn(L_.cemetery, true));
        add("D51", "Municipal Airport", false, {}, PolygonsIn(L_.airport, true));
        add("D61", "Westfield Shopping Center", false, {}, PolygonsIn(L_.mall, true));

        // Point landmarks.
        static const char* const kClass[] = {"D43", "D44", "D31", "D65", "D71", "D52", "D43", "D44", "D81", "D10"};
        static const char* const kKind[] = {"Elementary School", "Church", "Hospital", "City Hall", "Tower",
                                            "Station", "High School", "Chapel", "Golf Course", "Armory"};
        int count = static_cast<int>(std::max<int64_t>(12, static_cast<int64_t>(c_.chains.size()) / 400));
        for (int n = 0; n < count; ++n) {
            uint64_t h = Hash(seed_, 42, n);
            int i = static_cast<int>(Pick(h, 0, L_.W - 1)), j = static_cast<int>(Pick(h >> 20, 0, L_.H - 1));
            Point pt = InsideCell(i, j, Hash(seed_, 43, n));
            int kind = n % 10;
            std::string name = Word(static_cast<int>(Pick(h >> 40, 0, kWordCount - 1))) + " " + kKind[kind];
            if (n == 0) name = "Thomas Jefferson Memorial Schl"; // the full 30 characters
            if (n == 1) name.clear();
            if (n == 2) pt = {0, 0};
            if (n == 3) name = "St Josaphat Ukrainian Catholic";
            const char* cfcc = n == 0 ? "D43" : (n == 1 ? "D71" : (n == 3 ? "D44" : kClass[kind]));
            add(cfcc, name, true, pt, {});
        }
    }

    void MakeKeyLocations()
    {
        auto add = [&](const char* cfcc, const char* name, const char* address, std::vector<int32_t> polys) {
            if (polys.empty()) return;
            KeyLocation k;
            k.feat = AltName({"", name, "", ""});
            k.cfcc = cfcc;
            k.name = name;
            k.address = address;
            const Polygon& first = c_.polygons[polys.front() - 1];
            k.zip = first.a.zip;
            k.zip4 = Digits(static_cast<int64_t>(Hash(seed_, 50, k.feat) % 10000), 4);
            k.polygons = std::move(polys);
            c_.keyLocations.push_back(std::move(k));
        };
        add("D43", "Lincoln High School", "1200", PolygonsIn(L_.school, true));
        add("D31", "Mercy Hospital", "2525", PolygonsIn(L_.hospital, true));
        add("D51", "Municipal Airport", "", PolygonsIn(L_.airport, true));
    }

    // --- entity names -------------------------------------------------------

    void MakeEntities()
    {
        auto entity = [&](char type, std::string name) {
            Entity e;
            e.type = type;
            e.stateCounty = c_.code;
            e.name = std::move(name);
            return e;
        };
        Entity county = entity('C', c_.name);
        c_.entities.push_back(county);
        Entity state = entity('S', "State " + c_.state);
        c_.entities.push_back(state);
        const char* mcdNames[3] = {"Lyons Township", "Proviso Township", "Maine Township"};
        for (int b = 0; b < 3; ++b) {
            Entity e = entity('M', mcdNames[b]);
            e.fips = k_.mcd[b];
            e.lsad = "44";
            c_.entities.push_back(e);
        }
        Entity m90 = entity('M', "Northfield Township");
        m90.fips = k_.mcd90East;
        m90.datayr = "1990";
        m90.lsad = "44";
        c_.entities.push_back(m90);
        struct P {
            const std::string& code;
            const char* name;
            const char* lsad;
        } places[] = {{k_.placeA, "Springfield", "25"}, {k_.placeB, "Riverside", "47"}, {k_.placeC, "Lakeview", "25"}};
        for (const P& pl : places) {
            Entity e = entity('P', pl.name);
            e.fips = pl.code;
            e.lsad = pl.lsad;
            e.pdc = "P";
            c_.entities.push_back(e);
        }
        Entity uni = entity('3', "Lakeview Community Unit School District 300");
        uni.sd = k_.sduni;
        c_.entities.push_back(uni);
        Entity sec = entity('4', "Township High School District 211");
        sec.sd = k_.sdsec;
        c_.entities.push_back(sec);
        Entity el1 = entity('5', "Springfield School District 25");
        el1.sd = k_.sdelm[0];
        c_.entities.push_back(el1);
        Entity el2 = entity('5', "Prairie School District 54");
        el2.sd = k_.sdelm[1];
        c_.entities.push_back(el2);
        Entity ai = entity('I', "Prairie Band Reservation");
        ai.fips = k_.fair;
        ai.air = k_.air;
        ai.lsad = "77";
        c_.entities.push_back(ai);
        Entity cmsa = entity('A', "Synthetic-Gary-Kenosha CMSA");
        cmsa.ma = k_.cmsa;
        c_.entities.push_back(cmsa);
        Entity west = entity('A', "Synthetic PMSA");
        west.ma = k_.pmsaWest;
        c_.entities.push_back(west);
        Entity east = entity('A', "Lakeview PMSA");
        east.ma = k_.pmsaEast;
        c_.entities.push_back(east);
        Entity ua = entity('U', "Synthetic Urbanized Area");
        ua.ua = k_.ua;
        c_.entities.push_back(ua);
        std::map<std::string, bool> vtds;
        for (const Polygon& poly : c_.polygons) vtds[poly.a.vtd] = true;
        int n = 0;
        for (const auto& [vtd, unused] : vtds) {
            (void)unused;
            Entity v = entity('V', "Precinct " + std::to_string(++n));
            v.vtd = vtd;
            c_.entities.push_back(v);
        }
        // A neighbouring county.
        int other = (std::stoi(c_.county) + 2) % 1000;
        Entity neighbour = entity('C', std::string(kCountyNames[(Hash(seed_, 5) + 1) % kCountyNameCount]) + " County");
        neighbour.stateCounty = c_.state + Digits(other, 3);
        c_.entities.push_back(neighbour);
        for (Entity& e : c_.entities)
            if (e.datayr.empty() && e.type != 'C' && e.type != 'S') e.datayr = "2000";
    }
};

} // namespace

County BuildCounty(const Params& p)
{
    Builder b(p);
    return b.Build();
}

} // namespace mkcounty
