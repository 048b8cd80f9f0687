// Files written by these writers, read back by an independent reader
// (GDAL's ogrinfo): the same geometries and attribute values must come out.
#include "formats/dbf.h"
#include "formats/shp.h"
#include "formats/textfile.h"

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

// Six-decimal text of a micro-degree value, as the coordinate texts are.
std::string Fixed(int32_t v)
{
    char buf[32];
    long long a = v < 0 ? -static_cast<long long>(v) : v;
    std::snprintf(buf, sizeof buf, "%s%lld.%06lld", v < 0 ? "-" : "", a / 1000000, a % 1000000);
    return buf;
}

std::string Pair(GeoPoint p) { return Fixed(p.x) + " " + Fixed(p.y); }

#define EXPECT_HAS(haystack, needle) EXPECT_NE((haystack).find(needle), std::string::npos) << (haystack)

const std::string kOddName = "Joe's \"Big\" Place, East";

} // namespace

TEST(GdalRoundTrip, PointShapefileWithItsTable)
{
    if (!HaveOgrInfo()) GTEST_SKIP() << "ogrinfo not installed";
    std::string dir = TempDir("gdalpoint");
    {
        TShpFile shp(dir + "TGR01001DP.SHP", TShpFile::kPoint);
        Tdbx dbf(dir + "TGR01001DP.DBF", Tdbx::kCreate);
        DefineFieldsFromColumns(dbf, "NUM integer\r\nLAND integer\r\nCFCC char (3)\r\nNAME char (30)\r\n");
        shp.WritePointRecord(1, -87654321, 41500000);
        MidRow row;
        row.Int(1).Int(123456).Text("D43").Text(kOddName);
        StoreRowAsRecord(dbf, 1, row.str());
        shp.WritePointRecord(2, -86000001, 40999999);
        StoreRowAsRecord(dbf, 2, "2,7,\"K25\",\"\"");
        ASSERT_TRUE(shp.Close());
        ASSERT_TRUE(dbf.Close());
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
        TShpFile shp(dir + "TGR01001A.SHP", TShpFile::kPolyLine);
        Tdbx dbf(dir + "TGR01001A.DBF", Tdbx::kCreate);
        DefineFieldsFromColumns(dbf, "NUM integer\r\nTLID integer\r\nCFCC char (3)\r\nNAME char (30)\r\n"
                                     "FRADDL char (9)\r\n");
        std::vector<GeoPoint> a = {{-87500000, 41400000}, {-87450000, 41450000}, {-87400000, 41600000}};
        std::vector<GeoPoint> b = {{-87400000, 41600000}, {-87300000, 41700000}};
        std::vector<int32_t> pa = {3}, pb = {2};
        ASSERT_TRUE(shp.WritePolyRecord(TShpFile::kPolyLine, a, 1, pa));
        StoreRowAsRecord(dbf, 1, "1,641234567,\"A41\",\"Main St\",1200");
        ASSERT_TRUE(shp.WritePolyRecord(TShpFile::kPolyLine, b, 2, pb));
        StoreRowAsRecord(dbf, 2, "2,-5,\"A41\",\"" + std::string(30, 'N') + "\",0");
        ASSERT_TRUE(shp.Close());
        ASSERT_TRUE(dbf.Close());
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
}

TEST(GdalRoundTrip, PolygonShapefileWithMicroDegreeCentroids)
{
    if (!HaveOgrInfo()) GTEST_SKIP() << "ogrinfo not installed";
    std::string dir = TempDir("gdalarea");
    {
        TShpFile shp(dir + "TGR01001TRACT.SHP", TShpFile::kPolygon);
        Tdbx dbf(dir + "TGR01001TRACT.DBF", Tdbx::kCreate);
        DefineFieldsFromColumns(dbf, "NUM integer\r\nSUF integer\r\nLON double\r\nLAT double\r\n"
                                     "CFCC char (3)\r\nNAME char (30)\r\n");
        // An outer ring (clockwise) with a hole (counter-clockwise).
        std::vector<GeoPoint> pts = {{-88000000, 41000000}, {-88000000, 42000000}, {-87000000, 42000000},
                                     {-87000000, 41000000}, {-88000000, 41000000}, {-87800000, 41200000},
                                     {-87600000, 41200000}, {-87600000, 41400000}, {-87800000, 41200000}};
        std::vector<int32_t> rings = {5, 4};
        ASSERT_TRUE(shp.WritePolyRecord(TShpFile::kPolygon, pts, 1, rings));
        StoreRowAsRecord(dbf, 1, "1,1001001,-87512345,41498765,\"H30\",\"Lake \"\"Round\"\"\"");
        ASSERT_TRUE(shp.Close());
        ASSERT_TRUE(dbf.Close());
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
        // A line file: the column text in one piece, as the line output writes it.
        TTextFile mif(dir + "TGR01001A.MIF", TTextFile::kCreate);
        TTextFile mid(dir + "TGR01001A.MID", TTextFile::kCreate);
        mif.WriteMifHeader();
        WriteMifColumns(mif, 4, "NUM integer\r\nTLID integer\r\nCFCC char (3)\r\nNAME char (30)\r\n");
        WriteMifPolyline(mif, line, Pair, MifPen{2, 2, 255});
        MidRow row;
        row.Int(1).Int(641234567).Text("A41").Text(kOddName);
        mid.WriteLine(row.str());
        WriteMifPolyline(mif, std::span<const GeoPoint>(line.data(), 2), Pair, MifPen{1, 2, 128});
        mid.WriteLine("2,5,\"A21\",\"\"");
        ASSERT_TRUE(mif.Close());
        ASSERT_TRUE(mid.Close());

        // An area file with its "double" centroid columns, and its centroid file.
        TTextFile amif(dir + "TGR01001TRACT.MIF", TTextFile::kCreate);
        TTextFile amid(dir + "TGR01001TRACT.MID", TTextFile::kCreate);
        TTextFile pmif(dir + "TGR01001TRACTP.MIF", TTextFile::kCreate);
        std::vector<std::string> cols = {"NUM integer", "Lon double", "Lat double", "TRACT integer",
                                         "NAME char (30)"};
        for (TTextFile* f : {&amif, &pmif}) {
            f->WriteMifHeader();
            WriteMifColumns(*f, cols);
        }
        std::vector<int32_t> sizes = {4};
        ASSERT_TRUE(WriteMifRegion(amif, ring, sizes, Pair));
        WriteMifBrush(amif, 16744452);
        WriteMifPoint(pmif, Pair({-87666667, 41666667}));
        row.Clear();
        row.Int(2).Plain(Fixed(-87666667)).Plain(Fixed(41666667)).Plain("100100").Text("Tract \"A\"");
        amid.WriteLine(row.str());
        ASSERT_TRUE(amif.Close());
        ASSERT_TRUE(amid.Close());
        ASSERT_TRUE(pmif.Close());
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
    EXPECT_HAS(out, "c:#0000ff");

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
