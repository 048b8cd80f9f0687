// The spatial index of a table as a packed R-tree, its nodes made in
// SQLite's layout so that they are written as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zalor {

// One entry of an R-tree: a box in single precision.
struct RTreeBox {
    float minX, maxX, minY, maxY;
};

// A feature's box as an R-tree entry holds it: rounded outwards to single
// precision.
RTreeBox RTreeBoxOf(double minX, double maxX, double minY, double maxY);

// The position of (x, y) (0..65535 each) along a Hilbert curve over the square.
uint32_t HilbertIndex(uint32_t x, uint32_t y);

// The nodes of a packed R-tree in SQLite's layout over the boxes of
// features 1..n (box i - 1 is feature i's), for nodes of `nodeSize` bytes.
struct PackedRTree {
    std::string nodes;                  // one after another: node 1 (the root), 2, ...
    std::size_t nodeSize = 0;
    std::vector<int64_t> leafOfFeature; // leafOfFeature[i] holds feature i + 1
    std::vector<int64_t> parentOfNode;  // parentOfNode[k] is the parent of node k + 2
};

// A node: a 2-byte depth (the root's only), a 2-byte cell count, then
// cells of an 8-byte id and the four coordinates as 4-byte floats, all
// big-endian. Leaves hold the features in the order of their centres along
// a Hilbert curve over the layer's extent, so that neighbours share leaves;
// the root is node 1, then each level's nodes from the top down.
PackedRTree PackRTree(const std::vector<RTreeBox>& boxes, int nodeSize);

} // namespace zalor
