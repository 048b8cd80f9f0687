#include "formats/gpkg/writer/rtree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace zalor {

namespace {

constexpr int kCell = 8 + 4 * 4; // the bytes of a node's cell

// An entry of a level of the tree: a feature (leaves) or a node of the
// level below, and its box.
struct Entry {
    int64_t id;
    RTreeBox box;
};

void PutBig(std::string& out, std::size_t at, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
}

uint32_t FloatBits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

RTreeBox Union(const RTreeBox& a, const RTreeBox& b)
{
    return {std::min(a.minX, b.minX), std::max(a.maxX, b.maxX), std::min(a.minY, b.minY), std::max(a.maxY, b.maxY)};
}

// The features' indexes in the order of their centres along a Hilbert
// curve over the extent of the centres: (curve position, feature index).
std::vector<std::pair<uint32_t, uint32_t>> HilbertOrder(const std::vector<RTreeBox>& boxes)
{
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const RTreeBox& b : boxes) {
        x0 = std::min(x0, 0.5 * (double(b.minX) + b.maxX));
        x1 = std::max(x1, 0.5 * (double(b.minX) + b.maxX));
        y0 = std::min(y0, 0.5 * (double(b.minY) + b.maxY));
        y1 = std::max(y1, 0.5 * (double(b.minY) + b.maxY));
    }
    const double sx = x1 > x0 ? 65535.0 / (x1 - x0) : 0, sy = y1 > y0 ? 65535.0 / (y1 - y0) : 0;
    std::vector<std::pair<uint32_t, uint32_t>> order(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const RTreeBox& b = boxes[i];
        const auto gx = static_cast<uint32_t>((0.5 * (double(b.minX) + b.maxX) - x0) * sx);
        const auto gy = static_cast<uint32_t>((0.5 * (double(b.minY) + b.maxY) - y0) * sy);
        order[i] = {HilbertIndex(std::min(gx, 65535u), std::min(gy, 65535u)), static_cast<uint32_t>(i)};
    }
    std::sort(order.begin(), order.end());
    return order;
}

// The levels from the leaves up to the root's entries, each entry of a
// level above the leaves the box of `perNode` entries of the one below.
std::vector<std::vector<Entry>> Levels(const std::vector<RTreeBox>& boxes, std::size_t perNode)
{
    std::vector<std::vector<Entry>> levels(1);
    levels[0].reserve(boxes.size());
    for (const auto& [key, i] : HilbertOrder(boxes)) levels[0].push_back({static_cast<int64_t>(i) + 1, boxes[i]});
    while (levels.back().size() > perNode) {
        const std::vector<Entry>& below = levels.back();
        std::vector<Entry> above;
        for (std::size_t at = 0; at < below.size(); at += perNode) {
            RTreeBox box = below[at].box;
            for (std::size_t k = at + 1; k < std::min(below.size(), at + perNode); ++k) box = Union(box, below[k].box);
            above.push_back({0, box});
        }
        levels.push_back(std::move(above));
    }
    return levels;
}

// Numbers the nodes: the root is 1, then each level's nodes from the top
// down. Gives the ids of the entries above the leaves (the numbers of the
// nodes they stand for) and returns the first node number of the nodes
// made of each level's entries; `next` is one past the last node.
std::vector<int64_t> NumberNodes(std::vector<std::vector<Entry>>& levels, std::size_t perNode, int64_t& next)
{
    const std::size_t depth = levels.size() - 1; // levels below the root
    std::vector<int64_t> first(levels.size());
    first[depth] = 1;
    next = 2;
    for (std::size_t l = depth; l-- > 0;) {
        first[l] = next;
        next += static_cast<int64_t>((levels[l].size() + perNode - 1) / perNode);
    }
    for (std::size_t l = 1; l < levels.size(); ++l)
        for (std::size_t k = 0; k < levels[l].size(); ++k) levels[l][k].id = first[l - 1] + static_cast<int64_t>(k);
    return first;
}

// Writes node `number` of the entries of level `level` and notes where
// each entry went.
void PutNode(PackedRTree& tree, int64_t number, std::size_t level, std::size_t depth, const Entry* entries,
             std::size_t cells)
{
    std::string& node = tree.nodes;
    const std::size_t base = static_cast<std::size_t>(number - 1) * tree.nodeSize;
    if (number == 1) PutBig(node, base, depth, 2);
    PutBig(node, base + 2, cells, 2);
    for (std::size_t c = 0; c < cells; ++c) {
        const Entry& e = entries[c];
        const std::size_t o = base + 4 + c * kCell;
        PutBig(node, o, static_cast<uint64_t>(e.id), 8);
        PutBig(node, o + 8, FloatBits(e.box.minX), 4);
        PutBig(node, o + 12, FloatBits(e.box.maxX), 4);
        PutBig(node, o + 16, FloatBits(e.box.minY), 4);
        PutBig(node, o + 20, FloatBits(e.box.maxY), 4);
        if (level == 0) tree.leafOfFeature[static_cast<std::size_t>(e.id - 1)] = number;
        else tree.parentOfNode[static_cast<std::size_t>(e.id - 2)] = number;
    }
}

} // namespace

RTreeBox RTreeBoxOf(double minX, double maxX, double minY, double maxY)
{
    auto down = [](double d) {
        float f = static_cast<float>(d);
        return f > d ? std::nextafter(f, -INFINITY) : f;
    };
    auto up = [](double d) {
        float f = static_cast<float>(d);
        return f < d ? std::nextafter(f, INFINITY) : f;
    };
    return {down(minX), up(maxX), down(minY), up(maxY)};
}

uint32_t HilbertIndex(uint32_t x, uint32_t y)
{
    constexpr uint32_t kSide = 1u << 16;
    uint32_t d = 0;
    for (uint32_t s = kSide / 2; s > 0; s /= 2) {
        const uint32_t rx = (x & s) ? 1 : 0;
        const uint32_t ry = (y & s) ? 1 : 0;
        d += s * s * ((3 * rx) ^ ry);
        if (ry == 0) {
            if (rx == 1) {
                x = kSide - 1 - x;
                y = kSide - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

PackedRTree PackRTree(const std::vector<RTreeBox>& boxes, int nodeSize)
{
    const std::size_t perNode = static_cast<std::size_t>(std::max(2, (nodeSize - 4) / kCell));
    PackedRTree tree;
    const std::size_t n = boxes.size();
    if (n == 0) return tree;

    std::vector<std::vector<Entry>> levels = Levels(boxes, perNode);
    int64_t next = 0;
    const std::vector<int64_t> first = NumberNodes(levels, perNode, next);
    const std::size_t depth = levels.size() - 1;

    tree.nodeSize = static_cast<std::size_t>(nodeSize);
    tree.nodes.assign(static_cast<std::size_t>(next - 1) * tree.nodeSize, '\0');
    tree.parentOfNode.assign(static_cast<std::size_t>(next - 2), 0);
    tree.leafOfFeature.assign(n, 0);
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const std::vector<Entry>& entries = levels[l];
        for (std::size_t at = 0, k = 0; at < entries.size(); at += perNode, ++k)
            PutNode(tree, first[l] + static_cast<int64_t>(k), l, depth, entries.data() + at,
                    std::min(perNode, entries.size() - at));
    }
    return tree;
}

} // namespace zalor
