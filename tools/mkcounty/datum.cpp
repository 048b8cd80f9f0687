// The datum of a release's files and the conversion of a county to it.
// PROJ picks the operation from NAD83 as it would for any program on this
// machine (a grid where one is installed, else a Helmert transformation or
// its ballpark offset).
#include "datum.h"

#include <proj.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace mkcounty {

namespace {

constexpr Datum kNad83{"NAD83", 4269};

// One PROJ operation from NAD83 geographic coordinates to a datum's, in
// longitude/latitude order.
class Conversion {
public:
    explicit Conversion(int epsg)
    {
        ctx_ = proj_context_create();
        if (!ctx_) throw std::runtime_error("PROJ cannot make a context");
        // The same operation wherever the generator runs: no grids from the
        // network.
        proj_context_set_enable_network(ctx_, 0);
        const std::string target = "EPSG:" + std::to_string(epsg);
        PJ* op = proj_create_crs_to_crs(ctx_, "EPSG:4269", target.c_str(), nullptr);
        if (op) {
            pj_ = proj_normalize_for_visualization(ctx_, op);
            proj_destroy(op);
        }
        if (!pj_) {
            std::string why = proj_context_errno_string(ctx_, proj_context_errno(ctx_));
            proj_context_destroy(ctx_);
            throw std::runtime_error("PROJ has no conversion from NAD83 to " + target + ": " + why);
        }
    }
    ~Conversion()
    {
        proj_destroy(pj_);
        proj_context_destroy(ctx_);
    }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    Point Apply(Point p) const
    {
        PJ_COORD in = proj_coord(p.x / 1e6, p.y / 1e6, 0, 0);
        PJ_COORD out = proj_trans(pj_, PJ_FWD, in);
        if (!std::isfinite(out.lp.lam) || !std::isfinite(out.lp.phi) || std::fabs(out.lp.lam) > 360)
            throw std::runtime_error("PROJ cannot convert " + std::to_string(p.x) + " " + std::to_string(p.y));
        return {static_cast<int32_t>(std::lround(out.xy.x * 1e6)), static_cast<int32_t>(std::lround(out.xy.y * 1e6))};
    }

private:
    PJ_CONTEXT* ctx_ = nullptr;
    PJ* pj_ = nullptr;
};

bool Before(const Point& a, const Point& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; }

// Every point of the county once, in coordinate order.
std::vector<Point> DistinctPoints(const County& c)
{
    std::vector<Point> all(c.nodes);
    for (const Chain& ch : c.chains) all.insert(all.end(), ch.shapes.begin(), ch.shapes.end());
    for (const Polygon& p : c.polygons) all.push_back(p.inside);
    for (const Landmark& m : c.landmarks)
        if (m.located && !(m.pt == Point{})) all.push_back(m.pt);
    std::sort(all.begin(), all.end(), Before);
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

// Whether b lies within a micro-degree of the line from a to c (or on a or c).
bool OnLine(Point a, Point b, Point c)
{
    if (b == a || b == c) return true;
    double acx = static_cast<double>(c.x) - a.x, acy = static_cast<double>(c.y) - a.y;
    double len = std::hypot(acx, acy);
    double cross = (static_cast<double>(b.x) - a.x) * acy - (static_cast<double>(b.y) - a.y) * acx;
    return len > 0 && std::fabs(cross) < len;
}

// Drops the shape points of `ch` that conversion left within a micro-degree
// of the line through their neighbours; `before` is the chain's shape
// points and `nodesBefore` the nodes before conversion.
void DropRedundantShapes(Chain& ch, const std::vector<Point>& before, const std::vector<Point>& nodesBefore,
                         const std::vector<Point>& nodes)
{
    const size_t n = ch.shapes.size();
    const size_t from = static_cast<size_t>(ch.from), to = static_cast<size_t>(ch.to);
    std::vector<Point> kept;
    kept.reserve(n);
    Point prev = nodes[from], prevBefore = nodesBefore[from];
    for (size_t k = 0; k < n; ++k) {
        const Point next = k + 1 < n ? ch.shapes[k + 1] : nodes[to];
        const Point nextBefore = k + 1 < n ? before[k + 1] : nodesBefore[to];
        if (OnLine(prev, ch.shapes[k], next) && !OnLine(prevBefore, before[k], nextBefore)) continue;
        kept.push_back(ch.shapes[k]);
        prev = ch.shapes[k];
        prevBefore = before[k];
    }
    ch.shapes = std::move(kept);
}

} // namespace

Datum FileDatum(int vintage, const std::string& state)
{
    if (vintage >= 2000) return kNad83;
    // Hawaii and the Pacific Island Areas kept their local datums through
    // the 1990s; the rest moved to NAD83 with the 1995 files.
    if (state == "15") return {"Old Hawaiian", 4135};
    if (state == "60") return {"American Samoa 1962", 4169};
    if (state == "66" || state == "69") return {"Guam 1963", 4675};
    if (vintage >= 1995) return kNad83;
    if (state == "72" || state == "78") return {"Puerto Rico", 4139};
    return {"NAD27", 4267};
}

void ConvertToDatum(County& c, const Datum& datum)
{
    if (datum.epsg == kNad83.epsg) return;
    const Conversion conversion(datum.epsg);
    const std::vector<Point> from = DistinctPoints(c);
    std::vector<Point> to;
    to.reserve(from.size());
    for (const Point& p : from) to.push_back(conversion.Apply(p));
    auto converted = [&](Point& p) {
        auto it = std::lower_bound(from.begin(), from.end(), p, Before);
        p = to[static_cast<size_t>(it - from.begin())];
    };
    const std::vector<Point> nodesBefore = c.nodes;
    for (Point& p : c.nodes) converted(p);
    for (Chain& ch : c.chains) {
        const std::vector<Point> before = ch.shapes;
        for (Point& p : ch.shapes) converted(p);
        DropRedundantShapes(ch, before, nodesBefore, c.nodes);
    }
    for (Polygon& p : c.polygons) converted(p.inside);
    for (Landmark& m : c.landmarks)
        if (m.located && !(m.pt == Point{})) converted(m.pt);
}

} // namespace mkcounty
