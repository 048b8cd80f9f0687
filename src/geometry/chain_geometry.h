// Read access to a table of chains, as polygon assembly sees it.
#pragma once

#include "geometry/coords.h"

#include <cstdint>
#include <span>

namespace zalor {

// The chains that polygon assembly walks, numbered 1..ChainCount(): each
// runs from its start node through its shape points to its end node and
// separates the polygons on its left and right.
struct ChainShape {
    GeoPoint from;
    GeoPoint to;
    std::span<const GeoPoint> shapes;
    int32_t leftPolygon = 0;
    int32_t rightPolygon = 0;
};

// The polygons on the two sides of a chain.
struct PolygonSides {
    int32_t left = 0;
    int32_t right = 0;
};

class ChainGeometry {
public:
    virtual int32_t ChainCount() const = 0;
    virtual ChainShape ChainAt(int32_t chain) const = 0;

protected:
    ~ChainGeometry() = default;
};

} // namespace zalor
