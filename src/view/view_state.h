// The viewer's window onto the world: which rectangle is shown, at what
// scale, how zooming and dragging change it, and which object lies under a
// position. No GUI code in here.
#pragma once

#include "view/drawing.h"

#include <cstdint>
#include <string>

namespace zalor::view {

// World rectangle, in the units of the objects' points.
struct WorldWindow {
    int64_t minX = 0;
    int64_t minY = 0;
    int64_t maxX = 0;
    int64_t maxY = 0;
    int64_t Width() const { return maxX - minX; }
    int64_t Height() const { return maxY - minY; }
    friend bool operator==(const WorldWindow&, const WorldWindow&) = default;
};

struct ScreenPoint {
    double x = 0;
    double y = 0;
};

enum class MouseButton { Left, Right };
enum class DragAction { Pan, ZoomToRect, ZoomOut };

class ViewState {
public:
    // A drag of at most this many pixels across or down pans.
    static constexpr int kPanPixels = 16;
    // A query finds objects within this many pixels.
    static constexpr double kHitPixels = 4;
    // A window is never narrower than this (world units), nor wider than kMaxSize.
    static constexpr int64_t kMinSize = 4;
    static constexpr int64_t kMaxSize = int64_t{1} << 36;
    // Zoom All around objects without width or height shows this much.
    static constexpr int64_t kMinExtent = 1000;

    // Size of the drawing surface in pixels (at least 1 by 1).
    void SetSurface(int width, int height);
    int SurfaceWidth() const { return width_; }
    int SurfaceHeight() const { return height_; }

    // Without a window there is nothing to draw.
    bool HasWindow() const { return hasWindow_; }
    const WorldWindow& Window() const { return window_; }
    void ClearWindow();
    // Shows the rectangle (its corners in any order), kept within the size limits.
    void SetWindow(WorldWindow w);

    // The window becomes `extent` (none when it is empty).
    void ZoomAll(const Box& extent);
    // Same centre, half (double) the width and height.
    void ZoomIn();
    void ZoomOut();
    // Same size, centred on the world position.
    void CentreOn(double x, double y);
    // The end of a mouse drag from `anchor` to `release` (surface pixels).
    // The right button zooms out; a left drag of at most kPanPixels across
    // or down centres the window on the release point; a larger one shows
    // the dragged rectangle.
    DragAction Drag(ScreenPoint anchor, ScreenPoint release, MouseButton button);

    // Pixels per world unit: the whole window fits the surface.
    double Scale() const { return scale_; }
    // World to surface pixels (y grows upwards in the world, downwards on
    // the surface), and back.
    ScreenPoint ToScreen(double x, double y) const
    {
        return {(x - static_cast<double>(window_.minX)) * scale_,
                static_cast<double>(height_ - 1) - (y - static_cast<double>(window_.minY)) * scale_};
    }
    void ToWorld(ScreenPoint s, double& x, double& y) const;
    // The world distance of kHitPixels.
    double Tolerance() const { return kHitPixels / scale_; }

    // Changes whenever what is shown changes (window or surface size).
    uint64_t Generation() const { return generation_; }

private:
    void Update();

    int width_ = 1;
    int height_ = 1;
    bool hasWindow_ = false;
    WorldWindow window_;
    double scale_ = 1;
    uint64_t generation_ = 0;
};

// The first object (in reading order) at world position (x, y): a point
// whose coordinates both differ by less than `tolerance`, a line with a
// segment within `tolerance`, a region whose rings hold the position.
// -1 when none.
int64_t HitTest(const DrawingModel& model, double x, double y, double tolerance);

// The text of the cursor position: "Lon/Lat: " and the two coordinates
// with six decimals, or "X/Y: " and metres for projected files.
std::string PositionText(Units units, double x, double y);

} // namespace zalor::view
