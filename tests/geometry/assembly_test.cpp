#include "geometry/assembly.h"

#include "tiger/county.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>

namespace zalor {
namespace {

// The polygons on both sides of every chain of a chain table, as the area
// layers hand them to SelectBoundaryChains.
template <class Chains>
std::vector<PolygonSides> SidesOf(const Chains& chains)
{
    std::vector<PolygonSides> sides(static_cast<std::size_t>(chains.ChainCount()));
    for (std::size_t i = 0; i < sides.size(); ++i) {
        const ChainShape c = chains.ChainAt(static_cast<int32_t>(i + 1));
        sides[i] = {c.leftPolygon, c.rightPolygon};
    }
    return sides;
}

using Points = std::vector<GeoPoint>;

GeoPoint P(int32_t x, int32_t y) { return GeoPoint{x, y}; }

struct Table {
    ChainTable t;
    int32_t Add(GeoPoint from, GeoPoint to, const Points& shapes = {}, int32_t left = 0, int32_t right = 0)
    {
        ChainRecord& c = t.Append();
        c.TLID = t.count();
        c.from = from;
        c.to = to;
        c.polyLeft = left;
        c.polyRight = right;
        t.SetShapes(c, shapes);
        return t.count();
    }
};

std::vector<int32_t> Range(int32_t first, int32_t last)
{
    std::vector<int32_t> v;
    for (int32_t i = first; i <= last; ++i) v.push_back(i);
    return v;
}

double SignedArea(const Ring& r)
{
    double s = 0;
    for (std::size_t k = 0; k < r.size(); ++k) {
        GeoPoint a = r[k], b = r[(k + 1) % r.size()];
        s += double(a.x) * b.y - double(b.x) * a.y;
    }
    return s / 2;
}

// Ring points as a readable text, for comparisons.
std::string Text(const Ring& r)
{
    std::string s;
    for (GeoPoint p : r) s += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return s;
}

// --- node table ------------------------------------------------------------

TEST(NodeTable, SerialNumbersInCreationOrderByExactCoordinates)
{
    TNodeMgr nodes;
    EXPECT_EQ(nodes.FindOrAddNode(P(5, 5)), 1);
    EXPECT_EQ(nodes.FindOrAddNode(P(-3, 7)), 2);
    EXPECT_EQ(nodes.FindOrAddNode(P(5, 6)), 3);
    EXPECT_EQ(nodes.FindOrAddNode(P(5, 5)), 1);
    EXPECT_EQ(nodes.FindOrAddNode(P(6, 5)), 4);
    // (0, 0) is a node like any other.
    EXPECT_EQ(nodes.FindOrAddNode(P(0, 0)), 5);
    EXPECT_EQ(nodes.FindOrAddNode(P(0, 0)), 5);
    EXPECT_EQ(nodes.FindOrAddNode(P(INT32_MIN, INT32_MAX)), 6);
    EXPECT_EQ(nodes.FindNode(P(-3, 7)), 2);
    EXPECT_EQ(nodes.FindNode(P(7, -3)), 0);
    ASSERT_EQ(nodes.NodeCount(), 6);
    EXPECT_EQ(nodes.NodeAt(1).pt, P(-3, 7));
    EXPECT_EQ(nodes.NodeAt(1).serial, 2);
    EXPECT_EQ(nodes.NodeAt(0).uses, 1u);
    EXPECT_EQ(nodes.NodeAt(4).uses, 1u);
    EXPECT_EQ(nodes.NodeAt(2).uses, 0u);
}

TEST(NodeTable, ReferencesKeepOrderWithoutALimitAndCloseUpWhenUsed)
{
    TNodeMgr nodes;
    int32_t hub = nodes.FindOrAddNode(P(0, 0));
    std::vector<int32_t> expected;
    for (int32_t i = 1; i <= 40; ++i) {
        int32_t other = nodes.FindOrAddNode(P(i, 1));
        int32_t e = (i % 2) ? nodes.AddEdge(i, hub, other) : nodes.AddEdge(i, other, hub);
        expected.push_back((i % 2) ? e : -e);
    }
    EXPECT_EQ(nodes.References(hub), expected);
    EXPECT_EQ(nodes.References(nodes.FindNode(P(2, 1))), (std::vector<int32_t>{2}));

    // A chain from a node back to itself leaves a single reference.
    int32_t loop = nodes.AddEdge(41, hub, hub);
    expected.push_back(loop);
    EXPECT_EQ(nodes.References(hub), expected);

    nodes.UseEdge(1);
    nodes.UseEdge(3);
    nodes.UseEdge(20);
    EXPECT_EQ(nodes.FirstReference(hub), -2);
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](int32_t r) { return r == 1 || r == 3 || r == -20; }),
                   expected.end());
    EXPECT_EQ(nodes.References(hub), expected);
    EXPECT_TRUE(nodes.References(nodes.FindNode(P(1, 1))).empty());
    for (int32_t e = 1; e <= nodes.EdgeCount(); ++e) nodes.UseEdge(e);
    EXPECT_EQ(nodes.FirstReference(hub), 0);
    EXPECT_TRUE(nodes.References(hub).empty());
}

