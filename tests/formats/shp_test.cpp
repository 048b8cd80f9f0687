#include "formats/shp/shp_file.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace zalor;
using zalor::test::ReadFile;
using zalor::test::TempDir;

namespace {

int32_t BE(const std::string& b, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return static_cast<int32_t>(v);
}

int32_t LE(const std::string& b, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return static_cast<int32_t>(v);
}

double D(const std::string& b, std::size_t at)
{
    double d;
    std::memcpy(&d, b.data() + at, 8);
    return d;
}

} // namespace

TEST(Shapefile, EmptyFileHeaders)
{
    std::string dir = TempDir("shpempty");
    {
        TShpFile f(dir + "E.SHP", TShpFile::kPolygon);
        EXPECT_EQ(f.IndexFileName(), dir + "E.SHX");
        EXPECT_TRUE(f.Close());
    }
    for (const char* name : {"E.SHP", "E.SHX"}) {
        std::string b = ReadFile(dir + name);
        ASSERT_EQ(b.size(), 100u) << name;
        EXPECT_EQ(BE(b, 0), 9994);
        for (std::size_t i = 4; i < 24; ++i) EXPECT_EQ(b[i], 0);
        EXPECT_EQ(BE(b, 24), 50);
        EXPECT_EQ(LE(b, 28), 1000);
        EXPECT_EQ(LE(b, 32), 5);
        EXPECT_EQ(D(b, 36), 2147.483647);  // Xmin
        EXPECT_EQ(D(b, 44), 2147.483647);  // Ymin
        EXPECT_EQ(D(b, 52), -2147.483647); // Xmax
        EXPECT_EQ(D(b, 60), -2147.483647); // Ymax
        for (std::size_t i = 68; i < 100; ++i) EXPECT_EQ(b[i], 0);
    }
}

TEST(Shapefile, PointRecordsAndIndex)
{
    std::string dir = TempDir("shppoint");
    {
        TShpFile f(dir + "P.SHP", TShpFile::kPoint);
        f.WritePointRecord(1, -87654321, 41500000);
        f.WritePointRecord(2, GeoPoint{-87000000, 42000000});
        EXPECT_TRUE(f.Close());
    }
    std::string b = ReadFile(dir + "P.SHP");
    ASSERT_EQ(b.size(), 100u + 2 * 28); // a point record takes 28 bytes
    EXPECT_EQ(BE(b, 24), static_cast<int32_t>(b.size() / 2));
    EXPECT_EQ(LE(b, 32), 1);
    EXPECT_EQ(BE(b, 100), 1);
    EXPECT_EQ(BE(b, 104), 10);
    EXPECT_EQ(LE(b, 108), 1);
    EXPECT_EQ(D(b, 112), -87.654321);
    EXPECT_EQ(D(b, 120), 41.5);
    EXPECT_EQ(BE(b, 128), 2);
    // The file box: Xmin, Ymin, Xmax, Ymax.
    EXPECT_EQ(D(b, 36), -87.654321);
    EXPECT_EQ(D(b, 44), 41.5);
    EXPECT_EQ(D(b, 52), -87.0);
    EXPECT_EQ(D(b, 60), 42.0);

    std::string x = ReadFile(dir + "P.SHX");
    ASSERT_EQ(x.size(), 116u);
    EXPECT_EQ(BE(x, 24), 58);
    EXPECT_EQ(D(x, 36), -87.654321); // the same header box
    EXPECT_EQ(BE(x, 100), 50);       // offset in words
    EXPECT_EQ(BE(x, 104), 10);       // content length in words
    EXPECT_EQ(BE(x, 108), 64);
    EXPECT_EQ(BE(x, 112), 10);
}

