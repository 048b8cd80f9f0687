#include "geometry/coords.h"
#include "tiger/fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <stdexcept>

namespace zalor {
namespace {

std::vector<GeoPoint> Pts(std::initializer_list<std::pair<int32_t, int32_t>> list)
{
    std::vector<GeoPoint> v;
    for (auto [x, y] : list) v.push_back({x, y});
    return v;
}

TEST(ReduceCoordinateField, CutsTowardZeroOnTheRawText)
{
    EXPECT_EQ(ReduceCoordinateField("-087654321", 4), -87654300);
    EXPECT_EQ(ReduceCoordinateField("-087654321", 6), -87654321);
    EXPECT_EQ(ReduceCoordinateField("+41599999", 1), 41500000);
    EXPECT_EQ(ReduceCoordinateField("+41599999", 5), 41599990);
    // Out-of-range precisions are brought into 1..6.
    EXPECT_EQ(ReduceCoordinateField("+41599999", 0), 41500000);
    EXPECT_EQ(ReduceCoordinateField("+41599999", 9), 41599999);
    // A field shorter than the digits to clear becomes zeros.
    EXPECT_EQ(ReduceCoordinateField("12", 1), 0);
    EXPECT_EQ(ReduceCoordinateField("", 3), 0);
}

TEST(SimplifyShapePoints, ShortListsStay)
{
    auto two = Pts({{0, 0}, {0, 0}});
    SimplifyShapePoints(two, 1000);
    EXPECT_EQ(two.size(), 2u);
}

TEST(SimplifyShapePoints, DuplicatesAreDroppedAgainstTheSamePoint)
{
    auto p = Pts({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {5, 5}});
    SimplifyShapePoints(p, 0);
    EXPECT_EQ(p, Pts({{0, 0}, {5, 5}}));
    auto q = Pts({{0, 0}, {10, 0}, {10, 0}});
    SimplifyShapePoints(q, 0);
    EXPECT_EQ(q, Pts({{0, 0}, {10, 0}}));
}

TEST(SimplifyShapePoints, PointAtTheToleranceGoesOneBeyondStays)
{
    auto at = Pts({{0, 0}, {5, 3}, {10, 0}});
    SimplifyShapePoints(at, 3);
    EXPECT_EQ(at, Pts({{0, 0}, {10, 0}}));
    auto beyond = Pts({{0, 0}, {5, 4}, {10, 0}});
    SimplifyShapePoints(beyond, 3);
    EXPECT_EQ(beyond.size(), 3u);
    // (3,4) lies 1.4 from the line through (0,0) and (8,6).
    auto slanted = Pts({{0, 0}, {3, 4}, {8, 6}});
    SimplifyShapePoints(slanted, 1);
    EXPECT_EQ(slanted.size(), 3u);
    slanted = Pts({{0, 0}, {3, 4}, {8, 6}});
    SimplifyShapePoints(slanted, 2);
    EXPECT_EQ(slanted, Pts({{0, 0}, {8, 6}}));
}

TEST(SimplifyShapePoints, ToleranceZeroDropsOnlyCollinearForwardPoints)
{
    auto p = Pts({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {3, 7}});
    SimplifyShapePoints(p, 0);
    EXPECT_EQ(p, Pts({{0, 0}, {3, 3}, {3, 7}}));
}

TEST(SimplifyShapePoints, TurningBackKeepsTheTip)
{
    // The path runs out to (10,0) and comes back: the tip lies on the line
    // through its neighbours, but dropping it would cut the spike off.
    auto spike = Pts({{0, 0}, {10, 0}, {5, 0}, {5, 9}});
    SimplifyShapePoints(spike, 100);
    EXPECT_EQ(spike, Pts({{0, 0}, {10, 0}, {5, 9}}));
    // North-south runs are treated like east-west ones.
    auto ns = Pts({{0, 0}, {0, 10}, {0, 5}, {9, 5}});
    SimplifyShapePoints(ns, 100);
    EXPECT_EQ(ns, Pts({{0, 0}, {0, 10}, {9, 5}}));
    // Out and straight back to the start.
    auto back = Pts({{0, 0}, {0, 5}, {0, 0}});
    SimplifyShapePoints(back, 100);
    EXPECT_EQ(back.size(), 3u);
}

TEST(SimplifyShapePoints, FirstAndLastAlwaysStay)
{
    auto p = Pts({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}});
    SimplifyShapePoints(p, 1000);
    EXPECT_EQ(p.front(), (GeoPoint{0, 0}));
    EXPECT_EQ(p.back(), (GeoPoint{4, 1}));
    EXPECT_EQ(p.size(), 2u);
}

TEST(Lambert, ParsesTheParameterText)
{
    LambertParameters p = ParseLambertParameters("6370997,-100,45");
    EXPECT_EQ(p.radius, 6370997.0);
    EXPECT_EQ(p.lon0, -100.0);
    EXPECT_EQ(p.lat0, 45.0);
    p = ParseLambertParameters("6.37e6, +12.5 ,-33.25");
    EXPECT_EQ(p.radius, 6370000.0);
    EXPECT_EQ(p.lon0, 12.5);
    EXPECT_EQ(p.lat0, -33.25);
    EXPECT_THROW(ParseLambertParameters("6370997,-100"), std::invalid_argument);
    EXPECT_THROW(ParseLambertParameters("6370997,-100,45,7"), std::invalid_argument); // the rest is the latitude
    EXPECT_THROW(ParseLambertParameters("abc,-100,45"), std::invalid_argument);
    EXPECT_THROW(ParseLambertParameters("6370997,,45"), std::invalid_argument);
    EXPECT_THROW(ParseLambertParameters("6370997,-100,nan"), std::invalid_argument);
}

Projection DefaultProjection()
{
    Projection p;
    SetupLambert(p, ParseLambertParameters("6370997,-100,45"));
    p.active = true;
    return p;
}

TEST(Lambert, StoredFactorsPutTheCentreJustOffTheOrigin)
{
    Projection p = DefaultProjection();
    double x = 1, y = 1;
    ProjectLambert(p, -100, 45, x, y);
    EXPECT_NEAR(x, 0.000028, 0.0000015);
    EXPECT_NEAR(y, -0.000018, 0.0000015);
    EXPECT_NE(x, 0.0);
}

TEST(Lambert, ProjectsAPointInIllinois)
{
    Projection p = DefaultProjection();
    double x = 0, y = 0;
    ProjectLambert(p, -87.5, 41.5, x, y);
    EXPECT_NEAR(x, 1036505.11, 0.005);
    EXPECT_NEAR(y, -310081.91, 0.005);
}

TEST(Lambert, AntipodeAndLongitudeWrap)
{
    Projection p = DefaultProjection();
    double x = 1, y = 1;
    ProjectLambert(p, 80, -45, x, y); // written as "0 0"
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    // Longitudes across the date line wrap to the same side.
    double x1, y1, x2, y2;
    ProjectLambert(p, 170, 50, x1, y1);
    ProjectLambert(p, -190, 50, x2, y2);
    EXPECT_NEAR(x1, x2, 1e-3);
    EXPECT_NEAR(y1, y2, 1e-3);
}

TEST(FormatFixed, SixDecimalsAlways)
{
    EXPECT_EQ(FormatFixed(-87654300), "-87.654300");
    EXPECT_EQ(FormatFixed(41500000), "41.500000");
    EXPECT_EQ(FormatFixed(-500000), "-0.500000");
    EXPECT_EQ(FormatFixed(5), "0.000005");
    EXPECT_EQ(FormatFixed(0), "0.000000");
    EXPECT_EQ(FormatFixed(-180000000), "-180.000000");
    EXPECT_EQ(FormatFixed(INT32_MIN), "-2147.483648");
    EXPECT_EQ(FormatFixed(-5), "-0.000005");
    EXPECT_EQ(FormatFixed(INT32_MAX), "2147.483647");
}

TEST(FormatGeneral15, FifteenSignificantDigits)
{
    EXPECT_EQ(FormatGeneral15(0), "0");
    EXPECT_EQ(FormatGeneral15(100), "100");
    EXPECT_EQ(FormatGeneral15(-2.5), "-2.5");
    EXPECT_EQ(FormatGeneral15(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FormatGeneral15(1036505.109340218), "1036505.10934022");
    EXPECT_EQ(FormatGeneral15(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatGeneral15(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FormatGeneral15(1e15), "1E15");
    EXPECT_EQ(FormatGeneral15(0.00001), "0.00001");
    EXPECT_EQ(FormatGeneral15(0.0000280123), "0.0000280123");
    EXPECT_EQ(FormatGeneral15(0.000001), "1E-6");
    EXPECT_EQ(FormatGeneral15(-2.5e-7), "-2.5E-7");
    EXPECT_EQ(FormatGeneral15(0.1 + 0.2), "0.3");
}

TEST(FormatCoordinatePair, GeographicOrProjected)
{
    Projection geo;
    EXPECT_EQ(FormatCoordinatePair(geo, {-87654300, 41500000}), "-87.654300 41.500000");
    Projection p = DefaultProjection();
    EXPECT_EQ(FormatCoordinatePair(p, {-87500000, 41500000}), "1036505.11052212 -310081.913418327");
    EXPECT_EQ(FormatCoordinatePair(p, {-100000000, 45000000}), "0.0000279715408621255 -0.0000178011917982834");
}

} // namespace
} // namespace zalor
