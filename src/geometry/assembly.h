// Area assembly: the node table, the choice of the chains that bound each
// area feature of a layer, and the building of a feature's rings from them.
#pragma once

#include "geometry/chain_geometry.h"
#include "geometry/coords.h"
#include "geometry/lists.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace zalor {

// Nodes keyed by their exact coordinates, numbered 1, 2, 3, ... in the
// order of creation, and the edges (chains) between them.
//
// Every edge leaves a reference at each of its end nodes: +e at the node it
// starts from, -e at the node it ends at (only +e when both ends are the
// same node). A node's references keep the order in which they were added;
// an edge that is used loses both its references, and the ones after close
// up. There is no limit on the number of nodes, edges or references.
class TNodeMgr {
public:
    struct Node {
        GeoPoint pt;
        int32_t serial = 0; // 1-based, in order of creation
        uint32_t uses = 0;  // times the node was found again
    };
    struct Edge {
        int32_t chain = 0; // chain number in the ChainTable
        int32_t from = 0;  // node serial numbers
        int32_t to = 0;
        bool used = false;
    };

    // The serial number of the node at `pt`, created when there is none.
    int32_t FindOrAddNode(GeoPoint pt);
    int32_t FindOrAddNode(int32_t x, int32_t y) { return FindOrAddNode(GeoPoint{x, y}); }
    // The serial number of the node at `pt`, or 0 when there is none.
    int32_t FindNode(GeoPoint pt) const;
    int32_t NodeCount() const { return static_cast<int32_t>(nodes_.size()); }
    // Node at `position` (0-based); its serial number is position + 1.
    const Node& NodeAt(int32_t position) const { return nodes_[static_cast<std::size_t>(position)].node; }

    // Adds an edge between two nodes (serial numbers) and its references;
    // returns its number (1-based).
    int32_t AddEdge(int32_t chain, int32_t fromNode, int32_t toNode);
    int32_t EdgeCount() const { return static_cast<int32_t>(edges_.size()); }
    const Edge& EdgeAt(int32_t e) const { return edges_[static_cast<std::size_t>(e - 1)]; }
    // Marks edge e used: its references disappear from both end nodes.
    void UseEdge(int32_t e) { edges_[static_cast<std::size_t>(e - 1)].used = true; }

    // The earliest-added reference of a node whose edge is not used yet,
    // or 0 when there is none.
    int32_t FirstReference(int32_t node);
    // The node's references, in order.
    std::vector<int32_t> References(int32_t node) const;

private:
    struct NodeEntry {
        Node node;
        int32_t refHead = -1; // into refs_, -1 when none
        int32_t refTail = -1;
    };
    struct RefEntry {
        int32_t ref = 0;
        int32_t next = -1;
    };
    struct Slot {
        uint64_t key = 0;
        uint32_t position = 0; // node position + 1; 0 marks an empty slot
    };

    static uint64_t KeyOf(GeoPoint pt)
    {
        return (static_cast<uint64_t>(static_cast<uint32_t>(pt.x)) << 32) | static_cast<uint32_t>(pt.y);
    }
    std::size_t SlotOf(uint64_t key) const;
    void Grow();
    void AppendReference(int32_t node, int32_t ref);

    std::vector<NodeEntry> nodes_;
    std::vector<Slot> slots_; // open addressing, linear probing, at most half full
    std::vector<Edge> edges_;
    std::vector<RefEntry> refs_;
};

// Bounding box of an area: min x, max y, max x, min y, empty at the start.
struct AreaBox {
    int32_t minX = 2147483647;
    int32_t maxY = -2147483647;
    int32_t maxX = -2147483647;
    int32_t minY = 2147483647;

    void Widen(GeoPoint p)
    {
        minX = std::min(minX, p.x);
        maxY = std::max(maxY, p.y);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
    }
    void Widen(const AreaBox& b)
    {
        minX = std::min(minX, b.minX);
        maxY = std::max(maxY, b.maxY);
        maxX = std::max(maxX, b.maxX);
        minY = std::min(minY, b.minY);
    }
    bool Empty() const { return minX > maxX; }
    friend bool operator==(const AreaBox&, const AreaBox&) = default;
};

using Ring = std::vector<GeoPoint>;

// One assembled area feature, ready for a format writer.
struct AssembledArea {
    std::vector<Ring> rings; // in output order, each with its points in output order
    int32_t ringsClosed = 0; // number of rings; 0 when the feature has none
    GeoPoint centroid;
    AreaBox box;             // widened by every ring point
    int32_t skippedChains = 0; // chain numbers outside the table, left out
};

// Fills `groups` with the chains that bound the features of one area layer:
// a chain belongs to the group of the polygon on each side when the two
// sides map to different group keys (0 = no feature). Chains run in table
// order, so each group's chains come in table order.
// `sides` holds the polygons of chain i at i - 1: a compact copy of the
// chain table's links, which every area layer reads in full.
void SelectBoundaryChains(std::span<const PolygonSides> sides, const TIList& polygonMap, TBList& groups);

// Chains the listed chains end to end into rings, in the order and the
// direction of the walk (first free chain end at each node; a run that does
// not close is walked to both of its dead ends). Chain numbers outside
// 1..count are left out and counted in `skipped` when given.
std::vector<Ring> BuildRings(const ChainGeometry& chains, std::span<const int32_t> chainNumbers,
                             int32_t* skipped = nullptr);

// Splits every closed ring that passes through one point more than once
// (parts of a feature meeting at a node) into rings that do not, so that
// each part can be oriented on its own. The pieces of a ring take its place,
// the piece with the ring's start point first; a loop without area (a chain
// walked out and back) stays in its ring. The even-odd area is unchanged.
void SplitPinchedRings(std::vector<Ring>& rings);

// Turns outer rings clockwise and holes (rings inside an odd number of the
// other rings) counter-clockwise. A reversed ring keeps its start point;
// ring order is unchanged. Rings without area are left as they are.
void OrientRings(std::vector<Ring>& rings);

// The area-weighted centroid of the rings (rings of opposite direction
// subtract from each other). When the areas sum to zero, the mean of the
// ring points (a closed ring's repeated last point left out) is used.
GeoPoint AreaCentroid(const std::vector<Ring>& rings);

// Builds the rings of one area feature from its chain list, splits them
// where they pass through a point twice, orients them, and computes their centroid and bounding box.
AssembledArea AssembleArea(const ChainGeometry& chains, std::span<const int32_t> chainNumbers);

} // namespace zalor
