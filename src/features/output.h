// What every feature output takes and gives: where its layer goes, and
// what came of writing it.
#pragma once

#include "formats/layer_writer.h"
#include "geometry/coords.h"

#include <string>
#include <vector>

namespace zalor {

// Where one layer goes: its format and its files' path without extension
// (the county output directory + the county base name + the layer name).
struct LayerTarget {
    OutputFormat format = OutputFormat::Mif;
    std::string basePath;
    Projection projection; // for the coordinates of line, node and point files

    std::string MainPath() const { return basePath + TraitsOf(format).mainExtension; }
};

struct LayerOutcome {
    bool created = false;             // the layer's files were created (and closed)
    WriteFailures failures;           // in the order they happened
    std::vector<std::string> outputs; // the files to list, in listing order
};

} // namespace zalor
