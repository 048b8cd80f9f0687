#include "geometry/assembly.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <unordered_map>

namespace zalor {

// --- node table --------------------------------------------------------------

namespace {

// Spreads the bits of a coordinate key so that neighbouring or sorted
// coordinates land in unrelated slots.
uint64_t MixKey(uint64_t k)
{
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ULL;
    k ^= k >> 33;
    return k;
}

} // namespace

std::size_t TNodeMgr::SlotOf(uint64_t key) const
{
    std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>(MixKey(key)) & mask;
    while (slots_[i].position != 0 && slots_[i].key != key) i = (i + 1) & mask;
    return i;
}

void TNodeMgr::Grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    for (const Slot& s : old)
        if (s.position != 0) slots_[SlotOf(s.key)] = s;
}

int32_t TNodeMgr::FindOrAddNode(GeoPoint pt)
{
    if ((nodes_.size() + 1) * 2 > slots_.size()) Grow();
    uint64_t key = KeyOf(pt);
    Slot& slot = slots_[SlotOf(key)];
    if (slot.position != 0) {
        Node& n = nodes_[slot.position - 1].node;
        ++n.uses;
        return n.serial;
    }
    NodeEntry entry;
    entry.node.pt = pt;
    entry.node.serial = static_cast<int32_t>(nodes_.size() + 1);
    nodes_.push_back(entry);
    slot.key = key;
    slot.position = static_cast<uint32_t>(nodes_.size());
    return entry.node.serial;
}

int32_t TNodeMgr::FindNode(GeoPoint pt) const
{
    if (slots_.empty()) return 0;
    const Slot& slot = slots_[SlotOf(KeyOf(pt))];
    return slot.position == 0 ? 0 : static_cast<int32_t>(slot.position);
}

void TNodeMgr::AppendReference(int32_t node, int32_t ref)
{
    NodeEntry& n = nodes_[static_cast<std::size_t>(node - 1)];
    int32_t at = static_cast<int32_t>(refs_.size());
    refs_.push_back(RefEntry{ref, -1});
    if (n.refTail < 0) n.refHead = at;
    else refs_[static_cast<std::size_t>(n.refTail)].next = at;
    n.refTail = at;
}

int32_t TNodeMgr::AddEdge(int32_t chain, int32_t fromNode, int32_t toNode)
{
    edges_.push_back(Edge{chain, fromNode, toNode, false});
    int32_t e = static_cast<int32_t>(edges_.size());
    AppendReference(fromNode, e);
    if (toNode != fromNode) AppendReference(toNode, -e);
    return e;
}

int32_t TNodeMgr::FirstReference(int32_t node)
{
    NodeEntry& n = nodes_[static_cast<std::size_t>(node - 1)];
    // References of used edges at the front are dropped for good; the
    // others stay where they are until they reach the front.
    while (n.refHead >= 0) {
        const RefEntry& r = refs_[static_cast<std::size_t>(n.refHead)];
        if (!EdgeAt(std::abs(r.ref)).used) return r.ref;
        n.refHead = r.next;
    }
    n.refTail = -1;
    return 0;
}

std::vector<int32_t> TNodeMgr::References(int32_t node) const
{
    std::vector<int32_t> out;
    for (int32_t at = nodes_[static_cast<std::size_t>(node - 1)].refHead; at >= 0;
         at = refs_[static_cast<std::size_t>(at)].next) {
        int32_t r = refs_[static_cast<std::size_t>(at)].ref;
        if (!EdgeAt(std::abs(r)).used) out.push_back(r);
    }
    return out;
}

// --- boundary selection --------------------------------------------------------

void SelectBoundaryChains(std::span<const PolygonSides> sides, const TIList& polygonMap, TBList& groups)
{
    const int32_t count = static_cast<int32_t>(sides.size());
    for (int32_t i = 1; i <= count; ++i) {
        const PolygonSides c = sides[static_cast<std::size_t>(i - 1)];
        if (c.left == c.right) continue;
        int32_t gL = polygonMap.Find(c.left);
        int32_t gR = polygonMap.Find(c.right);
        if (gL == gR) continue;
        if (gL != 0) groups.Add(gL, i);
        if (gR != 0) groups.Add(gR, i);
    }
}

// --- ring building -------------------------------------------------------------

