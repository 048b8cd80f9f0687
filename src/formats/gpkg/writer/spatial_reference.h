// The coordinate systems of a GeoPackage's tables, made by its writer
// thread as its tables are begun.
#pragma once

#include "geometry/coords.h"

#include <ogr_spatialref.h>

#include <memory>

namespace zalor {

class SpatialReferences {
public:
    // NAD83 degrees, or the Lambert projection when it is active.
    OGRSpatialReference& For(const Projection& projection);
    // PROJ objects go with the thread that made them: the writer thread
    // lets them go before it ends.
    void Clear();

private:
    std::unique_ptr<OGRSpatialReference> geographic_;
    std::unique_ptr<OGRSpatialReference> projected_;
    Projection projectedFor_;
};

} // namespace zalor
