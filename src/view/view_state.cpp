#include "view/view_state.h"

#include "geometry/coords.h"
#include "view/object_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zalor::view {

void ViewState::SetSurface(int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    ++generation_;
}

void ViewState::ClearWindow()
{
    hasWindow_ = false;
    cx_ = cy_ = 0;
    scale_ = 1;
    ++generation_;
}

void ViewState::Show(double cx, double cy, double scale)
{
    if (!std::isfinite(cx) || !std::isfinite(cy) || !(scale > 0)) return;
    cx = std::clamp(cx, -kMaxCoordinate, kMaxCoordinate);
    cy = std::clamp(cy, -kMaxCoordinate, kMaxCoordinate);
    scale = std::clamp(scale, kMinScale, kMaxScale);
    if (hasWindow_ && cx == cx_ && cy == cy_ && scale == scale_) return;
    cx_ = cx;
    cy_ = cy;
    scale_ = scale;
    hasWindow_ = true;
    ++generation_;
}

void ViewState::SetWindow(WorldRect w)
{
    if (w.minX > w.maxX) std::swap(w.minX, w.maxX);
    if (w.minY > w.maxY) std::swap(w.minY, w.maxY);
    // The window's edges fall on the first and last pixel rows and columns.
    const double across = std::max(width_ - 1, 1), down = std::max(height_ - 1, 1);
    const double scale = std::min(across / std::max(w.Width(), 1e-9), down / std::max(w.Height(), 1e-9));
    Show(w.minX + w.Width() / 2, w.minY + w.Height() / 2, scale);
}

WorldRect ViewState::Visible() const
{
    return {cx_ - HalfWidth() / scale_, cy_ - HalfHeight() / scale_, cx_ + HalfWidth() / scale_,
            cy_ + HalfHeight() / scale_};
}

void ViewState::ZoomAll(const Box& extent)
{
    if (extent.Empty()) {
        ClearWindow();
        return;
    }
    double w = double(extent.maxX) - extent.minX, h = double(extent.maxY) - extent.minY;
    // A single point still gets some world around it; objects on one line
    // fit along it.
    if (w == 0 && h == 0) w = h = kMinExtent;
    const int margin = std::min(kMarginPixels, std::min(width_, height_) / 8);
    const double across = std::max(width_ - 1 - 2 * margin, 1), down = std::max(height_ - 1 - 2 * margin, 1);
    double scale = std::numeric_limits<double>::infinity();
    if (w > 0) scale = across / w;
    if (h > 0) scale = std::min(scale, down / h);
    Show(extent.minX + (double(extent.maxX) - extent.minX) / 2, extent.minY + (double(extent.maxY) - extent.minY) / 2,
         scale);
}

void ViewState::ZoomBy(double factor)
{
    if (hasWindow_ && factor > 0) Show(cx_, cy_, scale_ * factor);
}

void ViewState::ZoomAbout(ScreenPoint at, double factor)
{
    if (!hasWindow_ || !(factor > 0) || !std::isfinite(at.x) || !std::isfinite(at.y)) return;
    double x = 0, y = 0;
    ToWorld(at, x, y);
    const double scale = std::clamp(scale_ * factor, kMinScale, kMaxScale);
    if (scale == scale_) return; // as close or as far as it gets
    Show(x - (at.x - HalfWidth()) / scale, y - (HalfHeight() - at.y) / scale, scale);
}

void ViewState::PanBy(double dx, double dy)
{
    if (hasWindow_ && std::isfinite(dx) && std::isfinite(dy)) Show(cx_ - dx / scale_, cy_ + dy / scale_, scale_);
}

void ViewState::CentreOn(double x, double y)
{
    if (hasWindow_) Show(x, y, scale_);
}

DragAction ViewState::Drag(ScreenPoint anchor, ScreenPoint release, MouseButton button)
{
    if (button == MouseButton::Right) {
        ZoomOut();
        return DragAction::ZoomOut;
    }
    const double dx = release.x - anchor.x, dy = release.y - anchor.y;
    if (std::fabs(dx) <= kPanPixels || std::fabs(dy) <= kPanPixels) {
        PanBy(dx, dy);
        return DragAction::Pan;
    }
    double ax = 0, ay = 0, x = 0, y = 0;
    ToWorld(anchor, ax, ay);
    ToWorld(release, x, y);
    SetWindow({ax, ay, x, y});
    return DragAction::ZoomToRect;
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
        if (!model.Files()[o.file].shown) continue;
        const Box& b = o.box;
        if (x < b.minX - tolerance || x > b.maxX + tolerance || y < b.minY - tolerance || y > b.maxY + tolerance)
            continue;
        bool hit = false;
        switch (o.kind) {
        case ObjectKind::Point:
            for (const GeoPoint p : model.PointsOf(o))
                hit = hit || (std::fabs(p.x - x) < tolerance && std::fabs(p.y - y) < tolerance);
            break;
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