namespace {

// Appends a chain's points after the node it leaves from: forward the shape
// points and the to-point, backward the shape points reversed and the
// from-point.
void AppendChainPoints(Ring& ring, const ChainShape& c, bool forward)
{
    std::span<const GeoPoint> shapes = c.shapes;
    if (forward) {
        ring.insert(ring.end(), shapes.begin(), shapes.end());
        ring.push_back(c.to);
    } else {
        ring.insert(ring.end(), shapes.rbegin(), shapes.rend());
        ring.push_back(c.from);
    }
}

} // namespace

std::vector<Ring> BuildRings(const ChainGeometry& chains, std::span<const int32_t> chainNumbers, int32_t* skipped)
{
    TNodeMgr mgr;
    int32_t bad = 0;
    const int32_t count = chains.ChainCount();
    std::vector<ChainShape> shapes; // by edge - 1: each chain is looked up once
    shapes.reserve(chainNumbers.size());
    for (int32_t c : chainNumbers) {
        if (c <= 0 || c > count) {
            ++bad;
            continue;
        }
        const ChainShape& rec = shapes.emplace_back(chains.ChainAt(c));
        int32_t from = mgr.FindOrAddNode(rec.from);
        int32_t to = mgr.FindOrAddNode(rec.to);
        mgr.AddEdge(c, from, to);
    }
    if (skipped) *skipped = bad;

    // Follows reference r from its node: appends the chain's points, uses
    // the edge and returns the node at its other end.
    auto takeEdge = [&](Ring& ring, int32_t r) {
        int32_t e = std::abs(r);
        const TNodeMgr::Edge& edge = mgr.EdgeAt(e);
        AppendChainPoints(ring, shapes[static_cast<std::size_t>(e - 1)], r > 0);
        mgr.UseEdge(e);
        return r > 0 ? edge.to : edge.from;
    };

    std::vector<Ring> rings;
    for (int32_t e = 1; e <= mgr.EdgeCount(); ++e) {
        if (mgr.EdgeAt(e).used) continue;
        Ring& ring = rings.emplace_back();
        int32_t start = mgr.EdgeAt(e).from;
        ring.push_back(mgr.NodeAt(start - 1).pt);
        int32_t cur = start;
        bool reversed = false;
        for (;;) {
            int32_t r = mgr.FirstReference(cur);
            if (r == 0) {
                // A dead end: once, turn the run round and extend it from
                // the node it started at; the second dead end ends it.
                if (reversed) break;
                std::reverse(ring.begin(), ring.end());
                std::swap(start, cur);
                reversed = true;
                continue;
            }
            cur = takeEdge(ring, r);
            if (cur == start) break;
        }
    }
    return rings;
}

// --- orientation -----------------------------------------------------------------

namespace {

using Wide = __int128;

// Number of distinct vertices: a closed ring's repeated last point is left out.
std::size_t VertexCount(const Ring& r)
{
    std::size_t m = r.size();
    if (m > 1 && r.front() == r.back()) --m;
    return m;
}

// Twice the signed area (positive when counter-clockwise), exact.
Wide TwiceArea(const Ring& r)
{
    std::size_t m = VertexCount(r);
    if (m < 3) return 0;
    Wide sum = 0;
    for (std::size_t k = 0; k < m; ++k) {
        GeoPoint a = r[k];
        GeoPoint b = r[k + 1 == m ? 0 : k + 1];
        sum += static_cast<Wide>(a.x) * b.y - static_cast<Wide>(b.x) * a.y;
    }
    return sum;
}

enum class Where { Outside, Inside, Boundary };

// Crossing test of one edge a-b against the ray from p towards +x (half-open
// in y). Returns true when p lies on the edge; toggles `inside` on a crossing.
bool TestEdge(GeoPoint a, GeoPoint b, GeoPoint p, bool& inside)
{
    if (a == p) return true;
    bool aAbove = a.y > p.y;
    bool bAbove = b.y > p.y;
    if (aAbove != bAbove) {
        Wide cross = static_cast<Wide>(int64_t{b.x} - a.x) * (int64_t{p.y} - a.y) -
                     static_cast<Wide>(int64_t{p.x} - a.x) * (int64_t{b.y} - a.y);
        if (cross == 0) return true;
        if ((cross > 0) == (b.y > a.y)) inside = !inside;
    } else if (a.y == p.y && b.y == p.y) {
        if (std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x)) return true;
    }
    return false;
}

// Point location against one ring. A ring that is asked often gets an index
// of horizontal bands, each listing the edges that reach into it, so that a
// query looks at a few edges instead of all of them.
class RingLocator {
public:
    explicit RingLocator(const Ring& ring) : ring_(&ring), m_(VertexCount(ring)) {}

