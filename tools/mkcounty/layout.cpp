#include "layout.h"

#include "rng.h"
#include "util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mkcounty {

namespace {

// Smallest grid that still holds every region of the layout.
constexpr int kMinNodes = 24;

} // namespace

Layout MakeLayout(int64_t chains, uint64_t seed)
{
    Layout L;
    // A grid of nx * ny nodes has about 2 * nx * ny chains, less about a
    // tenth under the lake or merged away; a little wider than high.
    double n = std::max<double>(static_cast<double>(chains), 1.0) / 2.0 * 1.1;
    L.nx = std::max(kMinNodes, static_cast<int>(std::lround(std::sqrt(n * 1.25))));
    L.ny = std::max(kMinNodes, static_cast<int>(std::lround(n / L.nx)));
    L.W = L.nx - 1;
    L.H = L.ny - 1;
    const int W = L.W, H = L.H;

    L.dx = static_cast<int32_t>(Pick(Hash(seed, 1), 1900, 2200));
    L.dy = static_cast<int32_t>(Pick(Hash(seed, 2), 1400, 1600));
    // Somewhere in the contiguous United States, the whole county on land
    // between about 30.5 and 45.5 degrees north, 118 and 78 degrees west.
    int64_t width = static_cast<int64_t>(W) * L.dx, height = static_cast<int64_t>(H) * L.dy;
    int64_t lonLo = -118000000, lonHi = std::max<int64_t>(lonLo, -78000000 - width);
    int64_t latLo = 30500000, latHi = std::max<int64_t>(latLo, 45500000 - height);
    L.x0 = static_cast<int32_t>(Pick(Hash(seed, 3), lonLo, lonHi));
    L.y0 = static_cast<int32_t>(Pick(Hash(seed, 4), latLo, latHi));

    L.b1 = Frac(0.3, W);
    L.lake = {Frac(0.5, W), Frac(0.8, W), Frac(0.5, H), Frac(0.8, H)};
    L.splitCol = L.lake.i0 + std::max(3, (L.lake.i1 - L.lake.i0) / 2);
    L.b2 = L.splitCol;
    L.islandI = L.lake.i0 + 1;
    L.islandJ = L.lake.j0 + 1;
    L.park = {Frac(0.08, W), Frac(0.25, W), Frac(0.62, H), Frac(0.8, H)};
    L.pondI = L.park.i0 + 1;
    L.pondJ = L.park.j0 + 1;
    L.ai = {0, Frac(0.2, W), Frac(0.84, H), H};
    L.trustCol = Frac(0.08, W);
    L.placeA = {Frac(0.04, W), Frac(0.42, W), Frac(0.04, H), Frac(0.45, H)};
    L.enclave = {Frac(0.18, W), std::max(Frac(0.26, W), Frac(0.18, W) + 1), Frac(0.18, H),
                 std::max(Frac(0.26, H), Frac(0.18, H) + 1)};
    L.splitI = L.placeA.i1;
    L.splitJ0 = Frac(0.1, H);
    L.splitJ1 = Frac(0.3, H);
    L.placeB1 = {Frac(0.55, W), Frac(0.68, W), Frac(0.08, H), Frac(0.3, H)};
    L.placeB2 = {Frac(0.8, W), Frac(0.95, W), Frac(0.08, H), Frac(0.3, H)};
    L.placeC = {Frac(0.45, W), W, Frac(0.45, H), H};
    L.ccity = {0, Frac(0.5, W), 0, Frac(0.5, H)};
    L.rail = L.b1;
    L.interstateRow = Frac(0.4, H);
    L.highwayCol = Frac(0.9, W);
    L.streamRow = L.lake.j0 + 1;
    L.airport = {L.lake.i1 + 1, std::min(W, L.lake.i1 + 4), L.lake.j0, L.lake.j0 + 2};
    int cj = Frac(0.86, H);
    L.cemetery = {L.b1 + 2, L.b1 + 4, cj, std::min(H, cj + 2)};
    L.mall = {Frac(0.7, W), Frac(0.7, W) + 1, Frac(0.35, H), Frac(0.35, H) + 1};
    L.school = {L.b1 + 2, L.b1 + 4, Frac(0.2, H), Frac(0.2, H) + 1};
    L.hospital = {Frac(0.6, W), Frac(0.6, W) + 1, Frac(0.42, H), Frac(0.42, H) + 1};
    L.provisional = {Frac(0.85, W), W, 0, Frac(0.4, H)};
    L.hyphenated = {L.lake.i0, W, L.lake.j1, H};
    return L;
}

