// The output formats. Each format lives in a folder of its own under
// src/formats (its writer, file names, column layouts, style and
// coordinate-system declaration) and is described to the rest of the
// program by one FormatDriver record; FormatDrivers() lists them all.
// Adding a format is a folder and a line in that list (formats/registry.cpp).
#pragma once

#include "formats/layer.h"
#include "geometry/coords.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// How the area layers of a format lay out their columns: NUM, then (MIF)
// the centroid in degrees, the key, then (shapefile, GeoPackage) the
// centroid as LON and LAT, the CFCC of landmark layers and the NAME.
struct AreaLayout {
    int firstNumber = 1;            // NUM of the first area
    bool degreesAfterNumber = false; // "Lon", "Lat" after NUM
    bool centroidAfterKey = false;  // "LON", "LAT" after the key
    bool keyNamedSuf = false;       // the key column is "SUF" instead of the layer's name
    bool zctaAsText = false;        // ZIP code tabulation area keys are their codes, not numbers
};

struct FormatDriver {
    using OpenFunction = std::unique_ptr<LayerWriter> (*)(const LayerDefinition&, WriteFailures&);
    using ContainerFunction = std::shared_ptr<LayerContainer> (*)(const std::string& path, std::string& error);
    using NoteFunction = std::string (*)(const LambertParameters&);
    using SetFaultFunction = std::string (*)(const std::string& basePath);

    std::string_view name{};  // on the command line: "mif", "shp", ...
    std::string_view caption{}; // its button in the options dialog
    bool offered = true;      // shown in the options dialog
    // The layer's files: the main one (the layer is known by it) first. A
    // format of one file per county has only the file's extension here.
    std::span<const std::string_view> extensions{};
    bool points = true;       // point layers: node files, landmark points, centroids
    // The centroids of an area layer as a point layer beside it, its base
    // name + this; empty when the format has none.
    std::string_view centroidSuffix{};
    AreaLayout areas{};
    // The address, ZIP and FIPS codes of line layers as integer columns
    // (texts of their width otherwise).
    bool integerCodes = false;
    // The address columns hold the record's text ("31-01"), blank ones
    // null, whatever integerCodes says.
    bool addressTexts = false;
    // The files that auto zip gathers into the county's archive.
    std::span<const std::string_view> zipped{};
    OpenFunction open = nullptr;
    // Formats that hold every layer of a county in one file (the county's
    // base name + the main extension): makes that file. Null for the others.
    ContainerFunction openContainer = nullptr;
    // What the log says of the Lambert projection in this format (empty
    // when nothing), before the county's layers are written.
    NoteFunction projectionNote = nullptr;
    // Why the layer's files on disk (the base path without extension) are
    // not one whole set; empty when they are. Null: every file of
    // `extensions` present is enough.
    SetFaultFunction setFault = nullptr;

    std::string_view MainExtension() const { return extensions.front(); }
    bool Tables() const { return openContainer != nullptr; }
};

// Every format, in the order of the options dialog's choice (a
// configuration file stores a format by its position here).
std::span<const FormatDriver* const> FormatDrivers();
// The format of a command line name; null when there is none.
const FormatDriver* FindFormat(std::string_view name);

// Creates the files of a layer in `format`. Null, with the failure in
// `failures`, when one of them cannot be created (or the format holds no
// such layer).
std::unique_ptr<LayerWriter> OpenLayerWriter(const FormatDriver& format, const LayerDefinition& definition,
                                             WriteFailures& failures);

} // namespace zalor
