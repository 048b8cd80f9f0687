// The GeoPackage format: its record, and the loading of its writer
// (zalor-gpkg.so, which brings GDAL) the first time a GeoPackage is made.
#include "formats/gpkg/gpkg.h"

#include "formats/module.h"

#include <sys/stat.h>

namespace zalor {

namespace {
using MakeFunction = LayerContainer* (*)(const char*);
} // namespace

std::shared_ptr<LayerContainer> MakeGeoPackage(const std::string& path, std::string& error)
{
    // Anything but a regular file (a FIFO would block its open for ever, a
    // device or directory is no GeoPackage) is left alone.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = "it exists and is not a regular file (" + std::string(S_ISFIFO(st.st_mode) ? "a FIFO"
                                                                    : S_ISDIR(st.st_mode) ? "a directory"
                                                                                          : "a device or socket") +
                ")";
        return nullptr;
    }
    const auto make = reinterpret_cast<MakeFunction>(
        ModuleFunction("zalor-gpkg.so", "ZalorMakeGeoPackage", "the GeoPackage writer", error));
    if (!make) return nullptr;
    LayerContainer* file = make(path.c_str());
    if (!file) {
        error = "the GeoPackage writer failed to start";
        return nullptr;
    }
    return std::shared_ptr<LayerContainer>(file);
}

namespace {
constexpr std::string_view kExtensions[] = {".gpkg"};
} // namespace

const FormatDriver kGpkgFormat = {
    .name = "gpkg",
    .caption = " GeoPackage (GPKG)",
    .extensions = kExtensions,
    // A table per area layer keyed by the layer's name, its centroid in
    // degrees after the key.
    .areas = {.firstNumber = 1, .centroidAfterKey = true, .zctaAsText = true},
    .integerCodes = true,
    .addressTexts = true,
    .openContainer = MakeGeoPackage,
};

} // namespace zalor
