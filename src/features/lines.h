// Line and node feature output.
#pragma once

#include "features/output.h"
#include "geometry/assembly.h"
#include "geometry/lists.h"
#include "tiger/county.h"
#include "base/progress.h"

namespace zalor {

struct LineLayerRequest {
    LayerTarget target;
    const TClist* selection = nullptr; // the CFCC codes of the layer; null: every chain
    int columnGroups = 0;              // LineColumnGroup bits
};

// Writes the chains of the county that the request selects, in table
// order. With the node column group, every chain end is numbered in
// `nodes` (in order of first appearance).
LayerOutcome WriteLineLayer(const County& county, const LineLayerRequest& request, TNodeMgr& nodes,
                            ProgressObserver& observer);

// The node layer of a line layer (its base + "N"), nodes in creation order;
// nothing in a format without point layers.
LayerOutcome WriteNodeLayer(const TNodeMgr& nodes, const LayerTarget& target, ProgressObserver& observer);

} // namespace zalor