    Where Locate(GeoPoint p)
    {
        if (!indexed_ && ++queries_ >= 2) BuildIndex();
        bool inside = false;
        if (bands_ > 1) {
            int64_t y = p.y;
            if (y < yMin_ || y >= yMin_ + span_) return Where::Outside;
            std::size_t b = Band(y);
            for (uint32_t k = start_[b]; k < start_[b + 1]; ++k)
                if (TestEdgeAt(edges_[k], p, inside)) return Where::Boundary;
        } else {
            for (std::size_t k = 0; k < m_; ++k)
                if (TestEdgeAt(k, p, inside)) return Where::Boundary;
        }
        return inside ? Where::Inside : Where::Outside;
    }

private:
    bool TestEdgeAt(std::size_t k, GeoPoint p, bool& inside) const
    {
        const Ring& r = *ring_;
        return TestEdge(r[k], r[k + 1 == m_ ? 0 : k + 1], p, inside);
    }
    std::size_t Band(int64_t y) const
    {
        return static_cast<std::size_t>((y - yMin_) * bands_ / span_);
    }
    // Band entries of every edge with the current band count.
    std::size_t Entries() const
    {
        const Ring& r = *ring_;
        std::size_t total = 0;
        for (std::size_t k = 0; k < m_; ++k) {
            int32_t ya = r[k].y, yb = r[k + 1 == m_ ? 0 : k + 1].y;
            total += Band(std::max(ya, yb)) - Band(std::min(ya, yb)) + 1;
        }
        return total;
    }

    void BuildIndex()
    {
        indexed_ = true;
        if (m_ < 32) return;
        const Ring& r = *ring_;
        int64_t lo = r[0].y, hi = r[0].y;
        for (std::size_t k = 1; k < m_; ++k) {
            lo = std::min<int64_t>(lo, r[k].y);
            hi = std::max<int64_t>(hi, r[k].y);
        }
        yMin_ = lo;
        span_ = hi - lo + 1;
        // About four edges per band, fewer bands when long edges would fill
        // too many of them.
        bands_ = static_cast<int64_t>(std::min<std::size_t>(m_ / 4, 1u << 16));
        bands_ = std::min(bands_, span_);
        while (bands_ > 1 && Entries() > 8 * m_) bands_ /= 2;
        if (bands_ <= 1) {
            bands_ = 0;
            return;
        }
        start_.assign(static_cast<std::size_t>(bands_) + 1, 0);
        for (std::size_t k = 0; k < m_; ++k) {
            int32_t ya = r[k].y, yb = r[k + 1 == m_ ? 0 : k + 1].y;
            for (std::size_t b = Band(std::min(ya, yb)); b <= Band(std::max(ya, yb)); ++b) ++start_[b + 1];
        }
        for (std::size_t b = 1; b < start_.size(); ++b) start_[b] += start_[b - 1];
        edges_.resize(start_.back());
        std::vector<uint32_t> fill(start_.begin(), start_.end() - 1);
        for (std::size_t k = 0; k < m_; ++k) {
            int32_t ya = r[k].y, yb = r[k + 1 == m_ ? 0 : k + 1].y;
            for (std::size_t b = Band(std::min(ya, yb)); b <= Band(std::max(ya, yb)); ++b)
                edges_[fill[b]++] = static_cast<uint32_t>(k);
        }
    }

    const Ring* ring_;
    std::size_t m_;
    int queries_ = 0;
    bool indexed_ = false;
    int64_t bands_ = 0; // 0: no index, test every edge
    int64_t yMin_ = 0;
    int64_t span_ = 1;
    std::vector<uint32_t> start_; // band b's edges are edges_[start_[b] .. start_[b+1])
    std::vector<uint32_t> edges_;
};

bool Within(const AreaBox& b, GeoPoint p)
{
    return b.minX <= p.x && p.x <= b.maxX && b.minY <= p.y && p.y <= b.maxY;
}

// Reverses a ring's direction; the start point stays first (and last, when
// the ring is closed).
void ReverseKeepingStart(Ring& r)
{
    if (r.size() < 3) return;
    auto last = (r.front() == r.back()) ? r.end() - 1 : r.end();
    std::reverse(r.begin() + 1, last);
}

} // namespace

// --- pinched rings ---------------------------------------------------------------

namespace {

uint64_t PointKey(GeoPoint p)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32) | static_cast<uint32_t>(p.y);
}

