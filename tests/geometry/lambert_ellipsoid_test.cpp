// The Lambert Azimuthal Equal Area projection of an ellipsoid: EPSG's worked
// example, and PROJ's own projection (through GDAL) in every aspect.
#include "geometry/lambert_ellipsoid.h"

#include <ogr_spatialref.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace zalor {
namespace {

constexpr double kGrs80A = 6378137.0, kGrs80InverseF = 298.257222101;
constexpr double kClarkeA = 6378206.4, kClarkeInverseF = 294.978698213898;

TEST(EllipsoidLambert, EpsgWorkedExample)
{
    // ETRS89 / LAEA Europe: 50 N, 5 E about 52 N, 10 E gives 3962799.45 E,
    // 2999718.85 N with false easting 4321000 and northing 3210000.
    const EllipsoidLambert lambert(kGrs80A, kGrs80InverseF, 10, 52);
    double x = 0, y = 0;
    lambert.Project(5, 50, x, y);
    EXPECT_NEAR(x, 3962799.45 - 4321000, 0.005);
    EXPECT_NEAR(y, 2999718.85 - 3210000, 0.005);
    lambert.Project(10, 52, x, y);
    EXPECT_NEAR(x, 0, 1e-9);
    EXPECT_NEAR(y, 0, 1e-9);
}

// PROJ's projection of the ellipsoid about the centre.
std::unique_ptr<OGRCoordinateTransformation> Proj(double a, double inverseF, double lon0, double lat0)
{
    OGRSpatialReference geographic, projected;
    geographic.SetGeogCS("test", "test", "test", a, inverseF);
    projected.SetGeogCS("test", "test", "test", a, inverseF);
    projected.SetLAEA(lat0, lon0, 0, 0);
    for (OGRSpatialReference* s : {&geographic, &projected}) s->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return std::unique_ptr<OGRCoordinateTransformation>(OGRCreateCoordinateTransformation(&geographic, &projected));
}

TEST(EllipsoidLambert, AsProjInEveryAspect)
{
    struct Ellipsoid {
        double a, inverseF;
    };
    const Ellipsoid ellipsoids[] = {{kGrs80A, kGrs80InverseF}, {kClarkeA, kClarkeInverseF}, {6370997, 0}};
    // Oblique about the counties, equatorial, and both poles.
    const double centres[][2] = {{-100, 45}, {-89.5, 40.5}, {-157, 21}, {145, 13.5}, {0, 0}, {-150, 90}, {170, -90}};
    const double points[][2] = {{-100, 45},  {-87.654321, 41.987654}, {-157.8, 21.3}, {144.75, 13.45},
                                {-170, -14.3}, {-66.1, 18.4},          {10, 60},       {-120, 80}};
    for (const Ellipsoid& e : ellipsoids) {
        for (const auto& c : centres) {
            const EllipsoidLambert lambert(e.a, e.inverseF, c[0], c[1]);
            auto proj = Proj(e.a, e.inverseF, c[0], c[1]);
            ASSERT_TRUE(proj);
            for (const auto& p : points) {
                double x = 0, y = 0, px = p[0], py = p[1];
                lambert.Project(p[0], p[1], x, y);
                if (!proj->Transform(1, &px, &py)) continue; // beyond PROJ's reach (the far hemisphere)
                EXPECT_NEAR(x, px, 0.001) << e.inverseF << " about " << c[0] << "," << c[1] << ": " << p[0] << ","
                                          << p[1];
                EXPECT_NEAR(y, py, 0.001) << e.inverseF << " about " << c[0] << "," << c[1] << ": " << p[0] << ","
                                          << p[1];
            }
        }
    }
}

TEST(EllipsoidLambert, AntipodeIsTheOrigin)
{
    const EllipsoidLambert lambert(kGrs80A, kGrs80InverseF, -100, 45);
    double x = 1, y = 1;
    lambert.Project(80, -45, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    const EllipsoidLambert north(kGrs80A, kGrs80InverseF, 0, 90);
    north.Project(33, -90, x, y); // the south pole: a circle, finite
    EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
}

} // namespace
} // namespace zalor
