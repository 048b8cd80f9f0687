// The NAD27-to-NAD83 shift against PROJ's own cs2cs on a small grid made
// here: the machine has no NADCON grid, so a CTable2 grid under the old
// name PROJ also looks for ("conus", for us_noaa_conus.tif) covers a few
// cells around a county in Illinois with smooth shifts of tens of metres.
#include "geometry/datum_shift.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <thread>

namespace zalor {
namespace {

namespace fs = std::filesystem;

// The grid: nodes every half degree from 91 W, 39 N, 7 by 7.
constexpr double kWest = -91.0, kSouth = 39.0, kStep = 0.5;
constexpr int kNodes = 7;

AreaBox Box(int32_t west, int32_t south, int32_t east, int32_t north)
{
    AreaBox box;
    box.Widen(GeoPoint{west, south});
    box.Widen(GeoPoint{east, north});
    return box;
}

// The county's extent, inside the grid.
AreaBox County() { return Box(-90200000, 40100000, -89300000, 40900000); }

void PutLe(std::string& bytes, std::size_t at, const void* value, std::size_t size)
{
    // Grids are little-endian; so is every machine this is built on.
    static_assert(std::endian::native == std::endian::little);
    std::memcpy(bytes.data() + at, value, size);
}

// A CTable2 grid: the extent in radians, then per node the longitude shift
// (positive west) and the latitude shift in radians as floats.
std::string CTable2Grid()
{
    constexpr double kRadian = std::numbers::pi / 180, kArcSecond = kRadian / 3600;
    std::string bytes(160, ' ');
    std::memcpy(bytes.data(), "CTABLE V2.0     ", 16);
    const double extent[4] = {kWest * kRadian, kSouth * kRadian, kStep * kRadian, kStep * kRadian};
    const int32_t size[2] = {kNodes, kNodes};
    PutLe(bytes, 96, extent, sizeof extent);
    PutLe(bytes, 128, size, sizeof size);
    for (int row = 0; row < kNodes; ++row) {
        for (int col = 0; col < kNodes; ++col) {
            // Some -20 m east and +14 m north, changing smoothly.
            const double east = -0.8 + 0.05 * col + 0.02 * row + 0.004 * col * row;
            const double north = 0.45 + 0.03 * row - 0.01 * col;
            const float node[2] = {static_cast<float>(-east * kArcSecond), static_cast<float>(north * kArcSecond)};
            bytes.append(sizeof node, '\0');
            PutLe(bytes, bytes.size() - sizeof node, node, sizeof node);
        }
    }
    return bytes;
}

// A PROJ data directory: PROJ's database, and the grid when asked for.
// PROJ_DATA names it for the contexts made after this.
std::string ProjData(const std::string& name, bool withGrid)
{
    static const std::string database = [] {
        const char* data = std::getenv("PROJ_DATA");
        return std::string(data ? data : "/usr/share/proj") + "/proj.db";
    }();
    const std::string dir = test::TempDir(name);
    fs::create_symlink(database, dir + "proj.db");
    if (withGrid) test::WriteFile(dir + "conus", CTable2Grid());
    ::setenv("PROJ_DATA", dir.c_str(), 1);
    return dir;
}

// cs2cs's NAD83 longitude and latitude of each NAD27 point.
std::vector<std::array<double, 2>> Cs2cs(const std::vector<std::array<double, 2>>& points)
{
    std::string input;
    char line[80];
    for (const auto& p : points) {
        std::snprintf(line, sizeof line, "%.9f %.9f\n", p[1], p[0]);
        input += line;
    }
    const std::string file = test::TempDir("cs2cs-input") + "points.txt";
    test::WriteFile(file, input);
    std::vector<std::array<double, 2>> out;
    FILE* pipe = ::popen(("cs2cs -f %.12f EPSG:4267 EPSG:4269 < " + file).c_str(), "r");
    if (!pipe) return out;
    double lat = 0, lon = 0, h = 0;
    while (std::fscanf(pipe, "%lf %lf %lf", &lat, &lon, &h) == 3) out.push_back({lon, lat});
    ::pclose(pipe);
    return out;
}

double Metres(double lon, double lat, double lon2, double lat2)
{
    const double north = (lat2 - lat) * 111320.0, east = (lon2 - lon) * 111320.0 * std::cos(lat * std::numbers::pi / 180);
    return std::hypot(east, north);
}

// Points of the county: corners, grid nodes, cell middles and odd places.
std::vector<std::array<double, 2>> CountyPoints()
{
    std::vector<std::array<double, 2>> points = {{-90.2, 40.1}, {-89.3, 40.9}, {-90.0, 40.5}, {-89.5, 40.0},
                                                 {-89.75, 40.25}, {-89.876543, 40.123456}, {-89.300001, 40.899999}};
    for (int i = 0; i < 20; ++i) points.push_back({-90.2 + 0.045 * i, 40.1 + 0.0399 * i});
    return points;
}

TEST(DatumShift, AgreesWithCs2csOnTheGrid)
{
    ProjData("shift-grid", true);
    std::string error;
    std::optional<DatumShift> shift = DatumShift::Create(Datum::Nad27, County(), error);
    ASSERT_TRUE(shift) << error;
    EXPECT_TRUE(shift->Active());
    EXPECT_NE(shift->Description().find("NAD27 to NAD83"), std::string::npos) << shift->Description();
    EXPECT_NE(shift->Description().find("grid"), std::string::npos) << shift->Description();

    const std::vector<std::array<double, 2>> points = CountyPoints();
    const std::vector<std::array<double, 2>> expected = Cs2cs(points);
    ASSERT_EQ(expected.size(), points.size()) << "cs2cs (proj-bin) did not convert the points";
    for (std::size_t i = 0; i < points.size(); ++i) {
        double lon = points[i][0], lat = points[i][1];
        ASSERT_TRUE(shift->Shift(lon, lat)) << i;
        EXPECT_LT(Metres(lon, lat, expected[i][0], expected[i][1]), 0.01) << i;
        // The grid's shift, not a ballpark that leaves the point.
        EXPECT_GT(Metres(points[i][0], points[i][1], lon, lat), 10.0) << i;

        // Micro-degrees in and out, rounded to the nearest.
        GeoPoint p{static_cast<int32_t>(std::lround(points[i][0] * 1e6)),
                   static_cast<int32_t>(std::lround(points[i][1] * 1e6))};
        ASSERT_TRUE(shift->Apply(p));
        EXPECT_LE(std::fabs(p.x - expected[i][0] * 1e6), 0.5 + 1e-6) << i;
        EXPECT_LE(std::fabs(p.y - expected[i][1] * 1e6), 0.5 + 1e-6) << i;
    }
}

TEST(DatumShift, PointsOutsideTheGridFail)
{
    ProjData("shift-outside", true);
    std::string error;
    std::optional<DatumShift> shift = DatumShift::Create(Datum::Nad27, County(), error);
    ASSERT_TRUE(shift) << error;
    // Beyond the grid's last nodes (its area of use goes on: PROJ would
    // fall back on a ballpark there, the shift does not).
    for (GeoPoint outside : {GeoPoint{-92000000, 40000000}, GeoPoint{-89500000, 42500000}}) {
        GeoPoint p = outside;
        EXPECT_FALSE(shift->Apply(p));
        EXPECT_EQ(p, outside);
    }
    std::vector<GeoPoint> chain = {{-90000000, 40500000}, {-89900000, 40600000}, {-95000000, 40600000},
                                   {-89800000, 40700000}};
    const std::vector<GeoPoint> before = chain;
    const std::optional<std::size_t> failed = shift->Apply(std::span<GeoPoint>(chain));
    ASSERT_TRUE(failed);
    EXPECT_EQ(*failed, 2u);
    EXPECT_NE(chain[0], before[0]);
    EXPECT_NE(chain[1], before[1]);
    EXPECT_EQ(chain[2], before[2]);
    EXPECT_EQ(chain[3], before[3]);
    chain.erase(chain.begin() + 2);
    EXPECT_FALSE(shift->Apply(std::span<GeoPoint>(chain)));
}

TEST(DatumShift, RefusesWhenOnlyApproximateTransformationsAreThere)
{
    const std::string dir = ProjData("shift-nogrid", false);
    std::string error;
    EXPECT_FALSE(DatumShift::Create(Datum::Nad27, County(), error));
    // The grid to install, where, and what PROJ would have used instead.
    for (const std::string& part : std::vector<std::string>{"NAD27 to NAD83", "us_noaa_conus.tif", "PROJ_DATA", dir.substr(0, dir.size() - 1),
                                   "-90.200000 40.100000 to -89.300000 40.900000", "approximate"})
        EXPECT_NE(error.find(part), std::string::npos) << part << "\n" << error;

    // Hawaii's counties need the Hawaii grid; Guam has no grid to NAD83.
    error.clear();
    EXPECT_FALSE(DatumShift::Create(Datum::OldHawaiian, Box(-158300000, 21200000, -157600000, 21800000), error));
    EXPECT_NE(error.find("us_noaa_hawaii.tif"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(DatumShift::Create(Datum::Guam1963, Box(144600000, 13200000, 145000000, 13700000), error));
    EXPECT_NE(error.find("Guam 1963"), std::string::npos) << error;
    EXPECT_EQ(error.find("grid "), std::string::npos) << error;
    EXPECT_NE(error.find("approximate"), std::string::npos) << error;
}

TEST(DatumShift, Nad83ChangesNothing)
{
    std::string error;
    std::optional<DatumShift> shift = DatumShift::Create(Datum::Nad83, AreaBox(), error);
    ASSERT_TRUE(shift) << error;
    EXPECT_FALSE(shift->Active());
    EXPECT_TRUE(shift->Description().empty());
    GeoPoint p{-89500001, 40500001};
    EXPECT_TRUE(shift->Apply(p));
    EXPECT_EQ(p, (GeoPoint{-89500001, 40500001}));
}

// Counties convert on several threads, each with a shift of its own.
TEST(DatumShift, ShiftsOnSeveralThreadsAgree)
{
    ProjData("shift-threads", true);
    std::vector<GeoPoint> points;
    for (int i = 0; i < 2000; ++i) points.push_back({-90200000 + 450 * i, 40100000 + 399 * i});
    std::vector<GeoPoint> alone = points;
    std::string error;
    ASSERT_TRUE(DatumShift::Create(Datum::Nad27, County(), error)->Apply(std::span<GeoPoint>(alone)) == std::nullopt);

    std::vector<std::vector<GeoPoint>> results(4, points);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&result] {
            std::string why;
            std::optional<DatumShift> shift = DatumShift::Create(Datum::Nad27, County(), why);
            if (shift) shift->Apply(std::span<GeoPoint>(result));
        });
    for (std::thread& t : threads) t.join();
    for (const auto& result : results) EXPECT_EQ(result, alone);
}

} // namespace
} // namespace zalor
