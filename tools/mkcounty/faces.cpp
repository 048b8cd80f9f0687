// The polygons of the network: its faces, found by walking the planar
// graph, with the holes (parts of the network inside a face) placed in
// the face that holds them.
#include "builder.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace mkcounty {

Point Builder::Origin(int he) const
{
    const Chain& ch = c_.chains[he / 2];
    return c_.nodes[(he & 1) ? ch.to : ch.from];
}

// The first point after the origin along a half-edge.
Point Builder::Toward(int he) const
{
    const Chain& ch = c_.chains[he / 2];
    if (ch.shapes.empty()) return c_.nodes[(he & 1) ? ch.from : ch.to];
    return (he & 1) ? ch.shapes.back() : ch.shapes.front();
}

template <typename F> void Builder::ForEachSegment(int he, F f) const
{
    const Chain& ch = c_.chains[he / 2];
    Point prev = Origin(he);
    auto step = [&](Point q) {
        f(prev, q);
        prev = q;
    };
    if (he & 1) {
        for (size_t k = ch.shapes.size(); k-- > 0;) step(ch.shapes[k]);
        step(c_.nodes[ch.from]);
    } else {
        for (const Point& q : ch.shapes) step(q);
        step(c_.nodes[ch.to]);
    }
}

int HalfEdgeOrder::Next(int he) const
{
    // The face on the left of u->v continues with the half-edge leaving
    // v just clockwise of v->u.
    int twin = he ^ 1;
    const Chain& ch = (*chains)[static_cast<size_t>(he / 2)];
    int v = (he & 1) ? ch.from : ch.to;
    int k = pos[twin] - 1;
    if (k < start[v]) k = start[v + 1] - 1;
    return out[k];
}

HalfEdgeOrder Builder::OrderHalfEdges() const
{
    const int halfEdges = static_cast<int>(c_.chains.size() * 2);
    const int nodes = static_cast<int>(c_.nodes.size());
    HalfEdgeOrder o;
    o.chains = &c_.chains;
    std::vector<int>& start = o.start;
    start.assign(nodes + 1, 0);
    for (int he = 0; he < halfEdges; ++he) {
        const Chain& ch = c_.chains[he / 2];
        ++start[((he & 1) ? ch.to : ch.from) + 1];
    }
    for (int v = 0; v < nodes; ++v) start[v + 1] += start[v];
    std::vector<int> fill(start.begin(), start.end() - 1);
    std::vector<double> angle(halfEdges);
    o.out.resize(halfEdges);
    for (int he = 0; he < halfEdges; ++he) {
        const Chain& ch = c_.chains[he / 2];
        o.out[fill[(he & 1) ? ch.to : ch.from]++] = he;
        Point a = Origin(he), t = Toward(he);
        angle[he] = std::atan2(static_cast<double>(t.y) - a.y, static_cast<double>(t.x) - a.x);
    }
    o.pos.resize(halfEdges);
    for (int v = 0; v < nodes; ++v) {
        std::sort(o.out.begin() + start[v], o.out.begin() + start[v + 1], [&](int a, int b) {
            return angle[a] < angle[b] || (angle[a] == angle[b] && a < b);
        });
        for (int k = start[v]; k < start[v + 1]; ++k) o.pos[o.out[k]] = k;
    }
    return o;
}

std::vector<Builder::Cycle> Builder::WalkCycles(const HalfEdgeOrder& order)
{
    const int halfEdges = static_cast<int>(c_.chains.size() * 2);
    std::vector<Cycle> cycles;
    cycleOf_.assign(halfEdges, -1);
    const int64_t ox = L_.x0, oy = L_.y0;
    for (int he0 = 0; he0 < halfEdges; ++he0) {
        if (cycleOf_[he0] >= 0) continue;
        Cycle cy;
        cy.first = he0;
        int id = static_cast<int>(cycles.size());
        int he = he0;
        do {
            cycleOf_[he] = id;
            ForEachSegment(he, [&](Point a, Point b) {
                cy.area2 += (a.x - ox) * (b.y - oy) - (b.x - ox) * (a.y - oy);
                cy.minx = std::min(cy.minx, a.x);
                cy.maxx = std::max(cy.maxx, a.x);
                cy.miny = std::min(cy.miny, a.y);
                cy.maxy = std::max(cy.maxy, a.y);
            });
            int z = LeftZone(he);
            if (z >= 0 && (cy.rep < 0 || z < cy.rep)) cy.rep = z;
            he = order.Next(he);
        } while (he != he0);
        cycles.push_back(cy);
    }
    return cycles;
}

// A clockwise cycle other than the county's outline bounds a part of the
// network inside a face: it belongs to the smallest face that contains it.
void Builder::PlaceHoles(const std::vector<Cycle>& cycles, const std::vector<int>& faces, int outer,
                         const HalfEdgeOrder& order)
{
    for (int k = 0; k < static_cast<int>(cycles.size()); ++k) {
        if (cycles[k].area2 > 0 || k == outer) continue;
        Point p = Origin(cycles[k].first);
        int best = -1;
        for (int f : faces) {
            const Cycle& cf = cycles[f];
            if (p.x < cf.minx || p.x > cf.maxx || p.y < cf.miny || p.y > cf.maxy) continue;
            if (!Contains(cf.first, p, order)) continue;
            if (best < 0 || cf.area2 < cycles[best].area2) best = f;
        }
        if (best < 0) throw std::runtime_error("a part of the network lies outside every polygon");
        faceOfCycle_[k] = faceOfCycle_[best];
    }
}

