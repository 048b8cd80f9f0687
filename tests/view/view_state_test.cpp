// The viewer's window, zoom and drag rules, and what a query finds.
#include "view/drawing.h"
#include "view/object_grid.h"
#include "view/sample_files.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace zalor;
using namespace zalor::view;
using zalor::test::view::ScratchDir;
using zalor::test::view::Spill;

namespace {

ViewState Viewing(WorldWindow w, int width = 1001, int height = 801)
{
    ViewState v;
    v.SetSurface(width, height);
    v.SetWindow(w);
    return v;
}

} // namespace

TEST(ViewState, ZoomAllFitsTheWindowWithYUpwards)
{
    ViewState v;
    v.SetSurface(1001, 801);
    EXPECT_FALSE(v.HasWindow());
    v.ZoomAll(Box{});
    EXPECT_FALSE(v.HasWindow());
    v.ZoomAll(Box{-2000, 1000, 8000, 3000}); // 10000 wide, 2000 high: the width decides
    ASSERT_TRUE(v.HasWindow());
    EXPECT_EQ(v.Window(), (WorldWindow{-2000, 1000, 8000, 3000}));
    EXPECT_DOUBLE_EQ(v.Scale(), 1000.0 / 10000);
    const ScreenPoint low = v.ToScreen(-2000, 1000), high = v.ToScreen(8000, 3000);
    EXPECT_DOUBLE_EQ(low.x, 0);
    EXPECT_DOUBLE_EQ(low.y, 800); // the bottom row
    EXPECT_DOUBLE_EQ(high.x, 1000);
    EXPECT_DOUBLE_EQ(high.y, 600); // higher y is further up
    double x = 0, y = 0;
    v.ToWorld(high, x, y);
    EXPECT_DOUBLE_EQ(x, 8000);
    EXPECT_DOUBLE_EQ(y, 3000);
    // One point still gets a window around it.
    v.ZoomAll(Box{5, 5, 5, 5});
    EXPECT_GT(v.Window().Width(), 0);
    EXPECT_GT(v.Window().Height(), 0);
    EXPECT_TRUE(std::isfinite(v.Scale()));
}

TEST(ViewState, ZoomInTwiceThenOutTwiceRestoresTheWindow)
{
    for (WorldWindow w : {WorldWindow{-113381764, 34897762, -113320797, 34916847}, WorldWindow{0, 0, 1001, 999},
                          WorldWindow{-7, -3, 93, 47}}) {
        ViewState v = Viewing(w);
        const uint64_t g = v.Generation();
        v.ZoomIn();
        EXPECT_NE(v.Generation(), g);
        EXPECT_NEAR(double(v.Window().Width()), w.Width() / 2.0, 1);
        v.ZoomIn();
        v.ZoomOut();
        v.ZoomOut();
        EXPECT_NEAR(double(v.Window().minX), double(w.minX), 3);
        EXPECT_NEAR(double(v.Window().maxX), double(w.maxX), 3);
        EXPECT_NEAR(double(v.Window().minY), double(w.minY), 3);
        EXPECT_NEAR(double(v.Window().maxY), double(w.maxY), 3);
    }
    // Zooming stops at the limits instead of reaching a window of no size.
    ViewState v = Viewing({0, 0, 100, 100});
    for (int i = 0; i < 100; ++i) v.ZoomIn();
    EXPECT_GE(v.Window().Width(), ViewState::kMinSize);
    for (int i = 0; i < 100; ++i) v.ZoomOut();
    EXPECT_LE(v.Window().Width(), ViewState::kMaxSize);
    EXPECT_TRUE(std::isfinite(v.Scale()) && v.Scale() > 0);
}

TEST(ViewState, DragsPanZoomAndZoomOut)
{
    const WorldWindow w{0, 0, 10000, 8000};
    // 10 pixels: the window keeps its size, centred on the release point.
    ViewState v = Viewing(w);
    EXPECT_EQ(v.Drag({500, 400}, {510, 410}, MouseButton::Left), DragAction::Pan);
    EXPECT_EQ(v.Window().Width(), w.Width());
    EXPECT_EQ(v.Window().Height(), w.Height());
    double x = 0, y = 0;
    Viewing(w).ToWorld({510, 410}, x, y);
    EXPECT_NEAR(double(v.Window().minX + v.Window().Width() / 2), x, 1);
    EXPECT_NEAR(double(v.Window().minY + v.Window().Height() / 2), y, 1);
    // Long but thin is still a pan.
    v = Viewing(w);
    EXPECT_EQ(v.Drag({100, 400}, {900, 416}, MouseButton::Left), DragAction::Pan);
    // Beyond 16 pixels both ways: the dragged rectangle.
    v = Viewing(w);
    EXPECT_EQ(v.Drag({100, 700}, {300, 500}, MouseButton::Left), DragAction::ZoomToRect);
    EXPECT_EQ(v.Window(), (WorldWindow{1000, 1000, 3000, 3000}));
    // The right button zooms out.
    v = Viewing(w);
    EXPECT_EQ(v.Drag({100, 100}, {600, 600}, MouseButton::Right), DragAction::ZoomOut);
    EXPECT_EQ(v.Window().Width(), 2 * w.Width());
}

