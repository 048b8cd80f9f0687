#include "geometry/lambert_ellipsoid.h"

#include <algorithm>
#include <cmath>

namespace zalor {

namespace {

constexpr double kRadian = 0.017453292519943295;

} // namespace

EllipsoidLambert::EllipsoidLambert(double semiMajorAxis, double inverseFlattening, double lon0Degrees,
                                   double lat0Degrees)
    : a_(semiMajorAxis), lam0_(lon0Degrees * kRadian)
{
    const double f = inverseFlattening == 0 ? 0.0 : 1 / inverseFlattening;
    e2_ = f * (2 - f);
    e_ = std::sqrt(e2_);
    qp_ = Q(1.0);
    if (std::fabs(std::fabs(lat0Degrees) - 90) < 1e-10) {
        aspect_ = lat0Degrees > 0 ? Aspect::North : Aspect::South;
        return;
    }
    const double phi0 = lat0Degrees * kRadian;
    const double sinPhi0 = std::sin(phi0);
    sinB0_ = Q(sinPhi0) / qp_;
    cosB0_ = std::sqrt(1 - sinB0_ * sinB0_);
    // The authalic sphere (radius a * rq) scaled along the meridian and
    // across it so that the scale at the centre is true in every direction.
    const double rq = std::sqrt(qp_ / 2);
    const double m0 = std::cos(phi0) / std::sqrt(1 - e2_ * sinPhi0 * sinPhi0);
    const double d = m0 / (rq * cosB0_);
    xScale_ = a_ * rq * d;
    yScale_ = a_ * rq / d;
}

double EllipsoidLambert::Q(double sinPhi) const
{
    if (e_ == 0) return 2 * sinPhi;
    return (1 - e2_) * (sinPhi / (1 - e2_ * sinPhi * sinPhi) + std::atanh(e_ * sinPhi) / e_);
}

void EllipsoidLambert::Project(double lonDegrees, double latDegrees, double& x, double& y) const
{
    const double dl = lonDegrees * kRadian - lam0_;
    const double sinDl = std::sin(dl), cosDl = std::cos(dl);
    const double q = Q(std::sin(latDegrees * kRadian));
    if (aspect_ != Aspect::Oblique) {
        const bool north = aspect_ == Aspect::North;
        const double rho = a_ * std::sqrt(std::max(0.0, north ? qp_ - q : qp_ + q));
        x = rho * sinDl;
        y = north ? -rho * cosDl : rho * cosDl;
        return;
    }
    const double sinB = std::clamp(q / qp_, -1.0, 1.0);
    const double cosB = std::sqrt(1 - sinB * sinB);
    const double c = 1 + sinB0_ * sinB + cosB0_ * cosB * cosDl;
    if (c <= 0) { // the antipode of the centre (or rounding past it)
        x = 0;
        y = 0;
        return;
    }
    const double b = std::sqrt(2 / c);
    x = xScale_ * b * cosB * sinDl;
    y = yScale_ * b * (cosB0_ * sinB - sinB0_ * cosB * cosDl);
}

} // namespace zalor
