// The county builder: one object that makes the county in steps, each
// step's code in a file of its own: build.cpp (the steps in order, street
// names), network.cpp and roles.cpp (nodes and chains), faces.cpp (the
// polygons of the network and their internal points), areas.cpp (area attributes, identifiers and
// addresses), features.cpp (alternate names, landmarks, entity names),
// accents.cpp (names respelled with accented letters).
#pragma once

#include "layout.h"
#include "model.h"
#include "rng.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mkcounty {

// "Oak", "Maple Park", ...: the i-th word of the generator's word list.
std::string Word(int i);
int WordCount();
const char* CountyName(uint64_t n);

// What a grid edge becomes.
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

// A grid edge and the cells on its two sides: left is north of a row edge,
// west of a column edge.
struct Edge {
    bool vertical = false;
    int i = 0, j = 0;
    int li = 0, lj = 0, ri = 0, rj = 0;
    bool lv = false, rv = false; // the side's cell lies in the county
    uint64_t h = 0;
    int curve = 0;               // 0-99: how likely the edge is to curve
};

// Outgoing half-edges of every node in counter-clockwise order; half-edge
// 2k runs along chain k, 2k + 1 against it.
struct HalfEdgeOrder {
    std::vector<int> start, out, pos;
    const std::vector<Chain>* chains = nullptr;
    // The half-edge that follows `he` around the face on its left.
    int Next(int he) const;
};

class Builder {
public:
    explicit Builder(const Params& p);
    County Build();

private:
    uint64_t seed_;
    int curvedStreets_ = 0;
    bool accentedNames_ = false;
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

    // A boundary cycle of half-edges found by walking the faces.
    struct Cycle {
        int64_t area2 = 0; // twice the signed area, relative coordinates
        int first = 0;
        int rep = -1;
        int32_t minx = INT32_MAX, miny = INT32_MAX, maxx = INT32_MIN, maxy = INT32_MIN;
    };

    // --- names (build.cpp) ----------------------------------------------------
    int Name(const NameParts& n);
    int RowName(int i, int j);
    int ColumnName(int i, int j);

    // --- geometry (network.cpp) -----------------------------------------------
    int GridNode(int i, int j) const { return j * L_.nx + i; }
    Point GridPoint(int i, int j) const { return c_.nodes[GridNode(i, j)]; }
    int NewNode(Point p);
    Point CellCentre(int i, int j) const;
    void MakeGridNodes();
    static void Untangle(std::vector<Point>& v);
    std::vector<Point> Curve(Point p, Point q, int n, uint64_t h) const;
    size_t AddChain(int from, int to, std::vector<Point> shapes, const char* cfcc, int nameId, int zoneL, int zoneR,
                    char source = 'A');
    void MaybeReverse(size_t idx);

    // --- the grid (network.cpp, roles.cpp) -------------------------------------
    bool CellValid(int i, int j) const { return i >= 0 && j >= 0 && i < L_.W && j < L_.H; }
    bool Plain(int i, int j) const;
    bool SameArea(int i1, int j1, int i2, int j2) const;
    Edge MakeEdge(bool vertical, int i, int j) const;
    Role EdgeRole(bool vertical, int i, int j);
    bool LakeRole(const Edge& e, Role& r);
    bool BorderRole(const Edge& e, Role& r);
    bool LineRole(const Edge& e, Role& r);
    bool RunRole(const Edge& e, Role& r);
    bool ClassRunRole(const Edge& e, Role& r);
    void StreetRole(const Edge& e, Role& r);
    void AddGridChain(bool vertical, int i, int j);
    void MakeGridChains();
    void MakeDiagonals();
    void AddLoop(int i, int j, const char* cfcc, int nameId, int points);
    void MakeLoops();
    void AddSpur(int i, int j, const char* cfcc, int nameId, bool twoChains, char source = 'A');
    void MakeSpurs();

    // --- faces (faces.cpp) ------------------------------------------------------
    Point Origin(int he) const;
    Point Toward(int he) const;
    template <typename F> void ForEachSegment(int he, F f) const;
    int LeftZone(int he) const
    {
        const Chain& ch = c_.chains[he / 2];
        return (he & 1) ? ch.zoneR : ch.zoneL;
    }
    HalfEdgeOrder OrderHalfEdges() const;
    std::vector<Cycle> WalkCycles(const HalfEdgeOrder& order);
    void PlaceHoles(const std::vector<Cycle>& cycles, const std::vector<int>& faces, int outer,
                    const HalfEdgeOrder& order);
    void FindFaces();
    bool Contains(int first, Point p, const HalfEdgeOrder& order) const;
    std::vector<Point> InsideCandidates(int zone) const;
    void PlaceInternalPoints(const std::vector<Cycle>& cycles, const std::vector<int>& faces,
                             const HalfEdgeOrder& order);

    // --- attributes, identifiers, addresses (areas.cpp) ---------------------------
    void AssignAttributes();
    void AssignIdentifiers();
    void MakeAddresses();

    // --- alternate names, landmarks, entity names (features.cpp) ------------------
    struct AltIds {
        int stevenson, route66, interstate, adlai, lincoln, state1, mainSt, oldMill, cnw, dixie;
    };
    int AltName(const NameParts& n);
    AltIds MakeAltNameList();
    void MakeAltNames();
    std::vector<int32_t> PolygonsIn(const Rect& r, bool land) const;
    Point InsideCell(int i, int j, uint64_t h) const;
    void MakeLandmarks();
    void MakeKeyLocations();
    Entity NewEntity(char type, std::string name) const;
    void AddPlaceEntities();
    void AddDistrictEntities();
    void AddCurrentEntities();
    void MakeEntities();

    // --- accented names (accents.cpp) ----------------------------------------------
    void AccentNames();
};

} // namespace mkcounty
