// What a GeoPackage table's layer makes of a feature before the writer
// thread inserts it: the geometry blob (read back here by its own reader),
// and the values bound to the columns.
#include "formats/gpkg/writer/blob.h"
#include "formats/gpkg/writer/row_batch.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zalor {
namespace {

struct XY {
    double x, y;
};
using Ring = std::vector<XY>;
using Polygon = std::vector<Ring>;

// Reads a blob's little-endian values in order.
class Reader {
public:
    explicit Reader(const std::string& blob) : b_(blob) {}
    uint8_t Byte() { return static_cast<uint8_t>(b_.at(at_++)); }
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t{Byte()} << (8 * i);
        return v;
    }
    double Double()
    {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= uint64_t{Byte()} << (8 * i);
        double d;
        std::memcpy(&d, &v, sizeof d);
        return d;
    }
    XY Point()
    {
        const double x = Double();
        return {x, Double()};
    }
    std::vector<XY> Points()
    {
        std::vector<XY> out(U32());
        for (XY& p : out) p = Point();
        return out;
    }
    // The WKB header of a geometry of `type`.
    void Geometry(uint32_t type)
    {
        EXPECT_EQ(Byte(), 1) << "little-endian";
        EXPECT_EQ(U32(), type);
    }
    std::vector<Polygon> MultiPolygon()
    {
        Geometry(6);
        std::vector<Polygon> polygons(U32());
        for (Polygon& polygon : polygons) {
            Geometry(3);
            polygon.resize(U32());
            for (Ring& ring : polygon) ring = Points();
        }
        return polygons;
    }
    bool AtEnd() const { return at_ == b_.size(); }

private:
    const std::string& b_;
    std::size_t at_ = 0;
};

// The blob's header: its flags, and the envelope when it has one.
std::vector<double> Header(Reader& r, uint8_t flags)
{
    EXPECT_EQ(r.Byte(), 'G');
    EXPECT_EQ(r.Byte(), 'P');
    EXPECT_EQ(r.Byte(), 0) << "version";
    EXPECT_EQ(r.Byte(), flags);
    EXPECT_EQ(r.U32(), 0u) << "the coordinate system's id is the writer thread's to put in";
    std::vector<double> envelope;
    if (flags & 0x0E)
        for (int i = 0; i < 4; ++i) envelope.push_back(r.Double());
    return envelope;
}

double SignedArea(const Ring& ring)
{
    double sum = 0;
    for (std::size_t i = 1; i < ring.size(); ++i) sum += ring[i - 1].x * ring[i].y - ring[i].x * ring[i - 1].y;
    return sum / 2;
}

bool Within(const Ring& inner, const Ring& outer)
{
    double minX = 1e300, maxX = -1e300;
    for (const XY& p : outer) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    for (const XY& p : inner)
        if (p.x <= minX || p.x >= maxX) return false;
    return true;
}

// The rings of an area as a layer gives them, and its blob read back.
struct Area {
    std::vector<GeoPoint> points;
    std::vector<int32_t> sizes;

    // Adds a closed square ring of micro-degrees, clockwise (a shapefile's
    // outer ring) or counter-clockwise (its hole).
    Area& Square(int32_t x, int32_t y, int32_t side, bool clockwise)
    {
        const GeoPoint cw[] = {{x, y}, {x, y + side}, {x + side, y + side}, {x + side, y}, {x, y}};
        for (int i = 0; i < 5; ++i) points.push_back(cw[clockwise ? i : 4 - i]);
        sizes.push_back(5);
        return *this;
    }
    // The polygons of its blob, whose envelope (and the box it gives the
    // index) is expected to be `envelope`.
    std::vector<Polygon> Blob(const std::vector<double>& envelope) const
    {
        std::string blob;
        Envelope box;
        AppendGeometryBlob(LayerGeometry::Area, Projection{}, points, sizes, box, blob);
        Reader r(blob);
        EXPECT_EQ(Header(r, 0x03), envelope);
        EXPECT_EQ((std::vector<double>{box.minX, box.maxX, box.minY, box.maxY}), envelope);
        std::vector<Polygon> polygons = r.MultiPolygon();
        EXPECT_TRUE(r.AtEnd());
        return polygons;
    }
};

TEST(GeoPackageBlob, LinesAndPointsHoldTheDegreesNearestTheirMicroDegrees)
{
    // The coordinates are the doubles that the decimal degrees name, not
    // micro-degrees times 1e-6; the envelope holds the extremes of them all.
    const GeoPoint line[] = {{-87654321, 41000001}, {-87999999, 41123457}, {-87000003, 40999999}};
    std::string blob;
    Envelope box;
    AppendGeometryBlob(LayerGeometry::Line, Projection{}, line, {}, box, blob);
    Reader r(blob);
    const std::vector<double> envelope = Header(r, 0x03);
    const double minX = std::strtod("-87.999999", nullptr), maxX = std::strtod("-87.000003", nullptr);
    const double minY = std::strtod("40.999999", nullptr), maxY = std::strtod("41.123457", nullptr);
    EXPECT_EQ(envelope, (std::vector<double>{minX, maxX, minY, maxY}));
    EXPECT_EQ(box.minX, minX);
    EXPECT_EQ(box.maxX, maxX);
    EXPECT_EQ(box.minY, minY);
    EXPECT_EQ(box.maxY, maxY);
    r.Geometry(2);
    const std::vector<XY> points = r.Points();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].x, std::strtod("-87.654321", nullptr));
    EXPECT_EQ(points[0].y, std::strtod("41.000001", nullptr));
    EXPECT_EQ(points[2].x, maxX);
    EXPECT_TRUE(r.AtEnd());

    // A point has no envelope in its blob, but its box is known.
    std::string point;
    Envelope pointBox;
    AppendGeometryBlob(LayerGeometry::Point, Projection{}, std::span<const GeoPoint>(line, 1), {}, pointBox, point);
    Reader p(point);
    EXPECT_TRUE(Header(p, 0x01).empty());
    p.Geometry(1);
    const XY xy = p.Point();
    EXPECT_EQ(xy.x, std::strtod("-87.654321", nullptr));
    EXPECT_EQ(xy.y, std::strtod("41.000001", nullptr));
    EXPECT_TRUE(p.AtEnd());
    EXPECT_EQ(pointBox.minX, xy.x);
    EXPECT_EQ(pointBox.maxY, xy.y);
}