TEST(NodeTable, LookupStaysFastWithSortedKeys)
{
    // Sorted keys arrive when the chains are in spatial order; a plain
    // search tree would degrade into a list here (hours for a million
    // nodes). A release build takes about 0.1 s for each loop.
    constexpr int32_t kSide = 1000;
    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    TNodeMgr nodes;
    for (int32_t x = 0; x < kSide; ++x)
        for (int32_t y = 0; y < kSide; ++y) nodes.FindOrAddNode(P(-87000000 + x, 41000000 + y));
    auto t1 = Clock::now();
    int64_t sum = 0;
    for (int32_t x = 0; x < kSide; ++x)
        for (int32_t y = 0; y < kSide; ++y) sum += nodes.FindOrAddNode(P(-87000000 + x, 41000000 + y));
    auto t2 = Clock::now();
    ASSERT_EQ(nodes.NodeCount(), kSide * kSide);
    EXPECT_EQ(sum, int64_t{kSide} * kSide * (int64_t{kSide} * kSide + 1) / 2);
    EXPECT_EQ(nodes.NodeAt(kSide * kSide - 1).pt, P(-87000000 + kSide - 1, 41000000 + kSide - 1));
    double insert = std::chrono::duration<double>(t1 - t0).count();
    double lookup = std::chrono::duration<double>(t2 - t1).count();
    // Generous bounds: the suite also runs instrumented on a busy machine.
    EXPECT_LT(insert, 5.0);
    EXPECT_LT(lookup, 5.0);
    RecordProperty("insert_seconds", std::to_string(insert));
    RecordProperty("lookup_seconds", std::to_string(lookup));
}

// --- boundary selection ------------------------------------------------------

TEST(SelectBoundaryChains, DissolvesSameKeyNeighboursAndSkipsInnerChains)
{
    Table t;
    // Polygons 1 and 2 side by side share key 7; polygon 3 (key 8) above
    // polygon 2; polygon 9 is not in the map (outside every feature).
    t.Add(P(0, 0), P(10, 0), {}, 1, 9);   // 1: 7 | none
    t.Add(P(10, 0), P(10, 10), {}, 2, 1); // 2: between 1 and 2: dissolved
    t.Add(P(10, 10), P(20, 10), {}, 3, 2); // 3: 8 | 7
    t.Add(P(5, 5), P(6, 6), {}, 1, 1);    // 4: inside polygon 1
    t.Add(P(30, 0), P(31, 0), {}, 9, 0);  // 5: no feature either side
    t.Add(P(0, 10), P(0, 0), {}, 9, 1);   // 6: none | 7
    TIList map;
    map.FindOrInsert(1, 7);
    map.FindOrInsert(2, 7);
    map.FindOrInsert(3, 8);
    TBList groups;
    SelectBoundaryChains(SidesOf(t.t), map, groups);
    ASSERT_EQ(groups.Count(), 2u);
    EXPECT_EQ(groups.At(0).key, 7);
    EXPECT_EQ(groups.At(0).chains.Values(), (std::vector<int32_t>{1, 3, 6}));
    EXPECT_EQ(groups.At(1).key, 8);
    EXPECT_EQ(groups.At(1).chains.Values(), (std::vector<int32_t>{3}));
}

