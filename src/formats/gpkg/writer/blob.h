// GeoPackage geometry blobs, made on the layers' threads: "GP", version 0,
// the flags (little-endian, an xy envelope unless the geometry is a
// point), the coordinate system's id (put in by the writer thread, which
// knows it), the envelope, then the geometry as little-endian WKB: a
// point, a line string, or the rings of an area as a multipolygon whose
// outer rings run counter-clockwise.
#pragma once

#include "formats/gpkg/writer/rtree.h"
#include "formats/layer.h"
#include "geometry/coords.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zalor {

// The box of a feature's coordinates.
struct Envelope {
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    void Widen(double x, double y)
    {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    RTreeBox Rounded() const { return RTreeBoxOf(minX, maxX, minY, maxY); }
};

// Where in a blob its coordinate system's id goes (4 bytes, little-endian).
constexpr std::size_t kSrsIdAt = 4;

// Appends the blob of a feature of a table of `geometry` to `out` and
// widens `box` by its coordinates: degrees (the double nearest to the
// micro-degrees as a decimal), or the Lambert projection when it is
// active. An area's rings lie one after another in `points`, their sizes
// in `ringSizes`, outer rings clockwise and holes counter-clockwise as in
// shapefiles.
void AppendGeometryBlob(LayerGeometry geometry, const Projection& projection, std::span<const GeoPoint> points,
                        std::span<const int32_t> ringSizes, Envelope& box, std::string& out);

} // namespace zalor