TEST(Shapefile, PolylineAndPolygonRecords)
{
    std::string dir = TempDir("shppoly");
    std::vector<GeoPoint> line = {{-87500000, 41400000}, {-87400000, 41600000}};
    std::vector<GeoPoint> rings = {{0, 0},       {0, 1000000}, {1000000, 1000000}, {1000000, 0}, {0, 0},
                                   {200000, 200000}, {200000, 300000}, {300000, 300000}, {200000, 200000}};
    {
        TShpFile l(dir + "L.SHP", TShpFile::kPolyLine);
        std::vector<int32_t> parts = {2};
        EXPECT_TRUE(l.WritePolyRecord(TShpFile::kPolyLine, line, 1, parts));
        EXPECT_TRUE(l.Close());
        TShpFile g(dir + "G.SHP", TShpFile::kPolygon);
        std::vector<int32_t> ringSizes = {5, 4};
        EXPECT_TRUE(g.WritePolyRecord(TShpFile::kPolygon, rings, 7, ringSizes));
        EXPECT_TRUE(g.Close());
    }
    std::string b = ReadFile(dir + "L.SHP");
    ASSERT_EQ(b.size(), 100u + 8 + 80);
    EXPECT_EQ(BE(b, 104), 40); // 44 + 4 + 32 bytes
    EXPECT_EQ(LE(b, 108), 3);
    EXPECT_EQ(D(b, 112), -87.5); // record box
    EXPECT_EQ(D(b, 120), 41.4);
    EXPECT_EQ(D(b, 128), -87.4);
    EXPECT_EQ(D(b, 136), 41.6);
    EXPECT_EQ(LE(b, 144), 1);
    EXPECT_EQ(LE(b, 148), 2);
    EXPECT_EQ(LE(b, 152), 0);
    EXPECT_EQ(D(b, 156), -87.5);
    EXPECT_EQ(D(b, 164), 41.4);
    std::string x = ReadFile(dir + "L.SHX");
    EXPECT_EQ(BE(x, 104), 40);

    std::string g = ReadFile(dir + "G.SHP");
    ASSERT_EQ(g.size(), 100u + 8 + 44 + 8 + 16 * 9);
    EXPECT_EQ(BE(g, 100), 7);
    EXPECT_EQ(LE(g, 108), 5);
    EXPECT_EQ(LE(g, 144), 2);
    EXPECT_EQ(LE(g, 148), 9);
    EXPECT_EQ(LE(g, 152), 0); // part indices
    EXPECT_EQ(LE(g, 156), 5);
    EXPECT_EQ(D(g, 160 + 16 * 5), 0.2);
}

TEST(Shapefile, InconsistentPartsAreRefused)
{
    std::string dir = TempDir("shpbad");
    TShpFile f(dir + "B.SHP", TShpFile::kPolygon);
    std::vector<GeoPoint> pts(4);
    std::vector<int32_t> tooMany = {3, 2}, negative = {5, -1}, tooFew = {3};
    EXPECT_FALSE(f.WritePolyRecord(TShpFile::kPolygon, pts, 1, tooMany));
    EXPECT_FALSE(f.WritePolyRecord(TShpFile::kPolygon, pts, 1, negative));
    EXPECT_FALSE(f.WritePolyRecord(TShpFile::kPolygon, pts, 1, tooFew));
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(ReadFile(dir + "B.SHP").size(), 100u);
}

TEST(Shapefile, DegreesAndExtensions)
{
    EXPECT_EQ(TShpFile::Degrees(-87654321), -87.654321);
    EXPECT_EQ(TShpFile::Degrees(41500000), 41.5);
    EXPECT_EQ(TShpFile::Degrees(0), 0.0);
    EXPECT_EQ(ChangeFileExtension("/a.b/TGR01001A.SHP", ".SHX"), "/a.b/TGR01001A.SHX");
    EXPECT_EQ(ChangeFileExtension("/a.b/NOEXT", ".SHX"), "/a.b/NOEXT.SHX");
}

TEST(Shapefile, WritesToAFullDeviceFailOnClose)
{
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    std::string dir = TempDir("shpfull");
    // Only the index runs out of room.
    std::filesystem::create_symlink("/dev/full", dir + "F.SHX");
    TShpFile f(dir + "F.SHP", TShpFile::kPoint);
    f.WritePointRecord(1, 1, 2);
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(f.FailedPath(), dir + "F.SHX");
}
