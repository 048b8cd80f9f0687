// Where things lie in a synthetic county. The county is a jittered grid of
// nodes; a cell is the quadrilateral between four neighbouring nodes. Every
// region (lake, park, places, ...) is a rectangle of cells, placed at fixed
// fractions of the grid so that every county has all of them.
#pragma once

#include "model.h"

#include <string>

namespace mkcounty {

struct Rect {
    int i0 = 0, i1 = 0, j0 = 0, j1 = 0; // cells i0..i1-1, j0..j1-1
    bool Has(int i, int j) const { return i >= i0 && i < i1 && j >= j0 && j < j1; }
};

// Construction zone of a polygon side: a cell and which part of it.
enum ZonePart {
    kWhole = 0,     // the cell (or what is left of it around a loop)
    kLoopInside = 1, // inside the island or pond loop of the cell
    kSplitNW = 2,   // north-west triangle of a cell split by a diagonal
    kSplitSE = 3,   // south-east triangle
};

struct Layout {
    int nx = 0, ny = 0; // nodes
    int W = 0, H = 0;   // cells
    int32_t x0 = 0, y0 = 0, dx = 0, dy = 0; // origin and spacing, micro-degrees

    int b1 = 0, b2 = 0; // county subdivision boundaries (grid columns)
    Rect lake;
    int splitCol = 0;   // nonvisible line across the lake (= b2)
    int islandI = 0, islandJ = 0;
    Rect park;
    int pondI = 0, pondJ = 0;
    Rect ai;
    int trustCol = 0;
    Rect placeA, enclave, placeB1, placeB2, placeC, ccity;
    int splitI = 0, splitJ0 = 0, splitJ1 = 0; // cells split by a diagonal boundary
    int rail = 0, interstateRow = 0, highwayCol = 0, streamRow = 0;
    Rect airport, cemetery, mall, school, hospital;
    Rect provisional, hyphenated;

    int Zone(int i, int j, int part) const { return (j * W + i) * 4 + part; }
    int ZoneI(int zone) const { return (zone / 4) % W; }
    int ZoneJ(int zone) const { return (zone / 4) / W; }
    int ZonePart(int zone) const { return zone % 4; }
    bool IsSplitCell(int i, int j) const { return i == splitI && j >= splitJ0 && j < splitJ1; }
    bool IsLoopCell(int i, int j) const { return (i == islandI && j == islandJ) || (i == pondI && j == pondJ); }
};

Layout MakeLayout(int64_t chains, uint64_t seed);

// Codes the county uses, drawn from the seed.
struct Codes {
    std::string mcd[3], mcd90East, fsmcd[2];
    std::string placeA, placeB, placeC, ccity;
    std::string cmsa, pmsaWest, pmsaEast;
    std::string fair, air, anrc;
    std::string zip3[3];
    std::string sdelm[2], sdsec, sduni;
    std::string ua;
    // Codes of the later releases.
    std::string anrcFips;           // the ANRC's 5-digit code
    std::string placeNew, msaNew;   // a place and an MSA made since 2000
    std::string cbsa, cbsaMicro, csa, metdivWest, metdivEast;
};

Codes MakeCodes(uint64_t seed);

// Attributes of the part of a cell, blocks excepted (they are numbered per
// polygon afterwards).
AreaAttr ZoneAttributes(const Layout& L, const Codes& k, int i, int j, int part, bool water, char waterFlag);

// The current codes of the part of a cell whose Census 2000 codes are `a`.
// `county` and `neighbour` are the state and county codes of the county
// and of its neighbour, to which a corner of the county now belongs.
CurrentAttr CurrentAttributes(const Layout& L, const Codes& k, int i, int j, const AreaAttr& a,
                              const std::string& county, const std::string& neighbour);

// Landmark region a cell belongs to (0 none), so that merged polygons never
// straddle a landmark's edge.
int LandmarkTag(const Layout& L, int i, int j);

} // namespace mkcounty
