// What a run does, decided once from the settings before it starts: the
// format and where its files go, how coordinates are written, which line
// groups, point and area layers are written from which records. The driver
// and its phases read the plan, never a setting.
#pragma once

#include "features/areas.h"
#include "formats/format.h"
#include "geometry/coords.h"
#include "geometry/lists.h"
#include "run/entries.h"
#include "run/output_directories.h"
#include "tiger/area_records.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zalor {

class RunSettings;

// The order the chains are written in.
enum class ChainOrder { Identifier, Spatial, Mcd, Cfcc };

// One line group, or the all-chains file.
struct LineGroupPlan {
    std::string name;     // the group's own name ("A", ..., "ALL")
    std::string suffix;   // its layer's name
    int mask = 0;         // its selection mask (SelectionMask)
    TClist codes;         // the CFCC codes it selects
    bool everyChain = false; // the all-chains file: every chain, whatever its class
    int columnGroups = 0; // LineColumnGroup bits; with the node group a node layer goes beside
};

// The landmark point layer.
struct PointLayerPlan {
    std::string suffix; // its layer's name
    std::string theme;  // its own name
    TClist classes;     // the landmark classes it holds
};

// One area layer.
struct AreaLayerPlan {
    std::string name;  // its layer's name: its suffix, or its own name
    std::string theme; // its own name, by which each release's records say where its keys are
    std::string label; // what the status line calls its records while they are grouped
    // The key column and the layer in status texts: the layer's name, or
    // "FEAT" for key geographic locations, keyed by feature number.
    std::string keyName;
    AreaNames names = AreaNames::Entities;
    bool cfccColumn = false;   // landmark layers have a CFCC column
    bool zcta = false;         // keys are ZIP code tabulation area codes
    bool centroid = false;     // a centroid layer beside, in a format that has one
    bool excludeWater = false; // the water polygons are left out
    bool polygonKeys = false;  // every keyed polygon is an area of its own (water blocks)
    // Landmark layers hold the landmarks of these classes only.
    std::optional<TClist> landmarkClasses;
};

struct ConversionPlan {
    // Why the run cannot start (the warning shown); empty when it can.
    std::string refusal;

    const FormatDriver* format = nullptr;
    std::string outputRoot; // ends in '/'
    // The output directories of the run, swept of killed runs' temporaries.
    std::shared_ptr<SweptDirectories> swept;
    DirectoryScheme directories = DirectoryScheme::None;
    Projection projection;  // of line, node and point layers
    // Why the Lambert parameters cannot be used: every county fails with it.
    std::string projectionError;
    // What the log says of the projection in this format, for every county.
    std::string projectionNote;
    // Counties on another datum than NAD83 are converted to it (with a
    // PROJ transformation for each county), and their outputs declare NAD83.
    bool toNad83 = false;
    int precision = 6;  // digits of the coordinates kept (1..6)
    int tolerance = 0;  // shape points closer than this to a straight line go (micro-degrees)
    ChainOrder order = ChainOrder::Spatial;
    bool skipExisting = false;
    bool autoZip = false;
    bool beep = false;  // the completion signal

    std::string logFile;       // empty: no log file
    bool logDisabled = true;

    std::vector<LineGroupPlan> lineGroups; // A to X that are chosen, then the all-chains file
    std::optional<PointLayerPlan> points;
    std::vector<AreaLayerPlan> areas;      // in the order they are written
    bool anyArea = false;      // an area or landmark point layer is chosen: polygon links are needed

    std::vector<InputEntry> inputs;
};

// The plan of a run with these settings (the output root as the run
// takes it: an empty one is the current directory).
ConversionPlan BuildConversionPlan(const RunSettings& settings);

struct AreaLayerDef;
// The plan of one area layer of the area layer table with these settings.
AreaLayerPlan PlanAreaLayer(const RunSettings& settings, const AreaLayerDef& layer);

// Whether auto zip gathers anything in the chosen format (MIF and KXF
// files; not shapefiles or a GeoPackage).
bool AutoZipApplies(const RunSettings& s);

} // namespace zalor