// --- ring building -----------------------------------------------------------

TEST(BuildRings, SingleClosedChainGivesOneRing)
{
    Table t;
    t.Add(P(0, 0), P(0, 0), {P(0, 10), P(10, 10), P(10, 0)});
    std::vector<int32_t> list{1};
    auto rings = BuildRings(t.t, list);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(Text(rings[0]), "(0,0)(0,10)(10,10)(10,0)(0,0)");

    AssembledArea a = AssembleArea(t.t, list);
    EXPECT_EQ(a.ringsClosed, 1);
    EXPECT_EQ(Text(a.rings[0]), "(0,0)(0,10)(10,10)(10,0)(0,0)"); // clockwise already
    EXPECT_EQ(a.centroid, P(5, 5));
    EXPECT_EQ(a.box.minX, 0);
    EXPECT_EQ(a.box.maxY, 10);
    EXPECT_EQ(a.box.maxX, 10);
    EXPECT_EQ(a.box.minY, 0);
}

TEST(BuildRings, NoChainsNoRing)
{
    Table t;
    AssembledArea a = AssembleArea(t.t, {});
    EXPECT_EQ(a.ringsClosed, 0);
    EXPECT_TRUE(a.rings.empty());
    EXPECT_TRUE(a.box.Empty());
    EXPECT_EQ(a.box.minX, 2147483647);
    EXPECT_EQ(a.box.maxY, -2147483647);
    EXPECT_EQ(a.centroid, P(0, 0));
}

TEST(BuildRings, SameKeyNeighboursGiveOneRingAroundBoth)
{
    Table t;
    t.Add(P(0, 0), P(10, 0), {}, 1, 0);
    t.Add(P(10, 0), P(20, 0), {}, 2, 0);
    t.Add(P(20, 0), P(20, 10), {}, 2, 0);
    t.Add(P(20, 10), P(10, 10), {}, 2, 0);
    t.Add(P(10, 10), P(0, 10), {}, 1, 0);
    t.Add(P(0, 10), P(0, 0), {}, 1, 0);
    t.Add(P(10, 0), P(10, 10), {}, 2, 1); // between the two: dissolved
    TIList map;
    map.FindOrInsert(1, 7);
    map.FindOrInsert(2, 7);
    TBList groups;
    SelectBoundaryChains(SidesOf(t.t), map, groups);
    ASSERT_EQ(groups.Count(), 1u);
    const auto& chains = groups.At(0).chains.Values();
    EXPECT_EQ(chains, Range(1, 6));

    auto rings = BuildRings(t.t, chains);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(Text(rings[0]), "(0,0)(10,0)(20,0)(20,10)(10,10)(0,10)(0,0)");
    // Counter-clockwise as walked: turned round, starting at the same point.
    AssembledArea a = AssembleArea(t.t, chains);
    ASSERT_EQ(a.ringsClosed, 1);
    EXPECT_EQ(Text(a.rings[0]), "(0,0)(0,10)(10,10)(20,10)(20,0)(10,0)(0,0)");
    EXPECT_EQ(a.centroid, P(10, 5));
}

