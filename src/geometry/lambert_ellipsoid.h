// The Lambert Azimuthal Equal Area projection of an ellipsoid (EPSG's
// method 9820, every aspect), for files that declare the projection on
// the ellipsoid of their datum: a reader then carries their metres back to
// the datum's longitudes and latitudes by the projection alone, with no
// change of datum in between.
#pragma once

namespace zalor {

class EllipsoidLambert {
public:
    // The ellipsoid's semi-major axis in metres and inverse flattening (0
    // for a sphere); the centre in degrees. No false easting or northing.
    EllipsoidLambert(double semiMajorAxis, double inverseFlattening, double lon0Degrees, double lat0Degrees);

    // Longitude and latitude in degrees to metres. The antipode of the
    // centre, where the projection has no value, gives 0, 0.
    void Project(double lonDegrees, double latDegrees, double& x, double& y) const;

private:
    enum class Aspect { North, South, Oblique };

    // q of the latitude whose sine is `sinPhi` (twice the sine of its
    // authalic latitude, on the unit ellipsoid).
    double Q(double sinPhi) const;

    double a_ = 0, e_ = 0, e2_ = 0;
    double qp_ = 2;               // q at the pole
    double lam0_ = 0;             // radians
    double sinB0_ = 0, cosB0_ = 1; // of the centre's authalic latitude
    double xScale_ = 0, yScale_ = 0;
    Aspect aspect_ = Aspect::Oblique;
};

} // namespace zalor
