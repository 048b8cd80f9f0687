// GeoPackages: the file is checked here, and read by the module that
// brings GDAL (view/gpkg/), loaded the first time one is opened, so that
// the viewer of MIF files and shapefiles never starts GDAL.
#include "formats/module.h"
#include "view/block_reader.h"
#include "view/readers.h"

#include <cstring>

namespace zalor::view {

std::string GpkgReader::Read(const std::string& path, DrawingModel& model, const FileProgress& progress)
{
    // Only a regular file that starts as an SQLite database reaches GDAL.
    {
        BlockReader in;
        std::string error;
        if (!in.Open(path, error)) return error;
        static constexpr char kMagic[] = "SQLite format 3";
        const unsigned char* head = in.Peek(sizeof kMagic);
        if (!head || std::memcmp(head, kMagic, sizeof kMagic) != 0) return path + ": not a GeoPackage (no SQLite database)";
    }
    std::string fault;
    const auto read = reinterpret_cast<GpkgReadFunction>(
        ModuleFunction(kGpkgReaderModule, kGpkgReaderEntry, "the GeoPackage reader", fault));
    if (!read) return path + ": " + fault;
    read(path, model, progress, fault);
    return fault;
}

} // namespace zalor::view
