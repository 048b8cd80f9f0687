#include "formats/gpkg/writer/spatial_reference.h"

#include <cstdio>

namespace zalor {

OGRSpatialReference& SpatialReferences::For(const Projection& p)
{
    if (!p.active) {
        if (!geographic_) {
            geographic_ = std::make_unique<OGRSpatialReference>();
            geographic_->importFromEPSG(4269); // NAD83
            geographic_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
        return *geographic_;
    }
    if (!projected_ || projectedFor_.R != p.R || projectedFor_.lam0 != p.lam0 || projectedFor_.phi0 != p.phi0) {
        // The Lambert Azimuthal Equal Area projection of the sphere of the
        // Lambert parameters, whose longitudes and latitudes are NAD83's
        // taken as they are (the projection is computed from them).
        const double lon0 = p.lam0 / 0.01745329252, lat0 = p.phi0 / 0.01745329252;
        char name[160];
        std::snprintf(name, sizeof name, "Lambert Azimuthal Equal Area, sphere of %.10g m, centre %.10g, %.10g", p.R,
                      lon0, lat0);
        projected_ = std::make_unique<OGRSpatialReference>();
        projected_->SetProjCS(name);
        projected_->SetGeogCS("NAD83 on a sphere", "Sphere", "Sphere", p.R, 0.0);
        projected_->SetLAEA(lat0, lon0, 0.0, 0.0);
        projected_->SetLinearUnits(SRS_UL_METER, 1.0);
        projected_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        projectedFor_ = p;
    }
    return *projected_;
}

void SpatialReferences::Clear()
{
    geographic_.reset();
    projected_.reset();
}

} // namespace zalor
