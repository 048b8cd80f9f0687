// The MapInfo interchange syntax of the MIF file: its header with the
// coordinate-system declaration, and the objects (polylines, regions,
// points) with their style clauses.
#pragma once

#include "formats/textfile.h"
#include "geometry/coords.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zalor {

// Geographic coordinates on NAD83.
inline constexpr std::string_view kGeographicCoordSys = "Coordsys Earth Projection 1,74";

// How a MIF file names a datum: MapInfo's number of it, and where its
// centre lies from WGS 84's in metres (MapInfo's own shifts: readers
// convert between datums through them), with its ellipsoid.
struct MifDatum {
    int number = 74;
    int dx = 0, dy = 0, dz = 0;
    double semiMajorAxis = 6378137.0;
    double inverseFlattening = 298.257223563;
};
const MifDatum& MifDatumOf(Datum datum);

// The four header lines of every MIF file; the last one declares the
// coordinate system.
void WriteMifHeader(TTextFile& mif, std::string_view coordSys = kGeographicCoordSys);

// The coordinate-system line of a MIF file: geographic on the
// projection's datum ("Coordsys Earth Projection 1,62" for NAD27), or the
// Lambert projection when it is active.
std::string MifCoordSysLine(const Projection& projection);

// The one sphere a MIF file can declare (its ellipsoid 12), in metres.
// Projected MIF files are written on it whatever the Lambert radius.
constexpr double kMifSphereRadius = 6370997.0;
// The text of a coordinate pair in a MIF file: six-decimal degrees, or,
// when the projection is active, metres of the Lambert projection on the
// MIF sphere of the point that the declared datum puts there (the sphere
// shares its centre with the ellipsoid of the projection's datum).
std::string MifCoordinatePair(const Projection& projection, GeoPoint point);
// What the log says of a Lambert radius that MIF files cannot declare;
// empty for the MIF sphere's own.
std::string MifRadiusNote(const LambertParameters& parameters);

struct MifPen {
    int width = 1;
    int pattern = 2;
    int colour = 0;
};

// "PLINE" and the point-count line of a single-section polyline.
void WriteMifPlineStart(TTextFile& mif, int64_t pointCount);
// "PEN (width,pattern,colour)".
void WriteMifPen(TTextFile& mif, const MifPen& pen);
// "Region n".
void WriteMifRegionStart(TTextFile& mif, int64_t ringCount);
// The point-count line that opens a ring.
void WriteMifCount(TTextFile& mif, int64_t count);
// "BRUSH (2,0,colour)".
void WriteMifBrush(TTextFile& mif, int colour);
// "POINT " + the coordinate pair text (x text, one space, y text).
void WriteMifPoint(TTextFile& mif, std::string_view coordinateText);

// The lines of a region: "Region n", then per ring its point count and
// points. The rings lie one after another in `points`, their sizes in
// `ringSizes`. Returns false (and writes nothing) when the sizes do not fit
// the points. The brush line (WriteMifBrush) is the caller's.
template <class Format>
bool WriteMifRegion(TTextFile& mif, std::span<const GeoPoint> points, std::span<const int32_t> ringSizes,
                    Format&& format)
{
    std::size_t total = 0;
    for (int32_t n : ringSizes) {
        if (n < 0 || static_cast<std::size_t>(n) > points.size() - total) return false;
        total += static_cast<std::size_t>(n);
    }
    WriteMifRegionStart(mif, static_cast<int64_t>(ringSizes.size()));
    std::size_t at = 0;
    for (int32_t n : ringSizes) {
        WriteMifCount(mif, n);
        for (int32_t i = 0; i < n; ++i) mif.WriteLine(format(points[at++]));
    }
    return true;
}

} // namespace zalor