// Whether a closed ring visits a point twice (its closing point aside).
bool HasRepeatedPoint(const Ring& r, std::vector<uint64_t>& keys)
{
    keys.clear();
    for (std::size_t k = 0; k + 1 < r.size(); ++k) keys.push_back(PointKey(r[k]));
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

Wide Cross(GeoPoint a, GeoPoint b) { return static_cast<Wide>(a.x) * b.y - static_cast<Wide>(b.x) * a.y; }

// Cuts a closed ring at its repeated points: walking it, each return to a
// point already on the path closes the loop since then as a piece of its
// own (unless the loop has no area), and the path goes on from that point.
// The area of a loop comes from running sums of the path's edges, so a
// path that goes back and forth over the same points stays linear.
void SplitRing(const Ring& r, std::vector<Ring>& out)
{
    std::unordered_map<uint64_t, std::size_t> onPath; // point -> first index on `path`
    onPath.reserve(r.size());
    Ring path;
    path.reserve(r.size());
    std::vector<Wide> sums; // sums[k]: twice the area swept by the edges of path[0..k]
    sums.reserve(r.size());
    const std::size_t firstPiece = out.size();
    for (GeoPoint p : r) {
        auto [it, added] = onPath.emplace(PointKey(p), path.size());
        const std::size_t i = it->second;
        if (!added && i + 1 < path.size() && sums.back() - sums[i] + Cross(path.back(), p) != 0) {
            Ring& piece = out.emplace_back(path.begin() + static_cast<std::ptrdiff_t>(i), path.end());
            piece.push_back(p);
            for (std::size_t k = i + 1; k < path.size(); ++k) {
                auto at = onPath.find(PointKey(path[k]));
                if (at != onPath.end() && at->second == k) onPath.erase(at);
            }
            path.resize(i + 1);
            sums.resize(i + 1);
            continue;
        }
        sums.push_back(path.empty() ? 0 : sums.back() + Cross(path.back(), p));
        path.push_back(p);
    }
    // The ring closes at its start point, so the last piece is the one
    // holding it; it goes first. A path left over (a ring that only closed
    // through a loop without area) keeps its points as they were.
    if (path.size() > 1) {
        out.push_back(std::move(path));
    }
    std::rotate(out.begin() + static_cast<std::ptrdiff_t>(firstPiece), out.end() - 1, out.end());
}

} // namespace

void SplitPinchedRings(std::vector<Ring>& rings)
{
    std::vector<uint64_t> keys;
    bool any = false;
    for (const Ring& r : rings)
        if (r.size() >= 4 && r.front() == r.back() && HasRepeatedPoint(r, keys)) {
            any = true;
            break;
        }
    if (!any) return;
    std::vector<Ring> out;
    out.reserve(rings.size() + 1);
    for (Ring& r : rings) {
        if (r.size() >= 4 && r.front() == r.back() && HasRepeatedPoint(r, keys)) SplitRing(r, out);
        else out.push_back(std::move(r));
    }
    rings = std::move(out);
}

namespace {

// Whether a ring lies inside another: the first of its points that is not
// on the other's outline decides. Each ring's locator is made when first asked.
class RingNesting {
public:
    RingNesting(const std::vector<Ring>& rings, const std::vector<AreaBox>& boxes)
        : rings_(rings), boxes_(boxes), locators_(rings.size())
    {
    }
    bool Inside(uint32_t q, uint32_t j)
    {
        if (!locators_[j]) locators_[j] = std::make_unique<RingLocator>(rings_[j]);
        const Ring& r = rings_[q];
        const std::size_t m = VertexCount(r);
        for (std::size_t k = 0; k < m; ++k) {
            if (!Within(boxes_[j], r[k])) return false;
            Where w = locators_[j]->Locate(r[k]);
            if (w != Where::Boundary) return w == Where::Inside;
        }
        return false;
    }

private:
    const std::vector<Ring>& rings_;
    const std::vector<AreaBox>& boxes_;
    std::vector<std::unique_ptr<RingLocator>> locators_;
};

// The nesting depth of every ring of `withArea`: the number of other rings
// around it. Candidates are the rings whose box holds the ring's first
// point, found by a sweep along x.
std::vector<uint32_t> NestingDepths(const std::vector<Ring>& rings, const std::vector<AreaBox>& box,
                                    const std::vector<uint32_t>& withArea)
{
    std::vector<uint32_t> depth(rings.size(), 0);
    if (withArea.size() <= 1) return depth;
    std::vector<uint32_t> byMinX = withArea;
    std::sort(byMinX.begin(), byMinX.end(), [&](uint32_t a, uint32_t b) { return box[a].minX < box[b].minX; });
    std::vector<uint32_t> queries = withArea;
    std::sort(queries.begin(), queries.end(), [&](uint32_t a, uint32_t b) { return rings[a][0].x < rings[b][0].x; });
    RingNesting nesting(rings, box);
    std::vector<uint32_t> active;
    std::size_t next = 0;
    for (uint32_t q : queries) {
        GeoPoint p = rings[q][0];
        while (next < byMinX.size() && box[byMinX[next]].minX <= p.x) active.push_back(byMinX[next++]);
        for (std::size_t k = 0; k < active.size();) {
            uint32_t j = active[k];
            if (box[j].maxX < p.x) { // behind the sweep for good
                active[k] = active.back();
                active.pop_back();
                continue;
            }
            if (j != q && box[j].minY <= p.y && p.y <= box[j].maxY && nesting.Inside(q, j)) ++depth[q];
            ++k;
        }
    }
    return depth;
}

} // namespace