TEST(BuildRings, ExcludedLakeBecomesAHole)
{
    Table t;
    const int32_t M = 1000000;
    // Land polygon 1 (key 100) around lake polygon 2, which the layer left
    // out of its map; polygon 3 (key 200) outside. Both rings are walked
    // clockwise.
    t.Add(P(0, 0), P(0, M), {}, 3, 1);
    t.Add(P(0, M), P(M, M), {}, 3, 1);
    t.Add(P(M, M), P(M, 0), {}, 3, 1);
    t.Add(P(M, 0), P(0, 0), {}, 3, 1);
    t.Add(P(M / 10, M / 10), P(M / 10, M / 10), {P(M / 10, 3 * M / 10), P(3 * M / 10, 3 * M / 10), P(3 * M / 10, M / 10)},
          1, 2);
    TIList map;
    map.FindOrInsert(1, 100);
    map.FindOrInsert(3, 200);
    TBList groups;
    SelectBoundaryChains(SidesOf(t.t), map, groups);
    ASSERT_EQ(groups.Count(), 2u);
    EXPECT_EQ(groups.At(0).chains.Values(), Range(1, 5));
    EXPECT_EQ(groups.At(1).chains.Values(), Range(1, 4));

    AssembledArea land = AssembleArea(t.t, groups.At(0).chains.Values());
    ASSERT_EQ(land.ringsClosed, 2);
    EXPECT_EQ(Text(land.rings[0]), "(0,0)(0,1000000)(1000000,1000000)(1000000,0)(0,0)");
    // The hole runs counter-clockwise, from the same start point.
    EXPECT_EQ(Text(land.rings[1]), "(100000,100000)(300000,100000)(300000,300000)(100000,300000)(100000,100000)");
    EXPECT_LT(SignedArea(land.rings[0]), 0);
    EXPECT_GT(SignedArea(land.rings[1]), 0);
    // The hole is taken away: (M^2 * M/2 - (M/5)^2 * M/5) / (M^2 - (M/5)^2).
    EXPECT_EQ(land.centroid, P(512500, 512500));

    AssembledArea outside = AssembleArea(t.t, groups.At(1).chains.Values());
    EXPECT_EQ(outside.ringsClosed, 1);
}

TEST(BuildRings, BrokenBoundaryIsWalkedToBothDeadEnds)
{
    Table t;
    // A-B-C-D without the chain from D back to A; the list starts in the middle.
    t.Add(P(10, 0), P(10, 10), {P(12, 5)}); // B-C
    t.Add(P(10, 10), P(0, 10));             // C-D
    t.Add(P(0, 0), P(10, 0), {P(5, -1)});   // A-B
    auto rings = BuildRings(t.t, Range(1, 3));
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(Text(rings[0]), "(0,10)(10,10)(12,5)(10,0)(5,-1)(0,0)");
    AssembledArea a = AssembleArea(t.t, Range(1, 3));
    ASSERT_EQ(a.ringsClosed, 1);
    EXPECT_EQ(a.rings[0], rings[0]); // clockwise already
}

TEST(BuildRings, IslandListedLastIsStillProduced)
{
    Table t;
    t.Add(P(0, 0), P(0, 10));
    t.Add(P(0, 10), P(10, 10));
    t.Add(P(10, 10), P(0, 0));
    t.Add(P(50, 50), P(50, 50), {P(50, 60), P(60, 60)}); // the island, last
    AssembledArea a = AssembleArea(t.t, Range(1, 4));
    ASSERT_EQ(a.ringsClosed, 2);
    EXPECT_EQ(Text(a.rings[0]), "(0,0)(0,10)(10,10)(0,0)");
    EXPECT_EQ(Text(a.rings[1]), "(50,50)(50,60)(60,60)(50,50)");
}

TEST(BuildRings, RingsTouchingAtANodeAreWalkedThroughIt)
{
    Table t;
    // Two triangles that meet at N = (0, 0). Arriving at N from Q, the free
    // chain ends there are 3 (to R), -5 and 6; the earliest one is taken.
    t.Add(P(-10, 10), P(-10, -10)); // 1: P-Q
    t.Add(P(-10, -10), P(0, 0));    // 2: Q-N
    t.Add(P(0, 0), P(10, 10));      // 3: N-R
    t.Add(P(10, 10), P(10, -10));   // 4: R-S
    t.Add(P(10, -10), P(0, 0));     // 5: S-N
    t.Add(P(0, 0), P(-10, 10));     // 6: N-P
    auto rings = BuildRings(t.t, Range(1, 6));
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(Text(rings[0]), "(-10,10)(-10,-10)(0,0)(10,10)(10,-10)(0,0)(-10,10)");

    // Listed from the node itself, each triangle closes on its own.
    std::vector<int32_t> fromNode{3, 4, 5, 6, 1, 2};
    rings = BuildRings(t.t, fromNode);
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_EQ(Text(rings[0]), "(0,0)(10,10)(10,-10)(0,0)");
    EXPECT_EQ(Text(rings[1]), "(0,0)(-10,10)(-10,-10)(0,0)");
}

