// The viewer's window onto the world: which part of it the drawing surface
// shows, at what scale, how zooming, the wheel and the mouse change it, and
// which object lies under a position. No GUI code in here.
#pragma once

#include "view/drawing.h"

#include <cstdint>
#include <string>

namespace zalor::view {

// A world rectangle, in the units of the objects' points.
struct WorldRect {
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;
    double Width() const { return maxX - minX; }
    double Height() const { return maxY - minY; }
};

struct ScreenPoint {
    double x = 0;
    double y = 0;
};

enum class MouseButton { Left, Right };
enum class DragAction { Pan, ZoomToRect, ZoomOut };

// The surface shows the world about a centre at a scale; the centre of the
// world's window is always at the centre of the surface.
class ViewState {
public:
    // A drag of at most this many pixels across or down moves the map.
    static constexpr int kPanPixels = 16;
    // A query finds objects within this many pixels.
    static constexpr double kHitPixels = 4;
    // Zoom All leaves this many pixels around the objects (less on a tiny surface).
    static constexpr int kMarginPixels = 12;
    // The closest and the farthest views, in pixels per world unit.
    static constexpr double kMaxScale = 64;
    static constexpr double kMinScale = 1e-9;
    // Centres stay within this distance of the origin (world units).
    static constexpr double kMaxCoordinate = 68719476736.0; // 2^36
    // Zoom All around objects without width or height shows this much.
    static constexpr int64_t kMinExtent = 1000;

    // Size of the drawing surface in pixels (at least 1 by 1).
    void SetSurface(int width, int height);
    int SurfaceWidth() const { return width_; }
    int SurfaceHeight() const { return height_; }

    // Without a window there is nothing to draw.
    bool HasWindow() const { return hasWindow_; }
    void ClearWindow();
    // Shows the whole rectangle (corners in any order) about its centre.
    void SetWindow(WorldRect w);
    // The world the surface shows, from its first pixel to its last.
    WorldRect Visible() const;
    double CentreX() const { return cx_; }
    double CentreY() const { return cy_; }

    // The whole extent, centred, with kMarginPixels around it (no window
    // when it is empty).
    void ZoomAll(const Box& extent);
    // Same centre, twice (half) the scale.
    void ZoomIn() { ZoomBy(2); }
    void ZoomOut() { ZoomBy(0.5); }
    // Same centre, the scale times `factor`.
    void ZoomBy(double factor);
    // The scale times `factor`, the world position under the surface
    // point `at` staying under it (the mouse wheel).
    void ZoomAbout(ScreenPoint at, double factor);
    // Moves the map by (dx, dy) pixels: what was under a point is then
    // (dx, dy) pixels further on.
    void PanBy(double dx, double dy);
    // Same scale, centred on the world position.
    void CentreOn(double x, double y);
    // The end of a mouse drag from `anchor` to `release` (surface pixels).
    // The right button zooms out; a left drag of at most kPanPixels across
    // or down moves the map with the mouse (a click does not move it); a
    // larger one shows the dragged rectangle.
    DragAction Drag(ScreenPoint anchor, ScreenPoint release, MouseButton button);

    // Pixels per world unit.
    double Scale() const { return scale_; }
    // World to surface pixels (y grows upwards in the world, downwards on
    // the surface), and back.
    ScreenPoint ToScreen(double x, double y) const
    {
        return {(x - cx_) * scale_ + HalfWidth(), HalfHeight() - (y - cy_) * scale_};
    }
    void ToWorld(ScreenPoint s, double& x, double& y) const
    {
        x = cx_ + (s.x - HalfWidth()) / scale_;
        y = cy_ + (HalfHeight() - s.y) / scale_;
    }
    // The world distance of kHitPixels.
    double Tolerance() const { return kHitPixels / scale_; }

    // Changes whenever what is shown changes (window or surface size).
    uint64_t Generation() const { return generation_; }

private:
    double HalfWidth() const { return (width_ - 1) / 2.0; }
    double HalfHeight() const { return (height_ - 1) / 2.0; }
    // Sets the centre and scale within their limits; counts a change.
    void Show(double cx, double cy, double scale);

    int width_ = 1;
    int height_ = 1;
    bool hasWindow_ = false;
    double cx_ = 0;
    double cy_ = 0;
    double scale_ = 1;
    uint64_t generation_ = 0;
};

// The first object (in reading order) of a shown file at world position
// (x, y): a point whose coordinates both differ by less than `tolerance`,
// a line with a segment within `tolerance`, a region whose rings hold the
// position. -1 when none.
int64_t HitTest(const DrawingModel& model, double x, double y, double tolerance);

// The text of the cursor position: "Lon/Lat: " and the two coordinates
// with six decimals, or "X/Y: " and metres for projected files.
std::string PositionText(Units units, double x, double y);

} // namespace zalor::view
