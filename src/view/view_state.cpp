#include "view/view_state.h"

#include "geometry/coords.h"
#include "view/object_grid.h"

#include <algorithm>
#include <cmath>

namespace zalor::view {

void ViewState::SetSurface(int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    Update();
}

void ViewState::ClearWindow()
{
    hasWindow_ = false;
    window_ = WorldWindow{};
    Update();
}

void ViewState::SetWindow(WorldWindow w)
{
    if (w.minX > w.maxX) std::swap(w.minX, w.maxX);
    if (w.minY > w.maxY) std::swap(w.minY, w.maxY);
    auto fit = [](int64_t& lo, int64_t& hi) {
        const int64_t size = std::clamp(hi - lo, kMinSize, kMaxSize);
        const int64_t centre = lo + (hi - lo) / 2;
        lo = centre - size / 2;
        hi = lo + size;
    };
    fit(w.minX, w.maxX);
    fit(w.minY, w.maxY);
    window_ = w;
    hasWindow_ = true;
    Update();
}

void ViewState::ZoomAll(const Box& extent)
{
    if (extent.Empty()) {
        ClearWindow();
        return;
    }
    WorldWindow w{extent.minX, extent.minY, extent.maxX, extent.maxY};
    // A single point, or objects on one line, still get a window around them.
    if (w.Width() == 0 && w.Height() == 0) {
        w.minX -= kMinExtent / 2;
        w.maxX += kMinExtent / 2;
    }
    if (w.Width() == 0) {
        w.minX -= w.Height() / 2;
        w.maxX += w.Height() - w.Height() / 2;
    }
    if (w.Height() == 0) {
        w.minY -= w.Width() / 2;
        w.maxY += w.Width() - w.Width() / 2;
    }
    SetWindow(w);
}

void ViewState::ZoomIn()
{
    if (!hasWindow_) return;
    const int64_t w = window_.Width(), h = window_.Height();
    if (w / 2 < kMinSize || h / 2 < kMinSize) return; // as close as it gets
    const int64_t cx = window_.minX + w / 2, cy = window_.minY + h / 2;
    SetWindow({cx - w / 4, cy - h / 4, cx - w / 4 + w / 2, cy - h / 4 + h / 2});
}

void ViewState::ZoomOut()
{
    if (!hasWindow_) return;
    const int64_t w = window_.Width(), h = window_.Height();
    if (w * 2 > kMaxSize || h * 2 > kMaxSize) return;
    const int64_t cx = window_.minX + w / 2, cy = window_.minY + h / 2;
    SetWindow({cx - w, cy - h, cx + w, cy + h});
}

void ViewState::CentreOn(double x, double y)
{
    if (!hasWindow_ || !std::isfinite(x) || !std::isfinite(y)) return;
    const int64_t w = window_.Width(), h = window_.Height();
    const double limit = static_cast<double>(kMaxSize);
    const auto minX = static_cast<int64_t>(std::llround(std::clamp(x, -limit, limit))) - w / 2;
    const auto minY = static_cast<int64_t>(std::llround(std::clamp(y, -limit, limit))) - h / 2;
    SetWindow({minX, minY, minX + w, minY + h});
}

DragAction ViewState::Drag(ScreenPoint anchor, ScreenPoint release, MouseButton button)
{
    if (button == MouseButton::Right) {
        ZoomOut();
        return DragAction::ZoomOut;
    }
    double x = 0, y = 0;
    ToWorld(release, x, y);
    if (std::fabs(release.x - anchor.x) <= kPanPixels || std::fabs(release.y - anchor.y) <= kPanPixels) {
        CentreOn(x, y);
        return DragAction::Pan;
    }
    double ax = 0, ay = 0;
    ToWorld(anchor, ax, ay);
    SetWindow({std::llround(ax), std::llround(ay), std::llround(x), std::llround(y)});
    return DragAction::ZoomToRect;
}

void ViewState::ToWorld(ScreenPoint s, double& x, double& y) const
{
    x = static_cast<double>(window_.minX) + s.x / scale_;
    y = static_cast<double>(window_.minY) + (static_cast<double>(height_ - 1) - s.y) / scale_;
}

void ViewState::Update()
{
    ++generation_;
    // The window's edges fall on the first and last pixel rows and columns.
    const double w = static_cast<double>(std::max<int64_t>(window_.Width(), 1));
    const double h = static_cast<double>(std::max<int64_t>(window_.Height(), 1));
    scale_ = std::min(std::max(width_ - 1, 1) / w, std::max(height_ - 1, 1) / h);
}

namespace {

// Squared distance from (px, py) to the segment a-b.
double SegmentDistance2(double px, double py, GeoPoint a, GeoPoint b)
{
    const double ax = a.x, ay = a.y, dx = double(b.x) - ax, dy = double(b.y) - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return ex * ex + ey * ey;
}

bool LineHit(const DrawingModel& m, const DrawingObject& o, double x, double y, double tol)
{
    const auto pts = m.PointsOf(o);
    const double tol2 = tol * tol;
    std::size_t at = 0;
    for (uint32_t size : m.PartsOf(o)) {
        const std::size_t end = std::min<std::size_t>(at + size, pts.size());
        if (end - at == 1 && SegmentDistance2(x, y, pts[at], pts[at]) < tol2) return true;
        for (std::size_t i = at + 1; i < end; ++i)
            if (SegmentDistance2(x, y, pts[i - 1], pts[i]) < tol2) return true;
        at = end;
    }
    return false;
}

// Even-odd rule over all rings, so holes are outside.
bool RegionHit(const DrawingModel& m, const DrawingObject& o, double x, double y)
{
    const auto pts = m.PointsOf(o);
    bool inside = false;
    std::size_t at = 0;
    for (uint32_t size : m.PartsOf(o)) {
        const std::size_t end = std::min<std::size_t>(at + size, pts.size());
        if (end > at) {
            std::size_t j = end - 1;
            for (std::size_t i = at; i < end; j = i++) {
                const double xi = pts[i].x, yi = pts[i].y, xj = pts[j].x, yj = pts[j].y;
                if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
            }
        }
        at = end;
    }
    return inside;
}

} // namespace

int64_t HitTest(const DrawingModel& model, double x, double y, double tolerance)
{
    const auto objects = model.Objects();
    if (!(tolerance >= 0) || !std::isfinite(x) || !std::isfinite(y)) return -1;
    std::vector<uint32_t> near;
    model.Grid().Query(x - tolerance, y - tolerance, x + tolerance, y + tolerance, near);
    for (uint32_t k : near) {
        const DrawingObject& o = objects[k];
        const Box& b = o.box;
        if (x < b.minX - tolerance || x > b.maxX + tolerance || y < b.minY - tolerance || y > b.maxY + tolerance)
            continue;
        bool hit = false;
        switch (o.kind) {
        case ObjectKind::Point: {
            const GeoPoint p = model.PointsOf(o).front();
            hit = std::fabs(p.x - x) < tolerance && std::fabs(p.y - y) < tolerance;
            break;
        }
        case ObjectKind::Line: hit = LineHit(model, o, x, y, tolerance); break;
        case ObjectKind::Region: hit = x >= b.minX && x <= b.maxX && y >= b.minY && y <= b.maxY && RegionHit(model, o, x, y); break;
        }
        if (hit) return static_cast<int64_t>(k);
    }
    return -1;
}

std::string PositionText(Units units, double x, double y)
{
    auto clampInt = [](double v) {
        return static_cast<int32_t>(std::llround(std::clamp(v, -2147483648.0, 2147483647.0)));
    };
    if (units == Units::MicroDegrees)
        return "Lon/Lat: " + FormatFixed(clampInt(x)) + ", " + FormatFixed(clampInt(y));
    // Millimetres as metres with three decimals.
    auto metres = [](double v) {
        const int64_t mm = std::llround(std::clamp(v, -9.0e15, 9.0e15));
        const int64_t a = mm < 0 ? -mm : mm;
        std::string frac = std::to_string(a % 1000);
        return (mm < 0 ? "-" : "") + std::to_string(a / 1000) + "." + std::string(3 - frac.size(), '0') + frac;
    };
    return "X/Y: " + metres(x) + ", " + metres(y);
}

} // namespace zalor::view