Codes MakeCodes(uint64_t seed)
{
    Codes k;
    auto pick = [&](int salt, int64_t lo, int64_t hi) { return Pick(Hash(seed, 100 + salt), lo, hi); };
    k.mcd[0] = Digits(pick(1, 1000, 9999), 5); // leading zero
    k.mcd[1] = Digits(pick(2, 20000, 49999), 5);
    k.mcd[2] = Digits(pick(3, 50000, 79999), 5);
    k.mcd90East = Digits(pick(4, 80000, 99999), 5);
    k.fsmcd[0] = "00100";
    k.fsmcd[1] = "00200";
    k.placeA = Digits(pick(5, 10000, 29999), 5);
    k.placeB = Digits(pick(6, 30000, 59999), 5);
    k.placeC = Digits(pick(7, 60000, 89999), 5);
    k.ccity = Digits(pick(8, 90000, 99999), 5);
    int64_t cmsa = pick(9, 1000, 8999);
    k.cmsa = Digits(cmsa, 4);
    k.pmsaWest = Digits(cmsa + 2, 4);
    k.pmsaEast = Digits(cmsa + 4, 4);
    k.fair = Digits(pick(10, 10000, 99999), 5);
    k.air = Digits(pick(11, 1000, 9999), 4);
    k.anrc = "07";
    k.zip3[0] = Digits(pick(12, 10, 99), 3); // leading zero
    k.zip3[1] = Digits(pick(13, 300, 699), 3);
    k.zip3[2] = Digits(pick(14, 700, 989), 3);
    int64_t sd = pick(15, 10000, 89990);
    k.sdelm[0] = Digits(sd, 5);
    k.sdelm[1] = Digits(sd + 1, 5);
    k.sdsec = Digits(sd + 5, 5);
    k.sduni = Digits(sd + 9, 5);
    k.ua = Digits(pick(16, 1000, 9999), 4);
    k.anrcFips = Digits(pick(17, 10000, 99999), 5);
    k.placeNew = Digits(pick(18, 100, 9999), 5); // leading zero
    k.msaNew = Digits(cmsa + 6, 4);
    int64_t cbsa = pick(19, 10000, 49999);
    k.cbsa = Digits(cbsa, 5);
    k.cbsaMicro = Digits(cbsa + 50000, 5);
    k.metdivWest = Digits(cbsa + 4, 5);
    k.metdivEast = Digits(cbsa + 8, 5);
    k.csa = Digits(pick(20, 100, 599), 3);
    return k;
}

