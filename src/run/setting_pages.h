// The pages of the feature dialog and the groups of the options dialog, by
// index: where the settings table puts its settings and what the page
// tables describe.
#pragma once

namespace zalor {

// Feature dialog pages.
enum Page : int {
    kPageLines = 0,
    kPageRoads = 1,
    kPageRailroads,
    kPageTransportation,
    kPageLandmarkLines,
    kPagePhysical,
    kPageNonvisible,
    kPageHydrography,
    kPageUnclassified,
    kPageAllChains,
    kPagePolygons = 10,
    kPageWater,
    kPageLandmarkAreas,
    kPageCurrentAreas,
    kPage1990Areas,
    kPageEntityAreas,
    kPagePoints = 16,
    kPagePointLandmarks,
};

// Options dialog groups.
enum Group : int { kProjection, kSizeReduction, kDirectory, kFormat, kOrdering, kProgram };

} // namespace zalor
