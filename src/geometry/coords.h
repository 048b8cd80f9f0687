// Coordinates: the integer micro-degree pair every part of the program
// works with, shape simplification, the Lambert Azimuthal Equal Area
// projection and the coordinate text forms.
#pragma once

#include "geometry/datum.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// Longitude (x) and latitude (y) in millionths of a degree.
struct GeoPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

// Process-wide projection state, set up again for every county.
struct Projection {
    // The datum of the coordinates (longitude and latitude, or what the
    // projection was applied to).
    Datum datum = Datum::Nad83;
    bool active = false;  // Lambert choice selected
    double R = 6370997.0; // radius in metres
    double lam0 = 0.0;    // central longitude, radians
    double phi0 = 0.0;    // central latitude, radians
    double sinPhi0 = 0.0;
    double cosPhi0 = 1.0;
};

struct LambertParameters {
    double radius = 0.0;
    double lon0 = 0.0;
    double lat0 = 0.0;
};


// Simplifies a chain's shape-point list in place (first and last point
// always stay; consecutive duplicates go; points within `tolerance`
// micro-degrees of the line through their neighbours go).
void SimplifyShapePoints(std::vector<GeoPoint>& points, int tolerance);

// Parses "radius,central longitude,central latitude". Throws
// std::invalid_argument when a part is not a number.
LambertParameters ParseLambertParameters(std::string_view text);
void SetupLambert(Projection& p, const LambertParameters& params);
// Longitude and latitude in degrees to metres.
void ProjectLambert(const Projection& p, double lonDegrees, double latDegrees, double& x, double& y);

// -87654300 gives "-87.654300".
std::string FormatFixed(int32_t v);
void AppendFixed(std::string& out, int32_t v);
// The general floating-point form with 15 significant digits.
std::string FormatGeneral15(double v);
// The text of a coordinate pair in MIF line, node and point files:
// six-decimal degrees, or projected metres when the projection is active.
std::string FormatCoordinatePair(const Projection& p, GeoPoint pt);

} // namespace zalor
