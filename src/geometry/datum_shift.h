// Converting a county's coordinates from the datum of its files to NAD83
// with PROJ. A shift is made for one county: for its datum and its extent
// PROJ's candidate transformations are weighed and the best one that PROJ
// can run and that is grid-based or accurate to a metre or better is kept.
// When PROJ has only approximate ones (a Helmert transformation through
// WGS 84, accurate to some ten metres, or a ballpark offset), the county
// cannot be converted and the error names the grid that is missing.
//
// Each shift has a PROJ context of its own: counties converted on several
// threads each make theirs. One shift is used by one thread at a time.
#pragma once

#include "geometry/assembly.h"
#include "geometry/coords.h"
#include "geometry/datum.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zalor {

class DatumShift {
public:
    // The shift from `from` to NAD83 for the points of `extent`
    // (micro-degrees, not empty). NAD83 gives a shift that changes nothing.
    // Nothing, with the reason in `error`, when PROJ has no transformation
    // accurate enough for the whole extent.
    static std::optional<DatumShift> Create(Datum from, const AreaBox& extent, std::string& error);

    DatumShift(DatumShift&&) noexcept;
    DatumShift& operator=(DatumShift&&) noexcept;
    ~DatumShift();

    // Longitude and latitude in degrees, shifted in place; false (the
    // values left as they were) when the point lies outside the grid.
    bool Shift(double& lon, double& lat);
    // A micro-degree point, shifted and rounded to the nearest micro-degree;
    // false (the point left as it was) when it lies outside the grid.
    bool Apply(GeoPoint& point);
    // Shifts the points in order; at the first one that lies outside the
    // grid it stops and returns that point's index (the points before it
    // are shifted, it and the ones after are not). Nothing when every
    // point was shifted.
    std::optional<std::size_t> Apply(std::span<GeoPoint> points);

    // Whether the shift changes anything (false from NAD83).
    bool Active() const { return state_ != nullptr; }
    // The transformation, for the log: "NAD27 to NAD83 (1), 0.15 m, grid
    // us_noaa_conus.tif"; empty from NAD83.
    const std::string& Description() const { return description_; }

private:
    struct State;
    DatumShift() = default;

    std::unique_ptr<State> state_;
    std::string description_;
};

} // namespace zalor
