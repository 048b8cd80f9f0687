// The pages of the feature dialog and the groups of the options dialog.
#include "run/setting_pages.h"
#include "run/settings.h"

namespace zalor {

const std::vector<FeaturePageDef>& FeaturePageTable()
{
    static const std::vector<FeaturePageDef> pages = {
        {kPageLines, -1, "Line", "LINES",
         "Line features are the chains of the county (record type 1 with its shape points), written one file "
         "per class: each class page chooses the census feature classes (CFCC) that go into the file, the "
         "file's suffix and the fields of its attribute table. The all-chains page writes every chosen chain "
         "into one file.",
         {}},
        {kPageRoads, kPageLines, "A- Roads", "Class A: ROADS", {}, {}},
        {kPageRailroads, kPageLines, "B- RailRoads", "Class B: RAILROADS", {}, {}},
        {kPageTransportation, kPageLines, "C- Transportation", "Class C: TRANSPORTATION", {}, {}},
        {kPageLandmarkLines, kPageLines, "D- Landmarks", "Class D: LANDMARKS", {}, {}},
        {kPagePhysical, kPageLines, "E- Physical", "Class E: PHYSICAL", {}, {}},
        {kPageNonvisible, kPageLines, "F- Non-Visible", "Class F: NON-VISIBLE", {}, {}},
        {kPageHydrography, kPageLines, "H- Hydrography", "Class H: HYDROGRAPHIC", {}, {}},
        {kPageUnclassified, kPageLines, "X- Unclassified", "Class X: UNKNOWN", {}, {}},
        {kPageAllChains, kPageLines, "All : A -  X", "ABCDEFHX: ALL", {},
         "* Warning *  This Options Produces the Largest Line File!"},
        {kPagePolygons, -1, "Polygon", "POLYGONS",
         "Polygon features are areas assembled from the chains that bound them: water, landmark areas, and "
         "the current-year, 1990 and other statistical and political areas. Each checked box writes one area "
         "file; its tooltip names the layer and the record field whose value makes one area. Exclude Water "
         "leaves out the water polygons; Calculate Centroid adds the areas' centroids as a point layer "
         "beside a MIF area layer.",
         {}},
        {kPageWater, kPagePolygons, "Water", "WATER", {}, {}},
        {kPageLandmarkAreas, kPagePolygons, "Landmark", "LANDMARKS", {}, {}},
        {kPageCurrentAreas, kPagePolygons, "Political (Current)", "POLITICAL (current)", {},
         "Note: * Available only in Census 2000 Data"},
        {kPage1990Areas, kPagePolygons, "Political (1990)", "POLITICAL (1990)", {}, {}},
        {kPageEntityAreas, kPagePolygons, "Political (Misc.)", "POLITICAL (misc)", {}, {}},
        {kPagePoints, -1, "Point", "POINTS",
         "Point features are the landmark points of the county (record type 7), written into one file with "
         "their names and census feature classes.",
         {}},
        {kPagePointLandmarks, kPagePoints, "Landmark", "LANDMARKS", {}, {}},
    };
    return pages;
}

const std::vector<std::string>& OptionsGroupTable()
{
    static const std::vector<std::string> groups = {" Projection ", " Size Reduction ", " Output Directory ",
                                                    " Output Format ", " Ordering ", " Program Options "};
    return groups;
}

} // namespace zalor
