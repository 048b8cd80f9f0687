// The chain network: jittered grid nodes, the grid's chains, the diagonal
// boundaries of split cells, the island and pond loops and the dangling
// spurs.
#include "builder.h"
#include "util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mkcounty {

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

int Builder::NewNode(Point p)
{
    c_.nodes.push_back(p);
    return static_cast<int>(c_.nodes.size()) - 1;
}

Point Builder::CellCentre(int i, int j) const
{
    int64_t x = 0, y = 0;
    for (int di = 0; di < 2; ++di)
        for (int dj = 0; dj < 2; ++dj) {
            x += GridPoint(i + di, j + dj).x;
            y += GridPoint(i + di, j + dj).y;
        }
    return {static_cast<int32_t>(x / 4), static_cast<int32_t>(y / 4)};
}

void Builder::MakeGridNodes()
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
void Builder::Untangle(std::vector<Point>& v)
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
std::vector<Point> Builder::Curve(Point p, Point q, int n, uint64_t h) const
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

size_t Builder::AddChain(int from, int to, std::vector<Point> shapes, const char* cfcc, int nameId, int zoneL, int zoneR,
                             char source)
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
void Builder::MaybeReverse(size_t idx)
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

bool Builder::Plain(int i, int j) const
{
    return CellValid(i, j) && !L_.lake.Has(i, j) && !L_.park.Has(i, j) && !L_.ai.Has(i, j) &&
           !L_.IsSplitCell(i, j) && !L_.IsLoopCell(i, j);
}

bool Builder::SameArea(int i1, int j1, int i2, int j2) const
{
    if (LandmarkTag(L_, i1, j1) != LandmarkTag(L_, i2, j2)) return false;
    if (L_.hyphenated.Has(i1, j1) != L_.hyphenated.Has(i2, j2)) return false;
    return ZoneAttributes(L_, k_, i1, j1, kWhole, false, '0') ==
           ZoneAttributes(L_, k_, i2, j2, kWhole, false, '0');
}

void Builder::AddGridChain(bool vertical, int i, int j)
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

void Builder::MakeGridChains()
{
    for (int j = 0; j < L_.ny; ++j)
        for (int i = 0; i < L_.nx; ++i) {
            if (i + 1 < L_.nx) AddGridChain(false, i, j);
            if (j + 1 < L_.ny) AddGridChain(true, i, j);
        }
}

// Cells split by a nonvisible boundary corner to corner: the two halves
// are two polygons of one block (suffixes A and B).
void Builder::MakeDiagonals()
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
void Builder::AddLoop(int i, int j, const char* cfcc, int nameId, int points)
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

void Builder::MakeLoops()
{
    AddLoop(L_.islandI, L_.islandJ, "H01", Name({"", "Goose Island", "", ""}),
            24 + static_cast<int>(Hash(seed_, 12) % 12));
    AddLoop(L_.pondI, L_.pondJ, "H02", Name({"", "Mill Pond", "", ""}), 14);
}

// Dangling chains inside a cell from its south-west corner towards its
// centre: the same polygon lies on both sides.
void Builder::AddSpur(int i, int j, const char* cfcc, int nameId, bool twoChains, char source)
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

void Builder::MakeSpurs()
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

} // namespace mkcounty
