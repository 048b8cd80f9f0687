// The formats, in the order of the options dialog's choice.
#include "formats/format.h"

#include "formats/gpkg/gpkg.h"
#include "formats/kxf/kxf.h"
#include "formats/mif/mif.h"
#include "formats/shp/shp.h"

namespace zalor {

std::span<const FormatDriver* const> FormatDrivers()
{
    static const FormatDriver* const drivers[] = {
        &kMifFormat,
        &kShpFormat,
        &kKxfFormat,
        &kGpkgFormat,
    };
    return drivers;
}

} // namespace zalor
