// What every feature output takes and gives: where its layer goes, and
// what came of writing it.
#pragma once

#include "base/progress.h"
#include "formats/format.h"
#include "geometry/coords.h"

#include <memory>
#include <string>
#include <vector>

namespace zalor {

// Where one layer goes: its format and its files' path without extension
// (the county output directory + the county base name + the layer name),
// or its table in the county's file of every layer.
struct LayerTarget {
    const FormatDriver* format = nullptr;
    std::string basePath;
    std::string name;  // the layer's suffix or area name
    std::string theme; // what it holds (the layer's own name), by which formats style it
    Projection projection; // for the coordinates of line, node and point files
    LayerContainer* container = nullptr;

    // The file the layer is known by, or "FILE.gpkg:TABLE".
    std::string MainPath() const;
    // Whether the layer is there from before: its main file, or its table.
    bool Exists() const;
    // Why the layer's files there are not one whole set (a run killed while
    // putting them in place); empty when they are, or the layer is a table.
    std::string ExistingSetFault() const;
    // The layer's definition with these columns.
    LayerDefinition Definition(LayerGeometry geometry, std::vector<Column> columns) const;
    // Opens the layer's files (see OpenLayerWriter).
    std::unique_ptr<LayerWriter> Open(const LayerDefinition& definition, WriteFailures& failures) const
    {
        return OpenLayerWriter(*format, definition, failures);
    }
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