TEST(GeoPackageBlob, OuterRingsRunCounterClockwiseAndHolesClockwiseEachInItsPolygon)
{
    // Rings as a shapefile has them: two outer rings (clockwise), then the
    // hole of the second and the hole of the first (counter-clockwise).
    const std::vector<Polygon> polygons = Area()
                                              .Square(-88000000, 41000000, 100000, true)
                                              .Square(-87500000, 41000000, 100000, true)
                                              .Square(-87480000, 41020000, 20000, false)
                                              .Square(-87980000, 41020000, 20000, false)
                                              .Blob({-88.0, -87.4, 41.0, 41.1});
    ASSERT_EQ(polygons.size(), 2u);
    for (const Polygon& polygon : polygons) {
        ASSERT_EQ(polygon.size(), 2u);
        EXPECT_GT(SignedArea(polygon[0]), 0) << "an outer ring runs clockwise";
        EXPECT_LT(SignedArea(polygon[1]), 0) << "a hole runs counter-clockwise";
        EXPECT_NEAR(std::abs(SignedArea(polygon[0])), 0.01, 1e-9);
        EXPECT_NEAR(std::abs(SignedArea(polygon[1])), 0.0004, 1e-9);
        EXPECT_TRUE(Within(polygon[1], polygon[0])) << "a hole in the other polygon";
    }

    // One ring, the way most areas come: turned likewise.
    const std::vector<Polygon> one = Area().Square(-88000000, 41000000, 100000, true).Blob({-88.0, -87.9, 41.0, 41.1});
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(one[0].size(), 1u);
    ASSERT_EQ(one[0][0].size(), 5u);
    EXPECT_GT(SignedArea(one[0][0]), 0);
}

std::string IconvLatin1(const std::string& in)
{
    iconv_t cd = iconv_open("UTF-8", "ISO-8859-1");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(in.size() * 2, '\0');
    char* src = const_cast<char*>(in.data());
    char* dst = out.data();
    std::size_t left = in.size(), room = out.size();
    EXPECT_NE(iconv(cd, &src, &left, &dst, &room), static_cast<std::size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

TEST(GeoPackageText, Latin1BecomesUtf8)
{
    std::string every;
    for (int c = 1; c < 256; ++c) {
        const std::string one(1, static_cast<char>(c));
        std::string out;
        AppendUtf8(out, one);
        EXPECT_EQ(out, IconvLatin1(one)) << "byte " << c;
        every += one;
    }
    std::string out = "kept ";
    AppendUtf8(out, every);
    EXPECT_EQ(out, "kept " + IconvLatin1(every));
}

TEST(GeoPackageValues, EachRowBindsItsOwnValues)
{
    const std::vector<Column> columns = {{"NUM", ColumnType::Integer},
                                         {"NAME", ColumnType::Char, 30},
                                         {"ZIP", ColumnType::Code, 5},
                                         {"LON", ColumnType::Degrees},
                                         {"LAT", ColumnType::Degrees}};
    RowBatch batch;
    Row row;
    // An integer in a text column is its decimal text; a row shorter than
    // the columns leaves the others null.
    AppendValues(row.Int(-7).Text("Pe\xF1" "a").Int(60601).Int(-87654321).Real(41.5), columns, batch);
    row.Clear();
    AppendValues(row.Int(8).Text("Oak"), columns, batch);
    ASSERT_EQ(batch.values.size(), 10u);
    using Kind = RowBatch::Value::Kind;
    auto text = [&](std::size_t i) {
        EXPECT_EQ(batch.values[i].kind, Kind::Text);
        return batch.text.substr(batch.values[i].text.begin, batch.values[i].text.end - batch.values[i].text.begin);
    };
    EXPECT_EQ(batch.values[0].kind, Kind::Integer);
    EXPECT_EQ(batch.values[0].integer, -7);
    EXPECT_EQ(text(1), "Pe\xC3\xB1" "a");
    EXPECT_EQ(text(2), "60601");
    EXPECT_EQ(batch.values[3].kind, Kind::Real);
    EXPECT_EQ(batch.values[3].real, std::strtod("-87.654321", nullptr));
    EXPECT_EQ(batch.values[4].kind, Kind::Real);
    EXPECT_EQ(batch.values[4].real, 41.5);
    EXPECT_EQ(batch.values[5].integer, 8);
    EXPECT_EQ(text(6), "Oak");
    for (std::size_t i = 7; i < 10; ++i) EXPECT_EQ(batch.values[i].kind, Kind::Null) << i;
}

} // namespace
} // namespace zalor
