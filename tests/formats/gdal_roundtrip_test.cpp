// Layers written by the format writers, read back by an independent reader
// (GDAL's ogrinfo): the same geometries and attribute values must come out.
#include "formats/mif/mif.h"
#include "formats/shp/shp.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

using namespace zalor;
using zalor::test::TempDir;

namespace {

bool HaveOgrInfo() { return std::system("ogrinfo --version >/dev/null 2>&1") == 0; }

// ogrinfo's full feature listing of a file, errors included.
std::string OgrInfo(const std::string& path)
{
    std::string cmd = "ogrinfo -ro -al -q '" + path + "' 2>&1";
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

// A layer of `format` at `base` with these columns, open for writing.
std::unique_ptr<LayerWriter> Open(const FormatDriver& format, const std::string& base, LayerGeometry geometry,
                                  std::vector<Column> columns, const std::string& theme = "")
{
    LayerDefinition def;
    def.geometry = geometry;
    def.basePath = base;
    def.theme = theme;
    def.columns = std::move(columns);
    WriteFailures failures;
    return OpenLayerWriter(format, def, failures);
}

#define EXPECT_HAS(haystack, needle) EXPECT_NE((haystack).find(needle), std::string::npos) << (haystack)

const std::string kOddName = "Joe's \"Big\" Place, East";

} // namespace

TEST(GdalRoundTrip, PointShapefileWithItsTable)
{
    if (!HaveOgrInfo()) GTEST_SKIP() << "ogrinfo not installed";
    std::string dir = TempDir("gdalpoint");
    {
        auto layer = Open(kShpFormat, dir + "TGR01001DP", LayerGeometry::Point,
                          {{"NUM", ColumnType::Integer},
                           {"LAND", ColumnType::Integer},
                           {"CFCC", ColumnType::Char, 3},
                           {"NAME", ColumnType::Char, 30}});
        ASSERT_TRUE(layer);
        Row row;
        layer->WritePoint({-87654321, 41500000}, row.Int(1).Int(123456).Text("D43").Text(kOddName));
        row.Clear();
        layer->WritePoint({-86000001, 40999999}, row.Int(2).Int(7).Text("K25").Text(""));
        ASSERT_TRUE(layer->Close().empty());
    }
    std::string out = OgrInfo(dir + "TGR01001DP.SHP");
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_HAS(out, "OGRFeature(TGR01001DP):0\n"
                    "  NUM (Integer64) = 1\n"
                    "  LAND (Integer64) = 123456\n"
                    "  CFCC (String) = D43\n"
                    "  NAME (String) = " + kOddName + "\n"
                    "  POINT (-87.654321 41.5)\n");
    EXPECT_HAS(out, "OGRFeature(TGR01001DP):1\n"
                    "  NUM (Integer64) = 2\n"
                    "  LAND (Integer64) = 7\n"
                    "  CFCC (String) = K25\n"
                    "  NAME (String) = (null)\n"
                    "  POINT (-86.000001 40.999999)\n");
}

TEST(GdalRoundTrip, PolylineShapefileWithItsTable)
{
    if (!HaveOgrInfo()) GTEST_SKIP() << "ogrinfo not installed";
    std::string dir = TempDir("gdalline");
    {
        auto layer = Open(kShpFormat, dir + "TGR01001A", LayerGeometry::Line,
                          {{"NUM", ColumnType::Integer},
                           {"TLID", ColumnType::Integer},
                           {"CFCC", ColumnType::Char, 3},
                           {"NAME", ColumnType::Char, 30},
                           {"FRADDL", ColumnType::Char, 9}});
        ASSERT_TRUE(layer);
        std::vector<GeoPoint> a = {{-87500000, 41400000}, {-87450000, 41450000}, {-87400000, 41600000}};
        std::vector<GeoPoint> b = {{-87400000, 41600000}, {-87300000, 41700000}};
        Row row;
        ASSERT_TRUE(layer->WriteLine(a, "A41", row.Int(1).Int(641234567).Text("A41").Text("Main St").Int(1200)));
        row.Clear();
        ASSERT_TRUE(layer->WriteLine(b, "A41", row.Int(2).Int(-5).Text("A41").Text(std::string(30, 'N')).Int(0)));
        ASSERT_TRUE(layer->Close().empty());
    }
    std::string out = OgrInfo(dir + "TGR01001A.SHP");
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_HAS(out, "  NUM (Integer64) = 1\n"
                    "  TLID (Integer64) = 641234567\n"
                    "  CFCC (String) = A41\n"
                    "  NAME (String) = Main St\n"
                    "  FRADDL (String) = 1200\n"
                    "  LINESTRING (-87.5 41.4,-87.45 41.45,-87.4 41.6)\n");
    EXPECT_HAS(out, "  NUM (Integer64) = 2\n"
                    "  TLID (Integer64) = -5\n"
                    "  CFCC (String) = A41\n"
                    "  NAME (String) = " + std::string(30, 'N') + "\n"
                    "  FRADDL (String) = 0\n"
                    "  LINESTRING (-87.4 41.6,-87.3 41.7)\n");
    EXPECT_NE(test::ReadFile(dir + "TGR01001A.PRJ").find("GCS_North_American_1983"), std::string::npos);
}

TEST(GdalRoundTrip, PolygonShapefileWithMicroDegreeCentroids)
{
    if (!HaveOgrInfo()) GTEST_SKIP() << "ogrinfo not installed";
    std::string dir = TempDir("gdalarea");
    {
        auto layer = Open(kShpFormat, dir + "TGR01001TRACT", LayerGeometry::Area,
                          {{"NUM", ColumnType::Integer},
                           {"SUF", ColumnType::Integer},
                           {"LON", ColumnType::Degrees},
                           {"LAT", ColumnType::Degrees},
                           {"CFCC", ColumnType::Code, 3},
                           {"NAME", ColumnType::Char, 30}});
        ASSERT_TRUE(layer);
        // An outer ring (clockwise) with a hole (counter-clockwise).
        std::vector<GeoPoint> pts = {{-88000000, 41000000}, {-88000000, 42000000}, {-87000000, 42000000},
                                     {-87000000, 41000000}, {-88000000, 41000000}, {-87800000, 41200000},
                                     {-87600000, 41200000}, {-87600000, 41400000}, {-87800000, 41200000}};
        std::vector<int32_t> rings = {5, 4};
        Row row;
        row.Int(1).Int(1001001).Int(-87512345).Int(41498765).Text("H30").Text("Lake \"Round\"");
        ASSERT_TRUE(layer->WriteArea(pts, rings, row));
        ASSERT_TRUE(layer->Close().empty());
    }
    std::string out = OgrInfo(dir + "TGR01001TRACT.SHP");
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_HAS(out, "  NUM (Integer64) = 1\n"
                    "  SUF (Integer64) = 1001001\n"
                    "  LON (Integer64) = -87512345\n"
                    "  LAT (Integer64) = 41498765\n"
                    "  CFCC (String) = H30\n"
                    "  NAME (String) = Lake \"Round\"\n"
                    "  POLYGON ((-88 41,-88 42,-87 42,-87 41,-88 41),"
                    "(-87.8 41.2,-87.6 41.2,-87.6 41.4,-87.8 41.2))\n");
}

TEST(GdalRoundTrip, MifAndMidFiles)
{
    if (!HaveOgrInfo()) GTEST_SKIP() << "ogrinfo not installed";
    std::string dir = TempDir("gdalmif");
    std::vector<GeoPoint> line = {{-87654321, 41500000}, {-87600000, 41550000}, {-87500000, 41600000}};
    std::vector<GeoPoint> ring = {{-88000000, 41000000}, {-88000000, 42000000}, {-87000000, 42000000},
                                  {-88000000, 41000000}};
    {
        auto lines = Open(kMifFormat, dir + "TGR01001A", LayerGeometry::Line,
                          {{"NUM", ColumnType::Integer},
                           {"TLID", ColumnType::Integer},
                           {"CFCC", ColumnType::Char, 3},
                           {"NAME", ColumnType::Char, 30}});
        ASSERT_TRUE(lines);
        Row row;
        lines->WriteLine(line, "A15", row.Int(1).Int(641234567).Text("A41").Text(kOddName));
        row.Clear();
        lines->WriteLine(std::span<const GeoPoint>(line.data(), 2), "A41", row.Int(2).Int(5).Text("A21").Text(""));
        ASSERT_TRUE(lines->Close().empty());

        // An area file with its degree centroid columns, and its centroid file.
        const std::vector<Column> cols = {{"NUM", ColumnType::Integer},
                                          {"Lon", ColumnType::Degrees},
                                          {"Lat", ColumnType::Degrees},
                                          {"TRACT", ColumnType::Integer},
                                          {"NAME", ColumnType::Char, 30}};
        auto areas = Open(kMifFormat, dir + "TGR01001TRACT", LayerGeometry::Area, cols, "CNTY");
        auto points = Open(kMifFormat, dir + "TGR01001TRACTP", LayerGeometry::Point, cols, "CNTY");
        ASSERT_TRUE(areas && points);
        std::vector<int32_t> sizes = {4};
        row.Clear();
        row.Int(2).Int(-87666667).Int(41666667).Int(100100).Text("Tract \"A\"");
        ASSERT_TRUE(areas->WriteArea(ring, sizes, row));
        ASSERT_TRUE(points->WritePoint({-87666667, 41666667}, row));
        ASSERT_TRUE(areas->Close().empty());
        ASSERT_TRUE(points->Close().empty());
    }
    std::string out = OgrInfo(dir + "TGR01001A.MIF");
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_HAS(out, "  NUM (Integer) = 1\n"
                    "  TLID (Integer) = 641234567\n"
                    "  CFCC (String) = A41\n"
                    "  NAME (String) = " + kOddName + "\n");
    EXPECT_HAS(out, "  LINESTRING (-87.654321 41.5,-87.6 41.55,-87.5 41.6)\n");
    EXPECT_HAS(out, "  NUM (Integer) = 2\n"
                    "  TLID (Integer) = 5\n"
                    "  CFCC (String) = A21\n"
                    "  NAME (String) = \n");
    EXPECT_HAS(out, "  LINESTRING (-87.654321 41.5,-87.6 41.55)\n");
    EXPECT_HAS(out, "c:#0000ff"); // the pen of a primary road

    out = OgrInfo(dir + "TGR01001TRACT.MIF");
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_HAS(out, "  NUM (Integer) = 2\n"
                    "  Lon (Real) = -87.666667\n"
                    "  Lat (Real) = 41.666667\n"
                    "  TRACT (Integer) = 100100\n"
                    "  NAME (String) = Tract \"A\"\n");
    EXPECT_HAS(out, "POLYGON ((-88 41,-88 42,-87 42,-88 41))");

    out = OgrInfo(dir + "TGR01001TRACTP.MIF");
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_HAS(out, "  POINT (-87.666667 41.666667)\n");
}