void Builder::FindFaces()
{
    HalfEdgeOrder order = OrderHalfEdges();
    std::vector<Cycle> cycles = WalkCycles(order);
    // Counter-clockwise cycles are faces; clockwise ones are the outer
    // boundaries of connected parts: the most negative is the county's
    // outline, the others are holes in the face that contains them.
    int outer = -1;
    std::vector<int> faces;
    for (int k = 0; k < static_cast<int>(cycles.size()); ++k) {
        if (cycles[k].area2 > 0) faces.push_back(k);
        else if (outer < 0 || cycles[k].area2 < cycles[outer].area2) outer = k;
    }
    std::sort(faces.begin(), faces.end(), [&](int a, int b) {
        return cycles[a].rep < cycles[b].rep || (cycles[a].rep == cycles[b].rep && a < b);
    });
    faceOfCycle_.assign(cycles.size(), 0);
    for (size_t f = 0; f < faces.size(); ++f) faceOfCycle_[faces[f]] = static_cast<int32_t>(f + 1);
    PlaceHoles(cycles, faces, outer, order);

    c_.polygons.resize(faces.size());
    for (size_t f = 0; f < faces.size(); ++f) {
        c_.polygons[f].polyid = static_cast<int32_t>(f + 1);
        c_.polygons[f].zone = cycles[faces[f]].rep;
    }
    for (size_t idx = 0; idx < c_.chains.size(); ++idx) {
        Chain& ch = c_.chains[idx];
        ch.polyL = faceOfCycle_[cycleOf_[2 * idx]];
        ch.polyR = faceOfCycle_[cycleOf_[2 * idx + 1]];
        // Sides built as outside must be the outside, and the reverse.
        if ((ch.zoneL < 0) != (ch.polyL == 0) || (ch.zoneR < 0) != (ch.polyR == 0))
            throw std::runtime_error("inconsistent faces: the network is not planar");
    }
    PlaceInternalPoints(cycles, faces, order);
}

// Points that lie inside the polygon built for `zone` unless a loop or a
// merged neighbour is in the way: the cell's centre (which a loop cell's
// island or pond holds, so four points around it follow) or a split
// cell's triangle's centroid.
std::vector<Point> Builder::InsideCandidates(int zone) const
{
    int i = L_.ZoneI(zone), j = L_.ZoneJ(zone), part = L_.ZonePart(zone);
    auto centroid = [&](Point a, Point b, Point c) {
        return Point{static_cast<int32_t>((static_cast<int64_t>(a.x) + b.x + c.x) / 3),
                     static_cast<int32_t>((static_cast<int64_t>(a.y) + b.y + c.y) / 3)};
    };
    if (part == kSplitNW) return {centroid(GridPoint(i, j), GridPoint(i, j + 1), GridPoint(i + 1, j + 1))};
    if (part == kSplitSE) return {centroid(GridPoint(i, j), GridPoint(i + 1, j), GridPoint(i + 1, j + 1))};
    Point c = CellCentre(i, j);
    int32_t ox = L_.dx * 3 / 10, oy = L_.dy * 3 / 10;
    return {c, {c.x, c.y + oy}, {c.x, c.y - oy}, {c.x + ox, c.y}, {c.x - ox, c.y}};
}

// The internal point of every polygon (RTP): the first candidate that
// lies inside the polygon's outer ring and outside its holes.
void Builder::PlaceInternalPoints(const std::vector<Cycle>& cycles, const std::vector<int>& faces,
                                  const HalfEdgeOrder& order)
{
    std::vector<std::vector<int>> rings(faces.size());
    for (size_t f = 0; f < faces.size(); ++f) rings[f].push_back(faces[f]);
    for (size_t k = 0; k < cycles.size(); ++k)
        if (cycles[k].area2 <= 0 && faceOfCycle_[k] > 0)
            rings[static_cast<size_t>(faceOfCycle_[k] - 1)].push_back(static_cast<int>(k));
    for (size_t f = 0; f < faces.size(); ++f) {
        Polygon& poly = c_.polygons[f];
        bool found = false;
        for (const Point& p : InsideCandidates(poly.zone)) {
            int crossings = 0;
            for (int k : rings[f]) crossings += Contains(cycles[k].first, p, order) ? 1 : 0;
            if (crossings % 2 == 1) {
                poly.inside = p;
                found = true;
                break;
            }
        }
        if (!found) throw std::runtime_error("no internal point for polygon " + std::to_string(poly.polyid));
    }
}

bool Builder::Contains(int first, Point p, const HalfEdgeOrder& order) const
{
    bool inside = false;
    int he = first;
    do {
        ForEachSegment(he, [&](Point a, Point b) {
            if ((a.y > p.y) != (b.y > p.y)) {
                double x = a.x + (static_cast<double>(p.y) - a.y) * (static_cast<double>(b.x) - a.x) /
                                     (static_cast<double>(b.y) - a.y);
                if (p.x < x) inside = !inside;
            }
        });
        he = order.Next(he);
    } while (he != first);
    return inside;
}

} // namespace mkcounty
