// What each grid edge becomes: lake shore, county line, railroad, stream,
// highway, a run of another feature class, or a street. Each function below
// decides some edges (returns true) and leaves the others to the next.
#include "builder.h"
#include "util.h"

#include <algorithm>

namespace mkcounty {

Edge Builder::MakeEdge(bool vertical, int i, int j) const
{
    Edge e;
    e.vertical = vertical;
    e.i = i;
    e.j = j;
    e.li = vertical ? i - 1 : i;
    e.lj = j;
    e.ri = i;
    e.rj = vertical ? j : j - 1;
    e.lv = CellValid(e.li, e.lj);
    e.rv = CellValid(e.ri, e.rj);
    e.h = Hash(seed_, vertical ? 2 : 1, i, j);
    e.curve = static_cast<int>((e.h >> 16) % 100);
    return e;
}

Role Builder::EdgeRole(bool vertical, int i, int j)
{
    Edge e = MakeEdge(vertical, i, j);
    Role r;
    r.present = true;
    if (LakeRole(e, r) || BorderRole(e, r) || LineRole(e, r) || RunRole(e, r) || ClassRunRole(e, r)) return r;
    StreetRole(e, r);
    return r;
}

// Inside the lake (no chain but the nonvisible split line) and its shore.
bool Builder::LakeRole(const Edge& e, Role& r)
{
    bool lLake = e.lv && L_.lake.Has(e.li, e.lj), rLake = e.rv && L_.lake.Has(e.ri, e.rj);
    if (lLake && rLake) {
        if (e.vertical && e.i == L_.splitCol) r.cfcc = "F10";
        else r.present = false;
        return true;
    }
    if (lLake == rLake) return false;
    r.shapes = 8 + static_cast<int>((e.h >> 24) % 18);
    if (!e.vertical && e.j == L_.lake.j0) {
        r.cfcc = "A31";
        r.nameId = Name({"", "Lake Shore", "Dr", ""});
        r.addrRight = true;
    } else {
        r.cfcc = "H01";
        r.nameId = Name({"", "Crystal Lake", "", ""});
        r.source = 'H';
    }
    return true;
}

// The county's outline.
bool Builder::BorderRole(const Edge& e, Role& r)
{
    if (!e.vertical && e.j == 0) {
        r.cfcc = "A31";
        r.nameId = Name({"", "County Line", "Rd", ""});
        r.addrLeft = true;
        return true;
    }
    if ((!e.vertical && e.j == L_.H) || (e.vertical && e.i == L_.W)) {
        r.cfcc = "F10";
        return true;
    }
    if (e.vertical && e.i == 0) {
        r.cfcc = "A21";
        r.nameId = Name({"", "Harlem", "Ave", ""});
        r.addrRight = true;
        return true;
    }
    return false;
}

// Park trails, reservation roads, the railroad, the creek and the highways.
bool Builder::LineRole(const Edge& e, Role& r)
{
    const uint64_t h = e.h;
    bool lPark = e.lv && L_.park.Has(e.li, e.lj), rPark = e.rv && L_.park.Has(e.ri, e.rj);
    if (lPark && rPark) {
        if (h % 3 != 0 && SameArea(e.li, e.lj, e.ri, e.rj)) {
            r.present = false;
            return true;
        }
        r.cfcc = ((h >> 8) & 1) ? "D85" : "A71";
        r.shapes = e.curve < 50 ? 1 + static_cast<int>((h >> 24) % 3) : 0;
        return true;
    }
    if (e.lv && e.rv && L_.ai.Has(e.li, e.lj) && L_.ai.Has(e.ri, e.rj)) {
        r.cfcc = "A51";
        r.shapes = e.curve < 40 ? 2 : 0;
        return true;
    }
    if (e.vertical && e.i == L_.rail) {
        r.cfcc = "B11";
        r.nameId = Name({"", "Union Pacific", "RR", ""});
        r.source = 'B';
        return true;
    }
    if (!e.vertical && e.j == L_.streamRow && e.i < L_.lake.i0) {
        r.cfcc = "H11";
        r.nameId = Name({"", "Salt", "Crk", ""});
        r.shapes = 3 + static_cast<int>((h >> 24) % 10);
        r.source = 'H';
        return true;
    }
    if (!e.vertical && e.j == L_.interstateRow) {
        r.cfcc = "A11";
        r.nameId = Name({"", "I- 55", "", ""});
        r.shapes = 2;
        return true;
    }
    if (e.vertical && e.i == L_.highwayCol) {
        r.cfcc = "A21";
        r.nameId = Name({"", "US Hwy 41", "", ""});
        r.shapes = e.curve < 30 ? 2 : 0;
        r.addrLeft = r.addrRight = true;
        return true;
    }
    return false;
}

// Runs of other feature classes along parts of a row or column: a canal,
// railroads, nonvisible boundaries.
bool Builder::RunRole(const Edge& e, Role& r)
{
    const int W = L_.W, H = L_.H, i = e.i, j = e.j;
    if (e.vertical && i == Frac(0.46, W) && j >= 1 && j < Frac(0.2, H)) {
        r.cfcc = "H21";
        r.nameId = Name({"", "Ship Canal", "", ""});
        return true;
    }
    if (!e.vertical && j == Frac(0.95, H) && i >= Frac(0.3, W) && i < Frac(0.7, W)) {
        r.cfcc = "C20";
        return true;
    }
    if (e.vertical && i == Frac(0.38, W) && j >= Frac(0.6, H) && j < Frac(0.9, H)) {
        r.cfcc = "C10";
        return true;
    }
    if (!e.vertical && j == Frac(0.15, H)) {
        int s = std::min(Frac(0.55, W), W - 10);
        if (i >= s && i < s + 10) {
            static const char* const kF8[] = {"F80", "F81", "F82", "F83", "F84",
                                              "F85", "F86", "F87", "F88", "F89"};
            r.cfcc = kF8[i - s];
            return true;
        }
    }
    if (!e.vertical && j == Frac(0.08, H) && i >= 1 && i < 9) {
        static const char* const kF[] = {"F11", "F20", "F21", "F30", "F40", "F50", "F70", "F71"};
        r.cfcc = kF[i - 1];
        return true;
    }
    return false;
}

// One edge of every class of landmark and physical feature, and the ramps
// beside the interstate.
bool Builder::ClassRunRole(const Edge& e, Role& r)
{
    const int W = L_.W, H = L_.H, i = e.i, j = e.j;
    if (!e.vertical && j == Frac(0.25, H)) {
        int s = std::min(Frac(0.7, W), W - 10);
        if (i >= s && i < s + 10) {
            static const char* const kD[] = {"D10", "D21", "D31", "D43", "D44",
                                             "D51", "D61", "D71", "D82", "D91"};
            r.cfcc = kD[i - s];
            r.shapes = (i - s) % 3 == 1 ? 2 : 0;
            return true;
        }
    }
    if (e.vertical && i == Frac(0.95, W)) {
        int s = Frac(0.6, H);
        if (j >= s && j < s + 5) {
            static const char* const kE[] = {"E10", "E21", "E22", "X00", "E23"};
            r.cfcc = kE[j - s];
            return true;
        }
    }
    if (e.vertical && (j == L_.interstateRow - 1 || j == L_.interstateRow) && (i % 10 == 3 || i % 10 == 7)) {
        r.cfcc = i % 10 == 3 ? "A63" : "A64";
        return true;
    }
    return false;
}

// Everything else: a street (a few missing, merging the cells beside them).
void Builder::StreetRole(const Edge& e, Role& r)
{
    const uint64_t h = e.h;
    bool secondary = e.vertical ? (e.i % 10 == 5) : (e.j % 10 == 5);
    if (!secondary && h % 100 < 4 && Plain(e.li, e.lj) && Plain(e.ri, e.rj) && SameArea(e.li, e.lj, e.ri, e.rj)) {
        r.present = false;
        return;
    }
    bool provisional = (e.lv && L_.provisional.Has(e.li, e.lj)) || (e.rv && L_.provisional.Has(e.ri, e.rj));
    r.cfcc = secondary ? "A31" : (provisional ? "P41" : "A41");
    r.nameId = e.vertical ? ColumnName(e.i, e.j) : RowName(e.i, e.j);
    if (r.nameId >= 0 && (h >> 48) % 100 >= 8) r.addrLeft = r.addrRight = true;
    r.hyphen = (e.lv && L_.hyphenated.Has(e.li, e.lj)) || (e.rv && L_.hyphenated.Has(e.ri, e.rj));
    if (curvedStreets_ > 0) {
        // An urban county: a share of the streets curve, over one to three RT2 records.
        if (e.curve < curvedStreets_) r.shapes = 2 + static_cast<int>((h >> 24) % 29);
    } else if (e.curve < 25) {
        r.shapes = 1 + static_cast<int>((h >> 24) % 5);
    } else if (e.curve < 28) {
        r.shapes = 11 + static_cast<int>((h >> 24) % 20);
    }
}

} // namespace mkcounty
