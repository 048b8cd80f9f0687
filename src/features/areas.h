// Area and point feature output: area layers (the polygons of a record
// field with one key dissolved into one feature each) and the landmark
// point layer.
#pragma once

#include "features/output.h"
#include "geometry/lists.h"
#include "tiger/area_records.h"
#include "tiger/county.h"
#include "base/progress.h"

#include <string>
#include <vector>

namespace zalor {

// How the records of an area layer group its polygons.
struct AreaKeyRules {
    std::string label;           // shown in the status while the records are grouped
    bool zcta = false;           // keys are ZIP code tabulation area texts
    // The county's water polygons, sorted, which the layer leaves out (null: none).
    const std::vector<int32_t>* water = nullptr;
    bool polygonKeys = false;    // every polygon with a key is an area of its own (water blocks)
    // Landmark polygons: only those of landmarks of these classes (null: no filter).
    const TClist* landmarkClasses = nullptr;
};

// The polygons of a layer by group key, and what the keys look like.
struct AreaKeys {
    TIList polygonMap;                       // polygon number -> group key
    bool keyLetters = false;                 // some key field ended in a suffix letter
    // Keys of two fields (a tract and a block) are texts: key k is
    // keyTexts[k - 1], numbered in text order.
    bool wholeKeys = false;
    std::vector<std::string> keyTexts;
    std::vector<LandmarkRecord> keyLocations; // names of key geographic locations by key
};

// The records' key field `field` (of the table's fields) groups them.
AreaKeys GroupAreaRecords(const AreaTable& records, std::size_t field, const AreaKeyRules& rules,
                          const std::vector<LandmarkRecord>& landmarks, ProgressObserver& observer);
// Key geographic locations: the polygons of the locations of the selected
// landmark classes, and every location's name.
AreaKeys GroupKeyLocations(const std::vector<KeyLocationRecord>& records, const TClist& classes,
                           ProgressObserver& observer);

// The polygons on both sides of every chain (chain i at i - 1), which the
// layers' boundary selection reads.
std::vector<PolygonSides> ChainSides(const ChainTable& chains);
// The chains that bound each group.
TBList SelectAreaGroups(std::span<const PolygonSides> sides, const AreaKeys& keys);

// Where an area layer takes its feature names from.
enum class AreaNames { Entities, Landmarks, KeyLocations };

struct AreaLayerRequest {
    LayerTarget target;
    std::string name;          // the key column, and the layer in status texts
    AreaNames names = AreaNames::Entities;
    bool cfccColumn = false;   // a CFCC column (landmark layers)
    bool zcta = false;         // keys are ZIP code tabulation area texts
    bool centroid = false;     // a point layer of the centroids beside, in a format that has one
};

// Assembles and writes every group that has a closed ring.
LayerOutcome WriteAreaLayer(const County& county, const AreaLayerRequest& request, const AreaKeys& keys,
                            const TBList& groups, ProgressObserver& observer);

// The landmark points of the selected classes (nothing in a format
// without point layers).
LayerOutcome WriteLandmarkPoints(const County& county, const LayerTarget& target, const TClist& classes,
                                 ProgressObserver& observer);

} // namespace zalor