void OrientRings(std::vector<Ring>& rings)
{
    const std::size_t n = rings.size();
    std::vector<Wide> area(n);
    std::vector<AreaBox> box(n);
    std::vector<uint32_t> withArea;
    for (std::size_t i = 0; i < n; ++i) {
        area[i] = TwiceArea(rings[i]);
        for (GeoPoint p : rings[i]) box[i].Widen(p);
        if (area[i] != 0) withArea.push_back(static_cast<uint32_t>(i));
    }
    const std::vector<uint32_t> depth = NestingDepths(rings, box, withArea);
    // Outer rings clockwise (negative area), holes counter-clockwise.
    for (std::size_t i = 0; i < n; ++i) {
        if (area[i] == 0) continue;
        bool hole = (depth[i] & 1) != 0;
        if (hole ? area[i] < 0 : area[i] > 0) ReverseKeepingStart(rings[i]);
    }
}

// --- centroid ------------------------------------------------------------------

namespace {

bool ToMicroDegrees(double v, int32_t& out)
{
    if (!std::isfinite(v) || v <= -2147483649.0 || v >= 2147483648.0) return false;
    out = static_cast<int32_t>(v); // truncates toward zero
    return true;
}

} // namespace

GeoPoint AreaCentroid(const std::vector<Ring>& rings)
{
    double sumA = 0, sumX = 0, sumY = 0;
    for (const Ring& r : rings) {
        if (r.size() < 3) continue;
        double x1 = r[0].x, y1 = r[0].y;
        for (std::size_t k = 1; k + 1 < r.size(); ++k) {
            double x2 = r[k].x, y2 = r[k].y, x3 = r[k + 1].x, y3 = r[k + 1].y;
            double a = ((y3 - y1) * (x2 - x1) - (y2 - y1) * (x3 - x1)) / 2;
            sumX += (x1 + x2 + x3) * a / 3;
            sumY += (y1 + y2 + y3) * a / 3;
            sumA += a;
        }
    }
    GeoPoint c;
    if (sumA != 0 && ToMicroDegrees(sumX / sumA, c.x) && ToMicroDegrees(sumY / sumA, c.y)) return c;

    // No area: the mean of the points.
    int64_t sx = 0, sy = 0, count = 0;
    for (const Ring& r : rings) {
        std::size_t m = VertexCount(r);
        for (std::size_t k = 0; k < m; ++k) {
            sx += r[k].x;
            sy += r[k].y;
        }
        count += static_cast<int64_t>(m);
    }
    if (count == 0) return GeoPoint{};
    return GeoPoint{static_cast<int32_t>(sx / count), static_cast<int32_t>(sy / count)};
}

// --- one feature -----------------------------------------------------------------

AssembledArea AssembleArea(const ChainGeometry& chains, std::span<const int32_t> chainNumbers)
{
    AssembledArea out;
    out.rings = BuildRings(chains, chainNumbers, &out.skippedChains);
    SplitPinchedRings(out.rings);
    OrientRings(out.rings);
    out.ringsClosed = static_cast<int32_t>(out.rings.size());
    for (const Ring& r : out.rings)
        for (GeoPoint p : r) out.box.Widen(p);
    out.centroid = AreaCentroid(out.rings);
    return out;
}

} // namespace zalor