TEST(BuildRings, NodeWithMoreThanFifteenChainEnds)
{
    // Twenty triangles around one hub, each listed as P->hub, hub->Q, Q->P:
    // the hub carries forty chain ends, and every walk passes through it.
    Table t;
    const double r = 1000000;
    std::vector<Points> expected;
    for (int i = 0; i < 20; ++i) {
        double a = i * std::numbers::pi / 10, b = a + std::numbers::pi / 20;
        GeoPoint p = P(int32_t(std::lround(r * std::cos(a))), int32_t(std::lround(r * std::sin(a))));
        GeoPoint q = P(int32_t(std::lround(r * std::cos(b))), int32_t(std::lround(r * std::sin(b))));
        t.Add(p, P(0, 0));
        t.Add(P(0, 0), q);
        t.Add(q, p);
        expected.push_back({p, P(0, 0), q, p});
    }
    AssembledArea a = AssembleArea(t.t, Range(1, 60));
    ASSERT_EQ(a.ringsClosed, 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(a.rings[i], expected[i]) << "ring " << i;
}

TEST(BuildRings, RingOfMoreThanAHundredThousandPoints)
{
    Table t;
    constexpr int kShapes = 150000;
    Points circle;
    for (int k = 1; k <= kShapes; ++k) {
        double a = -2 * std::numbers::pi * k / (kShapes + 1); // clockwise
        circle.push_back(P(int32_t(std::lround(5e6 * std::cos(a))), int32_t(std::lround(5e6 * std::sin(a)))));
    }
    Points firstHalf(circle.begin(), circle.begin() + kShapes / 2 - 1);
    Points secondHalf(circle.begin() + kShapes / 2, circle.end());
    t.Add(P(5000000, 0), circle[kShapes / 2 - 1], firstHalf);
    t.Add(circle[kShapes / 2 - 1], P(5000000, 0), secondHalf);
    AssembledArea a = AssembleArea(t.t, Range(1, 2));
    ASSERT_EQ(a.ringsClosed, 1);
    ASSERT_EQ(a.rings[0].size(), std::size_t{kShapes} + 2);
    EXPECT_EQ(a.rings[0].front(), P(5000000, 0));
    EXPECT_EQ(a.rings[0][1], circle[0]);
    EXPECT_EQ(a.rings[0][kShapes], circle[kShapes - 1]);
    EXPECT_EQ(a.rings[0].back(), P(5000000, 0));
    EXPECT_LE(std::abs(a.centroid.x), 1);
    EXPECT_LE(std::abs(a.centroid.y), 1);
    EXPECT_EQ(a.box.minX, -5000000);
    EXPECT_EQ(a.box.maxX, 5000000);
}

TEST(BuildRings, ChainNumbersOutsideTheTableAreSkipped)
{
    Table t;
    t.Add(P(0, 0), P(0, 0), {P(0, 10), P(10, 10)});
    std::vector<int32_t> list{0, -3, 2, 1, 2147483647};
    AssembledArea a = AssembleArea(t.t, list);
    EXPECT_EQ(a.skippedChains, 4);
    ASSERT_EQ(a.ringsClosed, 1);
    EXPECT_EQ(Text(a.rings[0]), "(0,0)(0,10)(10,10)(0,0)");
}

TEST(AssembleArea, PartsMeetingAtANodeAreSplitAndOrientedEachOnItsOwn)
{
    // Two triangles of one feature meeting at N = (0, 0): the walk runs
    // through N and makes one ring whose lobes turn opposite ways.
    Table t;
    t.Add(P(-10, 10), P(-10, -10)); // 1
    t.Add(P(-10, -10), P(0, 0));    // 2
    t.Add(P(0, 0), P(20, 20));      // 3
    t.Add(P(20, 20), P(20, -20));   // 4
    t.Add(P(20, -20), P(0, 0));     // 5
    t.Add(P(0, 0), P(-10, 10));     // 6
    AssembledArea a = AssembleArea(t.t, Range(1, 6));
    ASSERT_EQ(a.ringsClosed, 2);
    ASSERT_EQ(a.rings.size(), 2u);
    EXPECT_EQ(Text(a.rings[0]), "(-10,10)(0,0)(-10,-10)(-10,10)");
    EXPECT_EQ(Text(a.rings[1]), "(0,0)(20,20)(20,-20)(0,0)");
    // Areas 100 and 400, centroids (-20/3, 0) and (40/3, 0).
    EXPECT_EQ(a.centroid, P(9, 0));
}

TEST(AssembleArea, HoleTouchingItsOuterRingBecomesARingOfItsOwn)
{
    Table t;
    t.Add(P(0, 100), P(0, 0));                           // 1: west side
    t.Add(P(0, 0), P(0, 0), {P(10, 50), P(50, 10)});     // 2: the hole, from the corner
    t.Add(P(0, 0), P(0, 100), {P(100, 0), P(100, 100)}); // 3: the rest of the square
    AssembledArea a = AssembleArea(t.t, Range(1, 3));
    ASSERT_EQ(a.ringsClosed, 2);
    EXPECT_EQ(Text(a.rings[0]), "(0,100)(100,100)(100,0)(0,0)(0,100)");
    EXPECT_LT(SignedArea(a.rings[0]), 0);
    EXPECT_EQ(Text(a.rings[1]), "(0,0)(50,10)(10,50)(0,0)");
    EXPECT_GT(SignedArea(a.rings[1]), 0);
    // Square 10000 around (50, 50) less the triangle 1200 around (20, 20).
    EXPECT_EQ(a.centroid, P(54, 54));
}

TEST(SplitPinchedRings, LoopsWithoutAreaAndOpenRunsStay)
{
    // A chain walked out and back inside a ring, a repeated point, and an
    // open run that passes one point twice.
    std::vector<Ring> rings{
        {P(0, 0), P(0, 10), P(5, 5), P(2, 2), P(5, 5), P(10, 10), P(10, 10), P(10, 0), P(0, 0)},
        {P(0, 0), P(5, 5), P(10, 0), P(5, 5), P(0, 10)},
    };
    std::vector<Ring> before = rings;
    SplitPinchedRings(rings);
    EXPECT_EQ(rings, before);
}

TEST(AssembleArea, ShapePointsGoingBackAndForthStayLinear)
{
    // One side of a square runs back and forth between two points 200,000
    // times: every return is a loop without area. Walking it used to take
    // time in the square of the points (minutes here); now it is one pass.
    Points shapes;
    for (int i = 0; i < 200000; ++i) shapes.push_back(i % 2 ? P(500, 0) : P(400, 0));
    Table t;
    t.Add(P(0, 0), P(1000, 0), shapes);
    t.Add(P(1000, 0), P(1000, 1000));
    t.Add(P(1000, 1000), P(0, 1000));
    t.Add(P(0, 1000), P(0, 0));
    const auto start = std::chrono::steady_clock::now();
    AssembledArea a = AssembleArea(t.t, Range(1, 4));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(a.ringsClosed, 1);
    EXPECT_EQ(a.rings[0].size(), 200005u);
    EXPECT_EQ(std::abs(SignedArea(a.rings[0])), 1e6);
    EXPECT_LT(seconds, 5.0); // instrumented builds on a busy machine included
}

// --- orientation and centroid ------------------------------------------------

Ring Square(int32_t x0, int32_t y0, int32_t side, bool clockwise)
{
    if (clockwise) return {P(x0, y0), P(x0, y0 + side), P(x0 + side, y0 + side), P(x0 + side, y0), P(x0, y0)};
    return {P(x0, y0), P(x0 + side, y0), P(x0 + side, y0 + side), P(x0, y0 + side), P(x0, y0)};
}

TEST(OrientRings, OuterRingsClockwiseHolesCounterClockwise)
{
    std::vector<Ring> rings{
        Square(0, 0, 100, false),   // outer, counter-clockwise: turned
        Square(10, 10, 50, true),   // hole, clockwise: turned
        Square(20, 20, 10, false),  // island in the hole: turned
        Square(200, 0, 10, true),   // separate outer ring: kept
        Square(70, 70, 10, false),  // second hole, right already
        Square(0, 0, 5, true),      // hole touching the outer ring's start point
    };
    std::vector<Ring> before = rings;
    OrientRings(rings);
    EXPECT_EQ(rings[0], Square(0, 0, 100, true));
    EXPECT_EQ(rings[1], Square(10, 10, 50, false));
    EXPECT_EQ(rings[2], Square(20, 20, 10, true));
    EXPECT_EQ(rings[3], before[3]);
    EXPECT_EQ(rings[4], before[4]);
    EXPECT_EQ(rings[5], Square(0, 0, 5, false));
}

TEST(OrientRings, OpenRunKeepsItsStartPoint)
{
    std::vector<Ring> rings{{P(0, 0), P(10, 0), P(10, 10), P(0, 10)}}; // counter-clockwise, not closed
    OrientRings(rings);
    EXPECT_EQ(Text(rings[0]), "(0,0)(0,10)(10,10)(10,0)");
}

TEST(OrientRings, ThousandsOfHolesInALargeRing)
{
    // A ring of 200,000 points around 3,000 holes, all walked clockwise.
    constexpr int kOuter = 200000;
    constexpr int kHoles = 3000;
    std::vector<Ring> rings(1);
    for (int k = 0; k < kOuter; ++k) {
        double a = -2 * std::numbers::pi * k / kOuter;
        rings[0].push_back(P(int32_t(std::lround(1e8 * std::cos(a))), int32_t(std::lround(1e8 * std::sin(a)))));
    }
    rings[0].push_back(rings[0][0]);
    for (int h = 0; h < kHoles; ++h) rings.push_back(Square(-50000000 + (h % 60) * 1500000, -40000000 + (h / 60) * 1500000, 1000000, true));
    auto t0 = std::chrono::steady_clock::now();
    OrientRings(rings);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(SignedArea(rings[0]), 0);
    for (int h = 1; h <= kHoles; ++h) ASSERT_GT(SignedArea(rings[h]), 0) << "hole " << h;
    EXPECT_LT(seconds, 2.0);
    RecordProperty("seconds", std::to_string(seconds));
}

TEST(AreaCentroid, ZeroAreaFallsBackToTheMeanOfThePoints)
{
    // A chain out and the same way back: no area.
    std::vector<Ring> rings{{P(0, 0), P(10, 3), P(0, 0)}};
    EXPECT_EQ(AreaCentroid(rings), P(5, 1));
    // Two lobes of opposite direction in one ring cancel out.
    rings = {{P(-10, 10), P(-10, -10), P(0, 0), P(10, 10), P(10, -10), P(0, 0), P(-10, 10)}};
    EXPECT_EQ(AreaCentroid(rings), P(0, 0));
    EXPECT_EQ(AreaCentroid({}), P(0, 0));
    // Truncated toward zero.
    rings = {{P(-1, -1), P(-4, -4), P(-1, -1)}};
    EXPECT_EQ(AreaCentroid(rings), P(-2, -2));
}

TEST(AreaCentroid, TruncatesTowardZero)
{
    std::vector<Ring> rings{Square(-3, -3, 2, true)}; // centre (-2, -2)
    EXPECT_EQ(AreaCentroid(rings), P(-2, -2));
    rings = {{P(0, 0), P(0, 3), P(1, 0), P(0, 0)}}; // centre (1/3, 1)
    EXPECT_EQ(AreaCentroid(rings), P(0, 1));
    rings = {{P(0, 0), P(0, -3), P(-1, 0), P(0, 0)}}; // centre (-1/3, -1)
    EXPECT_EQ(AreaCentroid(rings), P(0, -1));
}

} // namespace
} // namespace zalor
