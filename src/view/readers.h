// Readers of the files the viewer opens: MIF with its MID attribute rows,
// shapefiles with their DBF tables, and GeoPackages. Each appends the
// objects of one file to a DrawingModel and answers "" when the file was
// read whole, or the fault that stopped it (the objects before the fault
// stay).
#pragma once

#include "view/drawing.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zalor::view {

// Told the bytes of the file read so far; returning false stops the reading.
using FileProgress = std::function<bool(int64_t done)>;

class MifReader {
public:
    static std::string Read(const std::string& path, DrawingModel& model, const FileProgress& progress = {});
};

class ShpReader {
public:
    static std::string Read(const std::string& path, DrawingModel& model, const FileProgress& progress = {});
};

// Every table of a GeoPackage with geometries, each a file of the model
// (a layer), its attribute values kept. GDAL reads it, in a module loaded
// when the first GeoPackage is opened (view/gpkg/).
class GpkgReader {
public:
    static std::string Read(const std::string& path, DrawingModel& model, const FileProgress& progress = {});
};

// The GeoPackage reader module and its entry point, which does what
// GpkgReader::Read does once the file is known to be an SQLite database.
inline constexpr const char* kGpkgReaderModule = "zalor-view-gpkg.so";
inline constexpr const char* kGpkgReaderEntry = "ZalorReadGeoPackage";
using GpkgReadFunction = void (*)(const std::string& path, DrawingModel& model, const FileProgress& progress,
                                  std::string& fault);

// A decimal number ("-113.345188", "4.5e-05") in units of 10^-decimals,
// rounded to the nearest; false when the text is not a number or the value
// does not fit 32 bits.
bool ParseScaled(std::string_view text, int decimals, int32_t& out);

// A UTF-8 text in Latin-1, the viewer's texts: each character beyond
// Latin-1 becomes "?"; a byte that starts no UTF-8 character stays as it is.
std::string Utf8ToLatin1(std::string_view text);

// The companion file of `path`: the same name with the extension `ext`
// (given in upper case), found in upper or lower case; "" when neither exists.
std::string CompanionFile(const std::string& path, std::string_view ext);

} // namespace zalor::view
