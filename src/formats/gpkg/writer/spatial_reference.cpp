#include "formats/gpkg/writer/spatial_reference.h"

#include <cstdio>
#include <string>

namespace zalor {

OGRSpatialReference& SpatialReferences::For(const Projection& p)
{
    if (!p.active) {
        // The datum's own geographic coordinate system (EPSG:4269 for NAD83,
        // EPSG:4267 for NAD27, ...).
        std::unique_ptr<OGRSpatialReference>& geographic = geographic_[static_cast<std::size_t>(p.datum)];
        if (!geographic) {
            geographic = std::make_unique<OGRSpatialReference>();
            geographic->importFromEPSG(DatumEpsg(p.datum));
            geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
        return *geographic;
    }
    if (!projected_ || projectedFor_.datum != p.datum || projectedFor_.R != p.R || projectedFor_.lam0 != p.lam0 ||
        projectedFor_.phi0 != p.phi0) {
        // The Lambert Azimuthal Equal Area projection of the sphere of the
        // Lambert parameters, whose longitudes and latitudes are the datum's
        // taken as they are (the projection is computed from them).
        const double lon0 = p.lam0 / 0.01745329252, lat0 = p.phi0 / 0.01745329252;
        char name[160];
        std::snprintf(name, sizeof name, "Lambert Azimuthal Equal Area, sphere of %.10g m, centre %.10g, %.10g", p.R,
                      lon0, lat0);
        const std::string geographic = std::string(DatumName(p.datum)) + " on a sphere";
        projected_ = std::make_unique<OGRSpatialReference>();
        projected_->SetProjCS(name);
        projected_->SetGeogCS(geographic.c_str(), "Sphere", "Sphere", p.R, 0.0);
        projected_->SetLAEA(lat0, lon0, 0.0, 0.0);
        projected_->SetLinearUnits(SRS_UL_METER, 1.0);
        projected_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        projectedFor_ = p;
    }
    return *projected_;
}

void SpatialReferences::Clear()
{
    for (auto& geographic : geographic_) geographic.reset();
    projected_.reset();
}

} // namespace zalor