namespace {

// RTS: the Census 2000 entities.
void EntityCodes(const Layout& L, const Codes& k, int i, int j, int part, AreaAttr& a)
{
    const int W = L.W, H = L.H;
    int band = i < L.b1 ? 0 : (i < L.b2 ? 1 : 2);
    a.cmsa = k.cmsa;
    a.pmsa = i < Frac(0.6, W) ? k.pmsaWest : k.pmsaEast;
    if (L.ai.Has(i, j)) {
        a.fair = k.fair;
        a.air = k.air;
        a.trust = i < L.trustCol ? "T" : "R";
        a.anrc = k.anrc;
        a.anrcFips = k.anrcFips;
    }
    if (L.ccity.Has(i, j)) a.fccity = k.ccity;
    a.fmcd = k.mcd[band];
    if (band == 0) a.fsmcd = j < Frac(0.3, H) ? k.fsmcd[0] : k.fsmcd[1];
    bool inA = L.placeA.Has(i, j) && !L.enclave.Has(i, j);
    if (L.IsSplitCell(i, j) && part == kSplitNW) inA = true;
    if (inA) a.fpl = k.placeA;
    else if (L.placeB1.Has(i, j) || L.placeB2.Has(i, j)) a.fpl = k.placeB;
    else if (L.placeC.Has(i, j)) a.fpl = k.placeC;
}

// RTS: tracts, blocks, districts and ZIP codes.
void TabulationCodes(const Layout& L, const Codes& k, int i, int j, bool water, AreaAttr& a)
{
    const int W = L.W, H = L.H;
    int band = i < L.b1 ? 0 : (i < L.b2 ? 1 : 2);
    // Tracts of 10 x 10 cells; the first one is split in two.
    int ntx = (W + 9) / 10;
    int tile = (j / 10) * ntx + i / 10;
    std::string suffix = "00";
    if (tile == 0) suffix = (j % 10) < 5 ? "01" : "02";
    a.tract = Digits(101 + tile, 4) + suffix;
    int bg = ((j % 10) / 5) * 2 + (i % 10) / 5 + 1;
    a.block = std::to_string(bg); // first digit; completed per polygon
    a.cdcu = (i + j) * 2 < W + H ? "01" : "02";
    a.sldu = i * 2 < W ? "011" : "012";
    a.sldl = j * 2 < H ? "021" : "022";
    int nvx = (W + 11) / 12;
    a.vtd = Digits(1 + (j / 12) * nvx + i / 12, 6);
    a.zip = k.zip3[band] + Digits(10 + (j * 4) / std::max(1, H), 2);
    if (water) a.zcta = k.zip3[band] + "HH";
    else if (L.park.Has(i, j) || L.cemetery.Has(i, j)) a.zcta = k.zip3[band] + "XX";
    else a.zcta = a.zip;
}

// RTA: 1990 geography.
void Codes1990(const Layout& L, const Codes& k, int i, int j, AreaAttr& a)
{
    const int W = L.W;
    int band = i < L.b1 ? 0 : (i < L.b2 ? 1 : 2);
    if (L.ai.Has(i, j) && i < Frac(0.15, W)) {
        a.fair90 = k.fair;
        a.air90 = k.air;
    }
    a.fmcd90 = band == 2 ? k.mcd90East : k.mcd[band];
    if (L.placeA.Has(i, j) && !L.enclave.Has(i, j) && i < L.splitI - 2) a.fpl90 = k.placeA;
    else if (L.placeB1.Has(i, j)) a.fpl90 = k.placeB;
    int ntx90 = (W + 19) / 20;
    a.tract90 = Digits(201 + (j / 20) * ntx90 + i / 20, 4) + "00";
    a.blk90 = std::to_string(((j % 20) / 10) * 2 + (i % 20) / 10 + 1); // first digit; completed per polygon
}

// RTA: congressional and school districts, traffic zones, urban areas.
void DistrictCodes(const Layout& L, const Codes& k, int i, int j, AreaAttr& a)
{
    const int W = L.W, H = L.H;
    a.cd106 = j * 2 < H ? "01" : "02";
    a.cd108 = i < Frac(0.4, W) ? "03" : "04";
    if (i * 2 < W) {
        a.sdelm = j * 2 < H ? k.sdelm[0] : k.sdelm[1];
        a.sdsec = k.sdsec;
    } else {
        a.sduni = k.sduni;
    }
    int ntaz = (W + 5) / 6;
    a.taz = std::to_string(1000 + (j / 6) * ntaz + i / 6);
    bool rural = L.ai.Has(i, j) || L.park.Has(i, j);
    a.ua = rural ? "" : k.ua;
    a.urbflag = rural ? "R" : "U";
    int nctpp = (W + 14) / 15;
    a.ctpp = Digits(1 + (j / 15) * nctpp + i / 15, 4);
}

} // namespace

