// What every feature output takes and gives: where its layer goes, and
// what came of writing it.
#pragma once

#include "formats/layer_writer.h"
#include "geometry/coords.h"
#include "tiger/progress.h"

#include <string>
#include <vector>

namespace zalor {

// Where one layer goes: its format and its files' path without extension
// (the county output directory + the county base name + the layer name),
// or its table in the county's GeoPackage.
struct LayerTarget {
    OutputFormat format = OutputFormat::Mif;
    std::string basePath;
    Projection projection; // for the coordinates of line, node and point files
    TableTarget table;     // GeoPackage output

    // The file the layer is known by, or "FILE.gpkg:TABLE".
    std::string MainPath() const;
    // Whether the layer is there from before: its main file, or its table.
    bool Exists() const;
};

struct LayerOutcome {
    bool created = false;             // the layer's files are complete and in place
    bool stopped = false;             // a stop request ended the layer: its files were removed
    WriteFailures failures;           // in the order they happened
    std::vector<std::string> outputs; // the files to list, in listing order
    std::string incomplete;           // the main file of a layer that was begun and not completed
};

// Completes a layer (or, when a stop was requested, removes its files) and
// records what came of it.
void FinishLayer(LayerWriter& writer, LayerOutcome& outcome, const ProgressObserver& observer);

} // namespace zalor