TEST(HitTest, PointLineAndRegionWithinTheTolerance)
{
    const std::string dir = ScratchDir("hit");
    // A point, a line, a region with a hole, and a second point on top of
    // the first (never found: the first object wins).
    Spill(dir + "h.MIF", "Version 450\nCOLUMNS 0\nDATA\n"
                         "POINT 0.001 0.001\n"
                         "PLINE\n3\n0.002 0\n0.003 0\n0.003 0.001\n"
                         "Region 2\n5\n0.010 0\n0.020 0\n0.020 0.010\n0.010 0.010\n0.010 0\n"
                         "5\n0.014 0.004\n0.016 0.004\n0.016 0.006\n0.014 0.006\n0.014 0.004\n"
                         "POINT 0.001 0.001\n");
    DrawingModel m;
    ASSERT_TRUE(m.Load({dir + "h.MIF"}).whole);
    ASSERT_EQ(m.Objects().size(), 4u);
    const double tol = 10; // micro-degrees
    EXPECT_EQ(HitTest(m, 1000, 1000, tol), 0);
    EXPECT_EQ(HitTest(m, 1009, 991, tol), 0);
    EXPECT_EQ(HitTest(m, 1010.5, 1000, tol), -1); // just outside
    EXPECT_EQ(HitTest(m, 2500, 9, tol), 1);       // beside the first segment
    EXPECT_EQ(HitTest(m, 3009, 500, tol), 1);     // beside the second
    EXPECT_EQ(HitTest(m, 2500, 10.5, tol), -1);
    EXPECT_EQ(HitTest(m, 3007, 1007, tol), 1);    // near the end, within the distance
    EXPECT_EQ(HitTest(m, 3008, 1008, tol), -1);   // 11.3 from the end point
    EXPECT_EQ(HitTest(m, 12000, 2000, tol), 2);   // inside the outer ring
    EXPECT_EQ(HitTest(m, 15000, 5000, tol), -1);  // in the hole
    EXPECT_EQ(HitTest(m, 20005, 5000, tol), -1);  // outside, within the tolerance of the edge
    // The tolerance is 4 pixels at the view's scale.
    ViewState v = Viewing({0, 0, 1000, 800});
    EXPECT_DOUBLE_EQ(v.Tolerance(), 4 / v.Scale());
}

TEST(ViewState, PositionText)
{
    EXPECT_EQ(PositionText(Units::MicroDegrees, -113345188.4, 34900711), "Lon/Lat: -113.345188, 34.900711");
    EXPECT_EQ(PositionText(Units::MicroDegrees, -5, 1e12), "Lon/Lat: -0.000005, 2147.483647");
    EXPECT_EQ(PositionText(Units::Millimetres, -125000250, 4500.4), "X/Y: -125000.250, 4.500");
}

// The grid finds exactly the objects whose boxes meet a rectangle, in
// reading order, small rectangles and large.
TEST(ObjectGrid, FindsWhatALinearScanFinds)
{
    const std::string shp = zalor::test::view::SampleOutput("shp");
    ASSERT_FALSE(shp.empty());
    DrawingModel m;
    ASSERT_TRUE(m.Load({shp + "TGR08901ALL.SHP", shp + "TGR08901W.SHP", shp + "TGR08901AN.SHP"}).whole);
    const Box e = m.Extent();
    std::mt19937 rng(12);
    std::vector<uint32_t> found;
    for (int i = 0; i < 300; ++i) {
        const double span = double(e.maxX - e.minX) / double(1 << (i % 12));
        const double x = e.minX - span / 2 + double(rng() % 1000) / 1000 * (e.maxX - e.minX + span);
        const double y = e.minY - span / 2 + double(rng() % 1000) / 1000 * (e.maxY - e.minY + span);
        m.Grid().Query(x, y, x + span, y + span / 2, found);
        std::vector<uint32_t> expected;
        for (uint32_t k = 0; k < m.Objects().size(); ++k) {
            const Box& b = m.Objects()[k].box;
            if (!b.Empty() && !(b.maxX < x || b.minX > x + span || b.maxY < y || b.minY > y + span / 2))
                expected.push_back(k);
        }
        ASSERT_EQ(found, expected) << i;
    }
}
