#include "formats/gpkg/writer/quiet_gdal.h"

#include <gdal_priv.h>

#include <mutex>

namespace zalor {

void RegisterGdal()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

} // namespace zalor
