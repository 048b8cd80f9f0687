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

ViewState Viewing(WorldRect w, int width = 1001, int height = 801)
{
    ViewState v;
    v.SetSurface(width, height);
    v.SetWindow(w);
    return v;
}

// Where the world position lands after `change`, against where it was.
template <class Change>
void ExpectStays(ViewState& v, double x, double y, Change change)
{
    const ScreenPoint before = v.ToScreen(x, y);
    change();
    const ScreenPoint after = v.ToScreen(x, y);
    EXPECT_NEAR(after.x, before.x, 1e-6);
    EXPECT_NEAR(after.y, before.y, 1e-6);
}

} // namespace

TEST(ViewState, ZoomAllCentresTheExtentWithAMargin)
{
    ViewState v;
    v.SetSurface(1001, 801);
    EXPECT_FALSE(v.HasWindow());
    v.ZoomAll(Box{});
    EXPECT_FALSE(v.HasWindow());
    // 10000 wide, 2000 high: the width decides, the height is centred.
    v.ZoomAll(Box{-2000, 1000, 8000, 3000});
    ASSERT_TRUE(v.HasWindow());
    const double m = ViewState::kMarginPixels;
    EXPECT_DOUBLE_EQ(v.Scale(), (1000 - 2 * m) / 10000);
    const ScreenPoint low = v.ToScreen(-2000, 1000), high = v.ToScreen(8000, 3000), mid = v.ToScreen(3000, 2000);
    EXPECT_NEAR(low.x, m, 1e-9);
    EXPECT_NEAR(high.x, 1000 - m, 1e-9);
    EXPECT_DOUBLE_EQ(mid.x, 500);
    EXPECT_DOUBLE_EQ(mid.y, 400);
    EXPECT_GT(low.y, high.y); // higher y is further up
    EXPECT_NEAR(low.y - 400, 400 - high.y, 1e-9);
    double x = 0, y = 0;
    v.ToWorld(high, x, y);
    EXPECT_NEAR(x, 8000, 1e-9);
    EXPECT_NEAR(y, 3000, 1e-9);
    // A north-south line (no width) fits the height and stands in the middle.
    v.ZoomAll(Box{500, -4000, 500, 4000});
    EXPECT_DOUBLE_EQ(v.ToScreen(500, 0).x, 500);
    EXPECT_DOUBLE_EQ(v.ToScreen(500, 4000).y, m);
    EXPECT_DOUBLE_EQ(v.ToScreen(500, -4000).y, 800 - m);
    // One point gets a window around it, the point in the middle.
    v.ZoomAll(Box{5, 5, 5, 5});
    EXPECT_TRUE(std::isfinite(v.Scale()) && v.Scale() > 0);
    EXPECT_DOUBLE_EQ(v.ToScreen(5, 5).x, 500);
    EXPECT_DOUBLE_EQ(v.ToScreen(5, 5).y, 400);
    // A surface too small for the margin still shows everything.
    v.SetSurface(20, 10);
    v.ZoomAll(Box{0, 0, 100, 100});
    EXPECT_GE(v.ToScreen(0, 0).y, v.ToScreen(0, 100).y);
    EXPECT_LE(v.ToScreen(0, 0).y, 9);
    EXPECT_GE(v.ToScreen(0, 100).y, 0);
}