AreaAttr ZoneAttributes(const Layout& L, const Codes& k, int i, int j, int part, bool water, char waterFlag)
{
    AreaAttr a;
    a.water = std::string(1, water ? waterFlag : '0');
    EntityCodes(L, k, i, j, part, a);
    TabulationCodes(L, k, i, j, water, a);
    Codes1990(L, k, i, j, a);
    DistrictCodes(L, k, i, j, a);
    return a;
}

namespace {

// Current entities: a corner of the county went to the neighbour, the
// reservation and the consolidated city grew by a row or column, a town
// line, a sub-MCD line and the elementary school line moved, place A
// annexed a few cells that had no place and a new place took the west end
// of place B.
void CurrentEntities(const Layout& L, const Codes& k, int i, int j, const AreaAttr& a, CurrentAttr& u)
{
    const int W = L.W, H = L.H;
    bool ai = L.ai.Has(i, j) || (j == L.ai.j0 - 1 && i < L.ai.i1);
    if (ai) {
        u.fair = k.fair;
        u.air = k.air;
        u.trust = i <= L.trustCol ? "T" : "R";
        u.anrc = k.anrcFips;
    }
    u.ccity = L.ccity.Has(i, j) || (i == L.ccity.i1 && j < L.ccity.j1) ? k.ccity : "";
    bool town0 = i < L.b1 || (i == L.b1 && j < Frac(0.5, H));
    u.fmcd = town0 ? k.mcd[0] : a.fmcd;
    if (town0) u.fsmcd = j <= Frac(0.3, H) ? k.fsmcd[0] : k.fsmcd[1];
    u.fpl = a.fpl;
    if (j == L.placeA.j1 && i >= L.placeA.i0 && i < L.placeA.i0 + 3) u.fpl = k.placeA;
    if (L.placeB1.Has(i, j) && i == L.placeB1.i0) u.fpl = k.placeNew;
    if (i * 2 < W + 2) {
        u.sdelm = j * 2 < H + 2 ? k.sdelm[0] : k.sdelm[1];
        u.sdsec = k.sdsec;
    } else {
        u.sduni = k.sduni;
    }
}

// Current districts and statistical areas: the north-east corner is a new
// MSA (a micropolitan area among the CBSAs), the PMSA, congressional and
// legislative lines moved by a cell.
void CurrentDistricts(const Layout& L, const Codes& k, int i, int j, CurrentAttr& u)
{
    const int W = L.W, H = L.H;
    bool corner = i >= Frac(0.9, W) && j >= Frac(0.9, H);
    bool west = i < Frac(0.6, W) + 1;
    u.msa = corner ? k.msaNew : k.cmsa;
    u.pmsa = corner ? "" : (west ? k.pmsaWest : k.pmsaEast);
    u.cbsa = corner ? k.cbsaMicro : k.cbsa;
    u.csa = k.csa;
    u.metdiv = corner ? "" : (west ? k.metdivWest : k.metdivEast);
    u.cd = (i + j) * 2 < W + H + 2 ? "01" : "02";
    u.sldu = i * 2 < W + 2 ? "011" : "012";
    u.sldl = j * 2 < H + 2 ? "021" : "022";
}

} // namespace

CurrentAttr CurrentAttributes(const Layout& L, const Codes& k, int i, int j, const AreaAttr& a,
                              const std::string& county, const std::string& neighbour)
{
    CurrentAttr u;
    u.county = i == L.W - 1 && j < std::max(3, Frac(0.1, L.H)) ? neighbour : county;
    CurrentEntities(L, k, i, j, a, u);
    CurrentDistricts(L, k, i, j, u);
    return u;
}

int LandmarkTag(const Layout& L, int i, int j)
{
    if (L.park.Has(i, j)) return 1;
    if (L.cemetery.Has(i, j)) return 2;
    if (L.airport.Has(i, j)) return 3;
    if (L.mall.Has(i, j)) return 4;
    if (L.school.Has(i, j)) return 5;
    if (L.hospital.Has(i, j)) return 6;
    return 0;
}

} // namespace mkcounty
