#include "formats/gpkg/writer/blob.h"

#include <ogr_geometry.h>

#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace zalor {

namespace {

struct XY {
    double x, y;
};

XY Coordinates(const Projection& projection, GeoPoint p)
{
    XY out;
    if (!projection.active) {
        out.x = p.x / 1e6;
        out.y = p.y / 1e6;
    } else {
        ProjectLambert(projection, p.x * 0.000001, p.y * 0.000001, out.x, out.y);
    }
    return out;
}

// Little-endian values of a geometry blob.
void AppendU32(std::string& out, uint32_t v)
{
    char b[4];
    for (char& c : b) {
        c = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    out.append(b, 4);
}
void PutDouble(char* at, double d)
{
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &v, sizeof v);
    } else {
        for (int i = 0; i < 8; ++i) {
            at[i] = static_cast<char>(v & 0xFF);
            v >>= 8;
        }
    }
}

// Appends the points' coordinates (last to first when `reversed`) and
// widens `box` by them; the blob grows once for them all.
void AppendPoints(const Projection& projection, std::span<const GeoPoint> points, bool reversed, Envelope& box,
                  std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + 16 * points.size());
    char* at = out.data() + start;
    for (std::size_t k = 0; k < points.size(); ++k, at += 16) {
        const XY p = Coordinates(projection, points[reversed ? points.size() - 1 - k : k]);
        PutDouble(at, p.x);
        PutDouble(at + 8, p.y);
        box.Widen(p.x, p.y);
    }
}

// One ring (most areas): a multipolygon of one polygon, written straight
// away, turned.
void AppendOneRing(const Projection& projection, std::span<const GeoPoint> points, int32_t ringSize, Envelope& box,
                   std::string& wkb)
{
    wkb.push_back('\x01');
    AppendU32(wkb, 6); // MultiPolygon
    AppendU32(wkb, 1);
    wkb.push_back('\x01');
    AppendU32(wkb, 3); // Polygon
    AppendU32(wkb, 1);
    const std::size_t size = std::min(static_cast<std::size_t>(std::max(ringSize, 0)), points.size());
    AppendU32(wkb, static_cast<uint32_t>(size));
    AppendPoints(projection, points.first(size), true, box, wkb);
}

// Each ring as a polygon of its own, for GDAL to sort out.
std::vector<OGRGeometry*> RingPolygons(const Projection& projection, std::span<const GeoPoint> points,
                                       std::span<const int32_t> ringSizes, Envelope& box)
{
    std::vector<OGRGeometry*> rings;
    rings.reserve(ringSizes.size());
    std::size_t at = 0;
    for (int32_t size : ringSizes) {
        auto* ring = new OGRLinearRing();
        ring->setNumPoints(size, FALSE);
        for (int32_t i = 0; i < size; ++i) {
            const XY p = Coordinates(projection, points[at + static_cast<std::size_t>(i)]);
            ring->setPoint(i, p.x, p.y);
            box.Widen(p.x, p.y);
        }
        at += static_cast<std::size_t>(size);
        auto* polygon = new OGRPolygon();
        polygon->addRingDirectly(ring);
        rings.push_back(polygon);
    }
    return rings;
}

// Several rings: each hole goes into the polygon of the ring around it (as
// GDAL reads a shapefile's polygons) and every ring is turned.
void AppendOrganizedRings(const Projection& projection, std::span<const GeoPoint> points,
                          std::span<const int32_t> ringSizes, Envelope& box, std::string& wkb)
{
    std::vector<OGRGeometry*> rings = RingPolygons(projection, points, ringSizes, box);
    const char* const options[] = {"METHOD=ONLY_CCW", nullptr};
    int valid = 0;
    std::unique_ptr<OGRGeometry> organized(OGRGeometryFactory::organizePolygons(
        rings.data(), static_cast<int>(rings.size()), &valid, const_cast<const char**>(options)));
    if (wkbFlatten(organized->getGeometryType()) == wkbPolygon) {
        auto multi = std::make_unique<OGRMultiPolygon>();
        multi->addGeometryDirectly(organized.release());
        organized = std::move(multi);
    }
    for (OGRPolygon* polygon : *organized->toMultiPolygon())
        for (OGRLinearRing* ring : *polygon) ring->reversePoints();
    const std::size_t start = wkb.size();
    wkb.resize(start + organized->WkbSize());
    organized->exportToWkb(wkbNDR, reinterpret_cast<unsigned char*>(wkb.data() + start), wkbVariantIso);
}

// The rings of an area as a multipolygon. They come with outer rings
// clockwise and holes counter-clockwise, as in shapefiles; every ring is
// turned, so that outer rings run counter-clockwise as a GeoPackage has
// them.
void AppendMultiPolygon(const Projection& projection, std::span<const GeoPoint> points,
                        std::span<const int32_t> ringSizes, Envelope& box, std::string& wkb)
{
    if (ringSizes.size() == 1) AppendOneRing(projection, points, ringSizes[0], box, wkb);
    else AppendOrganizedRings(projection, points, ringSizes, box, wkb);
}

// The header with room for the envelope, which is put in once the
// coordinates are known; returns where the blob begins.
std::size_t AppendBlobHeader(std::string& out, bool envelope)
{
    const std::size_t start = out.size();
    out.push_back('G');
    out.push_back('P');
    out.push_back('\0');
    out.push_back(static_cast<char>(envelope ? 0x03 : 0x01));
    AppendU32(out, 0);
    if (envelope) out.append(32, '\0');
    return start;
}
void PutEnvelope(std::string& out, std::size_t blob, const Envelope& box)
{
    char* at = out.data() + blob + 8;
    for (double d : {box.minX, box.maxX, box.minY, box.maxY}) {
        PutDouble(at, d);
        at += 8;
    }
}

} // namespace

void AppendGeometryBlob(LayerGeometry geometry, const Projection& projection, std::span<const GeoPoint> points,
                        std::span<const int32_t> ringSizes, Envelope& box, std::string& out)
{
    const bool point = geometry == LayerGeometry::Point;
    const std::size_t blob = AppendBlobHeader(out, !point);
    if (geometry == LayerGeometry::Area) {
        AppendMultiPolygon(projection, points, ringSizes, box, out);
    } else {
        out.push_back('\x01'); // little-endian
        if (point) {
            AppendU32(out, 1); // Point
        } else {
            AppendU32(out, 2); // LineString
            AppendU32(out, static_cast<uint32_t>(points.size()));
        }
        AppendPoints(projection, points, false, box, out);
    }
    if (!point) PutEnvelope(out, blob, box);
}

} // namespace zalor
