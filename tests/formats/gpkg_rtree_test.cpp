// The packed R-tree of a GeoPackage table, read back from its nodes as
// SQLite would walk them: every feature is reached once, from the root,
// through boxes that hold it.
#include "formats/gpkg/writer/rtree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace zalor {
namespace {

uint64_t Big(const std::string& b, std::size_t at, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

float BigFloat(const std::string& b, std::size_t at)
{
    const auto bits = static_cast<uint32_t>(Big(b, at, 4));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

struct Cell {
    int64_t id;
    RTreeBox box;
};

std::vector<Cell> Cells(const PackedRTree& tree, int64_t node)
{
    const std::size_t base = static_cast<std::size_t>(node - 1) * tree.nodeSize;
    const std::size_t count = Big(tree.nodes, base + 2, 2);
    EXPECT_LE(4 + count * 24, tree.nodeSize) << "node " << node;
    std::vector<Cell> cells;
    for (std::size_t c = 0; c < count; ++c) {
        const std::size_t at = base + 4 + c * 24;
        cells.push_back({static_cast<int64_t>(Big(tree.nodes, at, 8)),
                         {BigFloat(tree.nodes, at + 8), BigFloat(tree.nodes, at + 12), BigFloat(tree.nodes, at + 16),
                          BigFloat(tree.nodes, at + 20)}});
    }
    return cells;
}

bool Holds(const RTreeBox& outer, const RTreeBox& inner)
{
    return outer.minX <= inner.minX && outer.maxX >= inner.maxX && outer.minY <= inner.minY &&
           outer.maxY >= inner.maxY;
}

// Walks the tree from the root: every node is reached once, every leaf at
// the root's depth, each cell's box within its parent's, every feature
// once with its own box, and the leaf and parent tables agree with the walk.
void CheckTree(const PackedRTree& tree, const std::vector<RTreeBox>& boxes, int nodeSize)
{
    ASSERT_EQ(tree.nodeSize, static_cast<std::size_t>(nodeSize));
    ASSERT_EQ(tree.nodes.size() % tree.nodeSize, 0u);
    const auto nodes = static_cast<int64_t>(tree.nodes.size() / tree.nodeSize);
    const auto depth = static_cast<int>(Big(tree.nodes, 0, 2));
    ASSERT_EQ(tree.leafOfFeature.size(), boxes.size());
    ASSERT_EQ(tree.parentOfNode.size(), static_cast<std::size_t>(nodes - 1));
    std::set<int64_t> nodesSeen{1};
    std::vector<int> featureSeen(boxes.size(), 0);
    struct Visit {
        int64_t node;
        int level; // 0 at the root
        RTreeBox box;
    };
    std::vector<Visit> pending{{1, 0, {-INFINITY, INFINITY, -INFINITY, INFINITY}}};
    while (!pending.empty()) {
        const Visit v = pending.back();
        pending.pop_back();
        const std::vector<Cell> cells = Cells(tree, v.node);
        ASSERT_FALSE(cells.empty()) << "node " << v.node;
        for (const Cell& c : cells) {
            ASSERT_TRUE(Holds(v.box, c.box)) << "a cell of node " << v.node << " lies outside its parent's box";
            if (v.level == depth) {
                ASSERT_GE(c.id, 1);
                ASSERT_LE(c.id, static_cast<int64_t>(boxes.size()));
                const auto f = static_cast<std::size_t>(c.id - 1);
                ++featureSeen[f];
                EXPECT_EQ(tree.leafOfFeature[f], v.node);
                EXPECT_TRUE(Holds(c.box, boxes[f]) && Holds(boxes[f], c.box)) << "feature " << c.id;
            } else {
                ASSERT_GE(c.id, 2);
                ASSERT_LE(c.id, nodes);
                ASSERT_TRUE(nodesSeen.insert(c.id).second) << "node " << c.id << " is reached twice";
                EXPECT_EQ(tree.parentOfNode[static_cast<std::size_t>(c.id - 2)], v.node);
                pending.push_back({c.id, v.level + 1, c.box});
            }
        }
    }
    EXPECT_EQ(nodesSeen.size(), static_cast<std::size_t>(nodes)) << "nodes that no walk reaches";
    for (std::size_t f = 0; f < featureSeen.size(); ++f) ASSERT_EQ(featureSeen[f], 1) << "feature " << f + 1;
}

std::vector<RTreeBox> RandomBoxes(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> x(-88.5f, -87.5f), y(41.5f, 42.5f), size(0.0f, 0.01f);
    std::vector<RTreeBox> boxes;
    for (std::size_t i = 0; i < n; ++i) {
        const float x0 = x(random), y0 = y(random);
        boxes.push_back({x0, x0 + size(random), y0, y0 + size(random)});
    }
    return boxes;
}

TEST(PackedRTree, EveryFeatureIsReachedOnceThroughBoxesThatHoldIt)
{
    // Nodes of SQLite's largest size (51 cells) and of the smallest it
    // takes (2 cells: deep trees); counts around full nodes and levels.
    for (const int nodeSize : {4 + 51 * 24, 4 + 2 * 24, 4 + 3 * 24 + 10}) {
        const std::size_t perNode = static_cast<std::size_t>((nodeSize - 4) / 24);
        for (const std::size_t n :
             {std::size_t{1}, perNode, perNode + 1, perNode * perNode, perNode * perNode + 1, std::size_t{5000}}) {
            SCOPED_TRACE("node size " + std::to_string(nodeSize) + ", " + std::to_string(n) + " features");
            const std::vector<RTreeBox> boxes = RandomBoxes(n, static_cast<unsigned>(n));
            CheckTree(PackRTree(boxes, nodeSize), boxes, nodeSize);
        }
    }
}

TEST(PackedRTree, FeaturesAtOnePlaceOrOnALineMakeAWholeTree)
{
    // No extent on one axis or on both: the Hilbert order has nothing to
    // sort by there.
    const std::vector<RTreeBox> same(300, RTreeBox{-87.5f, -87.5f, 41.5f, 41.5f});
    CheckTree(PackRTree(same, 4 + 5 * 24), same, 4 + 5 * 24);
    std::vector<RTreeBox> line;
    for (int i = 0; i < 300; ++i) line.push_back({-87.5f + 0.001f * i, -87.5f + 0.001f * i, 41.5f, 41.5f});
    CheckTree(PackRTree(line, 4 + 5 * 24), line, 4 + 5 * 24);
}

TEST(PackedRTree, NoFeatureNoNode)
{
    const PackedRTree tree = PackRTree({}, 4 + 51 * 24);
    EXPECT_TRUE(tree.nodes.empty());
    EXPECT_TRUE(tree.leafOfFeature.empty());
    EXPECT_TRUE(tree.parentOfNode.empty());
}

TEST(PackedRTree, NeighboursShareLeaves)
{
    // Points of a grid given row by row: the leaves hold compact patches
    // of them, not strips of rows (16 points of a row: 15 + 0 on the
    // half-perimeter; a patch of 4 x 4: 3 + 3).
    std::vector<RTreeBox> boxes;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) boxes.push_back({float(x), float(x), float(y), float(y)});
    const PackedRTree tree = PackRTree(boxes, 4 + 16 * 24);
    const std::set<int64_t> leaves(tree.leafOfFeature.begin(), tree.leafOfFeature.end());
    ASSERT_EQ(leaves.size(), 64u * 64u / 16u);
    double halfPerimeters = 0;
    for (const int64_t leaf : leaves) {
        const std::vector<Cell> cells = Cells(tree, leaf);
        RTreeBox all = cells[0].box;
        for (const Cell& c : cells) {
            all.minX = std::min(all.minX, c.box.minX);
            all.maxX = std::max(all.maxX, c.box.maxX);
            all.minY = std::min(all.minY, c.box.minY);
            all.maxY = std::max(all.maxY, c.box.maxY);
        }
        halfPerimeters += (all.maxX - all.minX) + (all.maxY - all.minY);
    }
    EXPECT_LT(halfPerimeters / double(leaves.size()), 8.0);
}

TEST(HilbertIndex, ASquareAtTheOriginIsOneStretchOfTheCurveWalkedCellByCell)
{
    constexpr uint32_t kSide = 16;
    std::vector<std::pair<uint32_t, uint32_t>> at(kSide * kSide, {~0u, ~0u});
    for (uint32_t x = 0; x < kSide; ++x)
        for (uint32_t y = 0; y < kSide; ++y) {
            const uint32_t d = HilbertIndex(x, y);
            ASSERT_LT(d, kSide * kSide) << x << ", " << y;
            ASSERT_EQ(at[d].first, ~0u) << "two cells at " << d;
            at[d] = {x, y};
        }
    for (std::size_t d = 1; d < at.size(); ++d) {
        const auto dx = std::abs(int(at[d].first) - int(at[d - 1].first));
        const auto dy = std::abs(int(at[d].second) - int(at[d - 1].second));
        EXPECT_EQ(dx + dy, 1) << "step " << d;
    }
    // The corners of the whole square: the curve runs from one to another.
    EXPECT_EQ(HilbertIndex(0, 0), 0u);
    EXPECT_EQ(HilbertIndex(65535, 0), 0xFFFFFFFFu);
}

TEST(RTreeBoxOf, RoundsOutwardsToSinglePrecisionAndKeepsWhatItHolds)
{
    for (const double d : {41.123456789, -87.123456789, 0.1, -0.1, 1e-30, 123456.789}) {
        const RTreeBox b = RTreeBoxOf(d, d, d, d);
        EXPECT_LE(double(b.minX), d);
        EXPECT_GE(double(b.maxX), d);
        EXPECT_LE(double(b.minY), d);
        EXPECT_GE(double(b.maxY), d);
        // By one step of a float at most.
        EXPECT_EQ(std::nextafter(b.minX, INFINITY), b.maxX) << d;
    }
    const RTreeBox exact = RTreeBoxOf(-87.5, 41.25, 0.0, 1.0);
    EXPECT_EQ(exact.minX, -87.5f);
    EXPECT_EQ(exact.maxX, 41.25f);
    EXPECT_EQ(exact.minY, 0.0f);
    EXPECT_EQ(exact.maxY, 1.0f);
}

} // namespace
} // namespace zalor