TEST(ViewState, ZoomInTwiceThenOutTwiceRestoresTheWindow)
{
    for (WorldRect w : {WorldRect{-113381764, 34897762, -113320797, 34916847}, WorldRect{0, 0, 1001, 999},
                        WorldRect{-7, -3, 93, 47}}) {
        ViewState v = Viewing(w);
        const uint64_t g = v.Generation();
        const double scale = v.Scale();
        v.ZoomIn();
        EXPECT_NE(v.Generation(), g);
        EXPECT_NEAR(v.Visible().Width(), Viewing(w).Visible().Width() / 2, 1e-6);
        v.ZoomIn();
        v.ZoomOut();
        v.ZoomOut();
        EXPECT_DOUBLE_EQ(v.Scale(), scale);
        EXPECT_DOUBLE_EQ(v.CentreX(), w.minX + w.Width() / 2);
        EXPECT_DOUBLE_EQ(v.CentreY(), w.minY + w.Height() / 2);
    }
    // Zooming stops at the limits instead of reaching a window of no size.
    ViewState v = Viewing({0, 0, 100, 100});
    for (int i = 0; i < 100; ++i) v.ZoomIn();
    EXPECT_LE(v.Scale(), ViewState::kMaxScale);
    for (int i = 0; i < 200; ++i) v.ZoomOut();
    EXPECT_GE(v.Scale(), ViewState::kMinScale);
    EXPECT_TRUE(std::isfinite(v.Visible().Width()));
}

TEST(ViewState, ClicksDragsAndTheWheel)
{
    const WorldRect w{0, 0, 10000, 8000};
    // A click moves nothing.
    ViewState v = Viewing(w);
    uint64_t g = v.Generation();
    EXPECT_EQ(v.Drag({500, 400}, {500, 400}, MouseButton::Left), DragAction::Pan);
    EXPECT_EQ(v.Generation(), g);
    // A short drag moves the map with the mouse: what was under the
    // anchor is under the release point, at the same scale.
    double ax = 0, ay = 0;
    v.ToWorld({500, 400}, ax, ay);
    EXPECT_EQ(v.Drag({500, 400}, {510, 413}, MouseButton::Left), DragAction::Pan);
    EXPECT_NE(v.Generation(), g);
    EXPECT_NEAR(v.ToScreen(ax, ay).x, 510, 1e-9);
    EXPECT_NEAR(v.ToScreen(ax, ay).y, 413, 1e-9);
    EXPECT_DOUBLE_EQ(v.Scale(), Viewing(w).Scale());
    // Long but thin is still a move.
    v = Viewing(w);
    v.ToWorld({100, 400}, ax, ay);
    EXPECT_EQ(v.Drag({100, 400}, {900, 416}, MouseButton::Left), DragAction::Pan);
    EXPECT_NEAR(v.ToScreen(ax, ay).x, 900, 1e-9);
    // Beyond 16 pixels both ways: the dragged rectangle, whole and centred.
    v = Viewing(w);
    EXPECT_EQ(v.Drag({100, 700}, {300, 500}, MouseButton::Left), DragAction::ZoomToRect);
    EXPECT_NEAR(v.CentreX(), 2000, 1e-6);
    EXPECT_NEAR(v.CentreY(), 2000, 1e-6);
    EXPECT_NEAR(std::min(v.Visible().Width(), v.Visible().Height()), 2000, 1e-6);
    // The right button zooms out.
    v = Viewing(w);
    EXPECT_EQ(v.Drag({100, 100}, {600, 600}, MouseButton::Right), DragAction::ZoomOut);
    EXPECT_DOUBLE_EQ(v.Scale(), Viewing(w).Scale() / 2);
    // The wheel zooms about the cursor, there and back.
    v = Viewing(w);
    v.ToWorld({123, 456}, ax, ay);
    ExpectStays(v, ax, ay, [&] { v.ZoomAbout({123, 456}, 1.5); });
    EXPECT_DOUBLE_EQ(v.Scale(), Viewing(w).Scale() * 1.5);
    ExpectStays(v, ax, ay, [&] { v.ZoomAbout({123, 456}, 1 / 1.5); });
    EXPECT_NEAR(v.CentreX(), 5000, 1e-6);
    // At the closest scale the wheel changes nothing.
    for (int i = 0; i < 60; ++i) v.ZoomIn();
    g = v.Generation();
    v.ZoomAbout({10, 10}, 2);
    EXPECT_EQ(v.Generation(), g);
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
    // Objects of a hidden file are not found.
    m.SetShown(0, false);
    EXPECT_EQ(HitTest(m, 2500, 9, tol), -1);
    EXPECT_EQ(HitTest(m, 1000, 1000, tol), -1);
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
