// The coordinate systems of a GeoPackage's tables, made by its writer
// thread as its tables are begun.
#pragma once

#include "geometry/coords.h"

#include <ogr_spatialref.h>

#include <array>
#include <memory>

namespace zalor {

class SpatialReferences {
public:
    // Degrees on the projection's datum, or the Lambert projection when it
    // is active.
    OGRSpatialReference& For(const Projection& projection);
    // PROJ objects go with the thread that made them: the writer thread
    // lets them go before it ends.
    void Clear();

private:
    static constexpr std::size_t kDatums = static_cast<std::size_t>(Datum::AmericanSamoa1962) + 1;
    // One per datum, made as the first table on it is begun.
    std::array<std::unique_ptr<OGRSpatialReference>, kDatums> geographic_;
    std::unique_ptr<OGRSpatialReference> projected_;
    Projection projectedFor_;
};

} // namespace zalor
