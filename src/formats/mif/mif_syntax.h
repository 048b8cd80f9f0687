// The MapInfo interchange syntax of the MIF file: its header with the
// coordinate-system declaration, and the objects (polylines, regions,
// points) with their style clauses.
#pragma once

#include "formats/textfile.h"
#include "geometry/coords.h"
#include "geometry/lambert_ellipsoid.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zalor {

// Geographic coordinates on NAD83.
inline constexpr std::string_view kGeographicCoordSys = "Coordsys Earth Projection 1,74";

// How a MIF file names a datum: MapInfo's number of it, with the
// datum's ellipsoid (as readers take it from the number).
struct MifDatum {
    int number = 74;
    double semiMajorAxis = 6378137.0;
    double inverseFlattening = 298.257222101; // GRS 80
};
const MifDatum& MifDatumOf(Datum datum);

// The four header lines of every MIF file; the last one declares the
// coordinate system.
void WriteMifHeader(TTextFile& mif, std::string_view coordSys = kGeographicCoordSys);

// The coordinate-system line of a MIF file: geographic on the
// projection's datum ("Coordsys Earth Projection 1,62" for NAD27), or,
// when it is active, the Lambert projection of the datum's ellipsoid
// ("Coordsys Earth Projection 29, 62, \"m\", -100, 45").
std::string MifCoordSysLine(const Projection& projection);

// The Lambert projection of a MIF file's coordinates, as its line declares
// it: on the ellipsoid of the projection's datum, about the declared centre.
// The radius of the Lambert parameters is not used: MapInfo declares a
// sphere only as a datum of its own, shifted from WGS 84, and readers then
// reach NAD83 through WGS 84 (PROJ's first way through it needs a grid).
EllipsoidLambert MifLambert(const Projection& projection);
// The text of a projected coordinate pair in a MIF file: metres of the
// file's Lambert projection.
std::string MifCoordinatePair(const EllipsoidLambert& lambert, GeoPoint point);
// What the log says of the Lambert parameters in MIF files.
std::string MifLambertNote(const LambertParameters& parameters);

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
