// The entry point of the GeoPackage writer module, its only export
// (MakeGeoPackage in formats/gpkg/module_loader.cpp loads the module and
// calls it). The county's file is GdalGeoPackage (geopackage_file.h).
#include "formats/gpkg/writer/geopackage_file.h"

extern "C" __attribute__((visibility("default"))) zalor::LayerContainer* ZalorMakeGeoPackage(const char* path)
{
    try {
        return new zalor::GdalGeoPackage(path);
    } catch (...) {
        return nullptr;
    }
}
