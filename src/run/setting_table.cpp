// The settings table: every setting with its meaning, the line groups, the
// area layers, the dialog pages and the order of a configuration file.
// The builder calls below come in configuration-file order.
#include "run/settings.h"

#include "features/line_columns.h"
#include "formats/format.h"
#include "run/selection.h"
#include "run/setting_pages.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace zalor {

namespace {

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// "A11 - A18" for the codes of a range list.
std::string RangeCaption(const std::vector<CfccRange>& codes)
{
    const CfccRange& a = codes.front();
    char buf[32];
    if (a.first == a.last) std::snprintf(buf, sizeof buf, "%c%02d", a.letter, a.first);
    else std::snprintf(buf, sizeof buf, "%c%02d - %c%02d", a.letter, a.first, a.letter, a.last);
    return buf;
}

struct Builder {
    std::vector<SettingDef> defs;
    std::vector<SaveItem> save;
    std::vector<LineGroupDef> groups;
    std::vector<SelectionBoxDef> selectionBoxes;
    std::vector<FieldBoxDef> fieldBoxes;
    SettingPlace place = SettingPlace::Hidden;
    int page = -1;

    SettingDef& Add(SettingDef def)
    {
        def.place = place;
        def.page = page;
        // "New" gives the feature dialog one selection: a box of it is
        // cleared unless it is one that "New" sets.
        if (place == SettingPlace::FeatureDialog && def.kind == SettingKind::Box) def.onNew = NewAction::Clear;
        if (def.saved && def.saveOrder < 0) {
            def.saveOrder = static_cast<int>(save.size());
            save.push_back({SaveItem::Kind::Setting, def.key});
        }
        defs.push_back(std::move(def));
        return defs.back();
    }
    SettingDef& Box(std::string key, std::string caption, std::string description = {}, bool on = false)
    {
        SettingDef d;
        d.key = std::move(key);
        d.kind = SettingKind::Box;
        d.defaultValue = on ? "1" : "0";
        d.caption = std::move(caption);
        d.description = std::move(description);
        return Add(std::move(d));
    }
    SettingDef& Text(std::string key, std::string value, std::string caption = {})
    {
        SettingDef d;
        d.key = std::move(key);
        d.kind = SettingKind::Text;
        d.defaultValue = std::move(value);
        d.caption = std::move(caption);
        return Add(std::move(d));
    }
    SettingDef& Number(std::string key, std::string caption, int minimum, int maximum, int fallback)
    {
        SettingDef d;
        d.key = std::move(key);
        d.kind = SettingKind::Number;
        d.defaultValue = std::to_string(fallback);
        d.caption = std::move(caption);
        d.minimum = minimum;
        d.maximum = maximum;
        d.fallback = fallback;
        d.match = KeyMatch::Prefix;
        return Add(std::move(d));
    }
    // The buttons of a choice, valued from `firstValue`; a file holds the set
    // one as one line.
    void Choice(const std::string& group, int firstValue, int defaultValue, std::vector<std::string> captions)
    {
        const int order = static_cast<int>(save.size());
        save.push_back({SaveItem::Kind::Choice, group});
        for (std::size_t i = 0; i < captions.size(); ++i) {
            SettingDef d;
            d.key = group + std::to_string(firstValue + static_cast<int>(i));
            d.kind = SettingKind::Radio;
            d.group = group;
            d.choiceValue = firstValue + static_cast<int>(i);
            d.defaultValue = d.choiceValue == defaultValue ? "1" : "0";
            d.caption = std::move(captions[i]);
            d.saveOrder = order;
            Add(std::move(d));
        }
    }
    void Section(std::string name) { save.push_back({SaveItem::Kind::Section, std::move(name)}); }
    void Line(SaveItem::Kind kind) { save.push_back({kind, {}}); }
    void SaveAgain(const std::string& key) { save.push_back({SaveItem::Kind::Setting, key}); }

    // A feature selection box and the codes it adds to the selections of `masks`.
    SettingDef& Selection(std::string key, std::string description, int masks, std::vector<CfccRange> codes,
                          bool forced = false)
    {
        SettingDef& d = Box(std::move(key), RangeCaption(codes), std::move(description));
        selectionBoxes.push_back({d.key, masks, forced, std::move(codes)});
        d.setReset = true;
        return d;
    }
    // A line group's page and suffix; its boxes follow.
    void Group(const std::string& name, std::string caption, int mask, int groupPage, bool suffixByPrefix = true)
    {
        page = groupPage;
        LineGroupDef g;
        g.name = name;
        g.caption = std::move(caption);
        g.mask = mask;
        g.suffixKey = (name == "DL" ? std::string("Z") : name == "ALL" ? std::string("Y") : name) + "suf";
        g.page = groupPage;
        // The suffixes of most groups are also found by their first four characters.
        SettingDef& suffix = Text(g.suffixKey, name, "File Suffix:");
        suffix.match = suffixByPrefix ? KeyMatch::Prefix : KeyMatch::Exact;
        suffix.fileNamePart = true;
        groups.push_back(std::move(g));
    }
    void GroupBox(SettingDef& d) { groups.back().boxes.push_back(d.key); }
    SettingDef& Find(std::string_view key)
    {
        for (SettingDef& d : defs)
            if (d.key == key) return d;
        std::abort(); // the table refers to a key it does not define
    }
};

// The landmark classes (D and its decades), shared by landmark lines,
// landmark areas and landmark points.
const char* const kLandmarkClasses[10] = {
    "Landmark, Classification Unknown",     "Military Installation",
    "Multihousehold or Transient Quarters", "Custodial Facility",
    "Educational or Religious Institution", "Transportation Terminal",
    "Employment Center",                    "Tower",
    "Open Space",                           "Special Purpose Landmark",
};

const char* const kHydrographyClasses[9] = {
    "Water Feature, Classification Unknown",
    "Stream",
    "Canal, Ditch or Aqueduct",
    "Lake or Pond",
    "Reservoir",
    "Bay, Estuary, Gulf, Sound, Sea or Ocean",
    "Gravel Pit or Quarry Filled with Water",
    "Nonvisible Definition Between Water Bodies",
    "Special Water Feature (Glacier)",
};
const int kHydrographyRanges[9][2] = {{0, 2}, {10, 13}, {20, 22}, {30, 32}, {40, 42},
                                      {50, 53}, {60, 60}, {70, 75}, {80, 81}};

// Box keys are a prefix and a number.
std::string Key(const char* prefix, int n) { return prefix + std::to_string(n); }

void RoadsAndRailroads(Builder& t)
{
    // Roads, with the provisional roads of the same classes.
    t.Group("A", "Roads", kMaskRoads, kPageRoads);
    const char* roads[7] = {"Primary Highway with Limited Access", "Primary Road without Limited Access",
                            "Secondary and Connecting Road",       "Local, Neighborhood and Rural Road",
                            "Vehicular Trail",                     "Road with Special Characteristics",
                            "Road as Other Thoroughfare"};
    for (int n = 1; n <= 7; ++n) {
        SettingDef& d = t.Selection(Key("CbA", n), roads[n - 1], kMaskRoads,
                                    {{'A', n * 10, n * 10 + 9}, {'P', n * 10, n * 10 + 9}}, true);
        d.caption = "A" + std::to_string(n) + "1 - A" + std::to_string(n) + "8";
        if (n <= 4) d.onNew = NewAction::Set;
        d.firstStart = n <= 4;
        t.GroupBox(d);
    }
    SettingDef& f80 = t.Selection("CbA8", "Nonvisible Other Tabulation Boundary", kMaskRoads, {{'F', 80, 89}}, true);
    f80.caption = "F80 - F85";
    t.GroupBox(f80);

    t.Group("B", "Railroads", kMaskRailroads, kPageRailroads);
    const char* rails[4] = {"Railroad Track", "Railroad Main Line", "Railroad Spur", "Railroad Yard"};
    for (int n = 1; n <= 4; ++n)
        t.GroupBox(t.Selection(Key("CbB", n), rails[n - 1], kMaskRailroads, {{'B', (n - 1) * 10 + 1, (n - 1) * 10 + 3}}));
    t.GroupBox(t.Selection("CbB5", "Railroad Ferry Crossing", kMaskRailroads, {{'B', 40, 40}}));
    t.GroupBox(t.Selection("CbB6", "Other Rail Line", kMaskRailroads, {{'B', 50, 52}}));

    t.Group("C", "Other Ground Transportation", kMaskTransportation, kPageTransportation);
    const char* ground[4] = {"Ground Transportation, Classification Unknown", "Pipeline", "Power Transmission Line",
                             "Other Ground Transportation (Ski Lift, Aerial Tramway)"};
    for (int n = 0; n <= 3; ++n)
        t.GroupBox(t.Selection(Key("CbC", n), ground[n], kMaskTransportation, {{'C', n * 10, n * 10}}));
}

void OtherLineGroups(Builder& t)
{
    t.Group("DL", "Landmark Lines", kMaskLandmarkLines, kPageLandmarkLines, false);
    for (int n = 0; n <= 9; ++n)
        t.GroupBox(t.Selection(Key("CbZ", n), kLandmarkClasses[n], kMaskLandmarkLines, {{'D', n * 10, n * 10 + 9}}));

    // The landmark-area boxes are saved here, and again after the point landmarks.
    t.page = kPageLandmarkAreas;
    t.Text("Dsuf", "D", "File Suffix:").fileNamePart = true;
    for (int n = 0; n <= 9; ++n)
        t.Selection(Key("CbD", n), kLandmarkClasses[n], kMaskLandmarkAreas, {{'D', n * 10, n * 10 + 9}});

    t.Group("E", "Physical Features", kMaskPhysical, kPagePhysical);
    const char* physical[3] = {"Physical Feature, Classification Unknown", "Fence Line",
                               "Topographic Feature (Ridge, Cliff)"};
    for (int n = 0; n <= 2; ++n)
        t.GroupBox(t.Selection(Key("CbE", n), physical[n], kMaskPhysical, {{'E', n * 10, n * 10 + 9}}));

    t.Group("F", "Nonvisible Features", kMaskNonvisible, kPageNonvisible);
    const char* nonvisible[8] = {"Nonvisible Boundary, Classification Unknown",
                                 "Nonvisible Jurisdictional Boundary",
                                 "Feature for Data Base Topology",
                                 "Point-to-Point Line",
                                 "Property Line",
                                 "ZIP Code Boundary",
                                 "Map Edge",
                                 "Nonvisible Statistical Boundary"};
    for (int n = 0; n <= 7; ++n)
        t.GroupBox(t.Selection(Key("CbF", n), nonvisible[n], kMaskNonvisible, {{'F', n * 10, n * 10 + 9}}));
    SettingDef& f80 = t.Selection("CbF8", "Nonvisible Other Tabulation Boundary", kMaskNonvisible, {{'F', 80, 80}});
    f80.caption = "F80 - F85";
    t.GroupBox(f80);

    t.Group("H", "Hydrography", kMaskHydrography, kPageHydrography);
    for (int n = 0; n <= 8; ++n)
        t.GroupBox(t.Selection(Key("CbH", n), kHydrographyClasses[n],
                               kMaskHydrography | kMaskHydrographyAreas | kMaskLandmarkWater,
                               {{'H', kHydrographyRanges[n][0], kHydrographyRanges[n][1]}}, true));

    t.Group("X", "Not Yet Classified", kMaskUnclassified, kPageUnclassified);
    SettingDef& x = t.Selection("CbX0", "Feature Not Yet Classified", kMaskUnclassified, {{'X', 0, 9}});
    x.setReset = false;
    t.GroupBox(x);

    t.Group("ALL", "All Chains", kMaskAllChains, kPageAllChains);
    t.GroupBox(t.Box("CbY0", " Output All Chains to a Single File",
                     "Every chain of the selected classes, with every road, F80 and hydrography chain, in one file"));
}

// The captions of the current-year area boxes (20 is the group's exclude-water
// option), of the geographic entities (10 is theirs) and of the 1990 areas
// (8 is theirs).
const char* const kCurrentAreaBoxes[27] = {nullptr,
                           "FIPS County",
                           "FIPS 55 (MCD/CCD)",
                           "FIPS 55 (Sub-MCD)",
                           "FIPS 55 (Incorporated Place)",
                           "FIPS Consolidated MSA",
                           "FIPS Primary MSA",
                           "FIPS Consolidated City",
                           "FIPS 55 (American Indian/Alaska Native Area)",
                           "Census American Indian/Alaska Native Area",
                           "American Indian Trust Land Flag",
                           "Census Alaska Native Regional Corporation",
                           "Census Tract/BNA ",
                           "Block Number",
                           "Block Groups",
                           "Congressional District",
                           "State Senate District",
                           "State House District",
                           "Census Voting District ",
                           "All Polygons",
                           "Exclude Water ",
                           "Zip Code Tabulation Boundary (* note)",
                           "Core Based Statistical Area",
                           "Combined Statistical Area",
                           "Metropolitan Division",
                           "State Legislative District (Upper)",
                           "State Legislative District (Lower)"};
const char* const kEntityAreaBoxes[11] = {nullptr,
                            "Congressional District Number, 106th",
                            "Congressional District Number, 108th",
                            "Elementary School",
                            "Secondary School",
                            "Unified School",
                            "Traffic Analysis Zone Code",
                            "Census Urbanized Area Code",
                            "Urban Flag",
                            "Census Transportation Planning Package Area Code",
                            "Exclude Water "};
const char* const k1990AreaBoxes[9] = {nullptr,
                        nullptr,
                        "FIPS 55 (American Indian/Alaska Native Area)",
                        "FIPS 55 (MCD/CCD)",
                        "FIPS 55 (Place/CDP)",
                        "Census Tract/BNA Code",
                        "Block Number",
                        "Census American Indian/Alaska Native Area  Code",
                        "Exclude Water "};

// Current-year areas (20 is the group's exclude-water option), geographic
// entities (10 is theirs) and 1990 areas (8 is theirs).
// What the boxes of the areas that only later releases have hold.
const char* const kNewerAreaNotes[5] = {
    "Metropolitan and micropolitan statistical areas of TIGER/Line 2003 and later (RTA CBSACU)",
    "Combined statistical areas of TIGER/Line 2003 and later (RTA CSACU)",
    "Metropolitan divisions of TIGER/Line 2003 and later (RTA METDIVCU)",
    "Current state legislative districts, upper chamber, of TIGER/Line 2006 Second Edition (RTA SLDUCU)",
    "Current state legislative districts, lower chamber, of TIGER/Line 2006 Second Edition (RTA SLDLCU)",
};

void AreaBoxes(Builder& t)
{
    t.page = kPageCurrentAreas;
    for (int i = 1; i <= 26; ++i) {
        SettingDef& d = t.Box(Key("CbAr", i), kCurrentAreaBoxes[i], i >= 22 ? kNewerAreaNotes[i - 22] : "");
        d.setReset = true;
        if (i <= 3) d.onNew = NewAction::Set;
        d.firstStart = i == 12; // census tracts
        d.enabled = i < 16 || i > 18; // not offered
    }
    t.page = kPageEntityAreas;
    for (int k = 1; k <= 10; ++k) {
        SettingDef& d = t.Box(Key("CbAt", k), kEntityAreaBoxes[k]);
        d.setReset = k <= 9;
    }
    t.page = kPage1990Areas;
    for (int j = 2; j <= 8; ++j) {
        SettingDef& d = t.Box(Key("CbAs", j), k1990AreaBoxes[j]);
        d.setReset = j <= 7;
    }
}

// The output-field boxes 1 to 49 by number.
struct Field {
    int group;   // line group mask
    int columns; // LineColumnGroup bits
    const char* caption;
};
const Field kFieldBoxes[50] = {
    {},
    {1, kColTlid, "TIGER ID"},
    {1, kColCfcc, "CFCC"},
    {1, kColName, "First Name"},
    {1, kColName1, "Second Name"},
    {1, kColName2, "Third Name"},
    {1, kColAddress, "Address"},
    {1, kColZip, "Zip Code"},
    {1, kColFmcd, "FIPS 55 (MCD/CCD)"},
    {1, kColFpl, "FIPS 55 (Incorporated Place)"},
    {1, kColNodes, "Node and Links"},
    {2, kColTlid, "TIGER ID"},
    {2, kColCfcc, "CFCC"},
    {2, kColName, "First Name"},
    {2, kColName1, "Second Name"},
    {2, kColName2, "Third Name"},
    {2, kColFmcd, "FIPS 55 (MCD/CCD)"},
    {2, kColFpl, "FIPS 55 (Incorporated Place)"},
    {64, kColCfcc, "CFCC"},
    {64, kColName, "First Name"},
    {64, kColName1, "Second Name"},
    {64, kColName2, "Third Name"},
    {64, kColFmcd, "FIPS 55 (MCD/CCD)"},
    {64, kColFpl, "FIPS 55 (Incorporated Place)"},
    {64, 0, "(adds no column)"},
    {2, kColNodes, "Node and Links"},
    {64, kColNodes, "Node and Links"},
    {8, kColTlid, "TIGER ID"},
    {8, kColNodes | kColCfcc, "CFCC, Node and Links"},
    {8, kColFmcd, "FIPS 55 (MCD/CCD)"},
    {8, kColFpl, "FIPS 55 (Incorporated Place)"},
    {8, kColName, "First Name"},
    {8, kColName1, "Second Name"},
    {8, kColName2, "Third Name"},
    {16, kColTlid, "TIGER ID"},
    {16, kColCfcc, "CFCC"},
    {32, kColTlid, "TIGER ID"},
    {32, kColCfcc, "CFCC"},
    {255, kColTlid, "TIGER ID"},
    {255, kColCfcc, "CFCC"},
    {255, kColName, "First Name"},
    {255, kColName1, "Second Name"},
    {255, kColName2, "Third Name"},
    {255, kColAddress, "Address"},
    {255, kColZip, "Zip Code"},
    {255, kColFmcd, "FIPS 55 (MCD/CCD)"},
    {255, kColFpl, "FIPS 55 (Incorporated Place)"},
    {255, kColNodes, "Node and Links"},
    {4, kColTlid, "TIGER ID"},
    {4, kColCfcc, "CFCC"},
};

// The output-field boxes: which line group each belongs to and which column
// groups it adds. On the hydrography page the boxes act one place along
// from the other pages' order, and on the landmark-line page the CFCC box
// also adds the node numbers; the captions say what each box adds.
void FieldBoxes(Builder& t)
{
    const int checked[] = {1, 2, 3, 4, 11, 12, 13, 14, 48, 49, 27, 28, 31, 32, 34, 35, 36, 37, 38, 39, 40, 41};
    for (int q = 1; q <= 49; ++q) {
        bool on = false;
        for (int c : checked) on = on || c == q;
        LineGroupDef* group = nullptr;
        for (LineGroupDef& g : t.groups)
            if (g.mask == kFieldBoxes[q].group) group = &g;
        t.page = group->page;
        SettingDef& d = t.Box("CbQ" + Two(q), kFieldBoxes[q].caption, {}, on);
        t.fieldBoxes.push_back({d.key, kFieldBoxes[q].group, kFieldBoxes[q].columns});
        if (q <= 2) d.onNew = NewAction::Set;
        group->fieldBoxes.push_back(d.key);
    }
}

void WaterAndPointBoxes(Builder& t)
{
    t.page = kPageWater;
    t.Text("Wsuf", "W", "File Suffix:").fileNamePart = true;
    t.Box("CbW1", "Water Blocks", "Census 2000 blocks that are water");
    t.Text("Wsuf2", "WLND", "File Suffix:").fileNamePart = true;
    t.Box("CbW2", "Landmark Water (H00 - H80)", "Landmark polygons of the selected hydrography classes");

    t.page = kPagePointLandmarks;
    t.Text("Dsuf2", "DP", "File Suffix:").fileNamePart = true;
    for (int n = 0; n <= 9; ++n)
        t.Selection(Key("CbP", n), kLandmarkClasses[n], kMaskPointLandmarks, {{'D', n * 10, n * 10 + 9}});
    for (int n = 0; n <= 9; ++n) t.SaveAgain(Key("CbD", n));
    t.page = kPageLandmarkAreas;
    t.Box("CbD10", "Exclude Water ");

    const int centroidPages[6] = {0, kPageWater, kPageLandmarkAreas, kPageCurrentAreas, kPage1990Areas,
                                  kPageEntityAreas};
    for (int n = 1; n <= 5; ++n) {
        t.page = centroidPages[n];
        t.Box(Key("CbCn", n), n == 1 ? "Centroid" : "Calculate Centroid",
              "A point layer of the areas' centroids beside each MIF area layer");
    }
}

void Options(Builder& t)
{
    t.Section("Options");
    t.place = SettingPlace::OptionsDialog;
    t.page = kProjection;
    t.Choice("RbP", 0, 0, {" Longitude , Latitude", " Lambert Azmuthal Equal Area", " Universal Transverse Mercator"});
    t.Find("RbP2").enabled = false;
    t.page = kOrdering;
    t.Choice("RbO", 1, 1, {"None", "Spatial", "MCD/CCD", "CFCC"});
    t.page = kDirectory;
    t.Choice("RbD", 0, 3, {"None", "State", "State && County", "State && County Name"});
    t.page = kProgram;
    t.Choice("RbE", 1, 1, {"Overwrite Existing Files", "Skip Existing Files"});
    t.page = kFormat;
    // A button per output format.
    std::vector<std::string> formats;
    for (const FormatDriver* f : FormatDrivers()) formats.emplace_back(f->caption);
    t.Choice("RbF", 0, 0, formats);
    for (std::size_t i = 0; i < formats.size(); ++i) t.Find(Key("RbF", static_cast<int>(i))).shown = FormatDrivers()[i]->offered;
    t.page = kProjection;
    SettingDef& lambert = t.Text("LAM", "6370997,-100,45", "Lambert Parameters");
    lambert.match = KeyMatch::Prefix;
    lambert.lambertParameters = true;
    t.Box("NAD83", "Convert to NAD83",
          "Counties on NAD27 or an older local datum (TIGER/Line files before 1995) converted to NAD83 with PROJ, "
          "which needs the datum's shift grid");
    t.page = kSizeReduction;
    t.Number("DIG", "Precision Digits:", 1, 6, 6);
    t.Number("TOL", "Straight Line Tolerance:", 0, 1000, 0);
    t.place = SettingPlace::LogDialog;
    t.page = -1;
    t.Box("DLOG", "Delete Log at Startup", {}, true);
    t.place = SettingPlace::OptionsDialog;
    t.page = kProgram;
    t.Box("BEEP", "Beep Upon Completion");
    t.Line(SaveItem::Kind::LastName);
    t.Box("ZIP", "Auto Zip Files", "Each county's MIF, MID and MTD files gathered into ZGRssccc.ZIP");
    t.Line(SaveItem::Kind::RecentFiles);
    t.place = SettingPlace::LogDialog;
    t.page = -1;
    SettingDef off;
    off.key = "DisableLogs";
    off.kind = SettingKind::Box;
    off.defaultValue = "1";
    off.caption = "Disable Logs";
    off.saved = false;
    t.Add(std::move(off));
}

struct Tables {
    std::vector<SettingDef> settings;
    std::vector<SaveItem> save;
    std::vector<LineGroupDef> groups;
    std::vector<AreaLayerDef> areas;
    std::vector<SelectionBoxDef> selectionBoxes;
    std::vector<FieldBoxDef> fieldBoxes;
};

// The layers of the current-year, 1990 and entity boxes, by box number.
const char* const kCurrentAreas[27] = {nullptr, "CNTY",   "FMCD",     "FSMCD",   "FPL",     "CMSAMSA", "PMSA",
                                       "FCCITY",  "FAIR",   "AIR",      "TRUST",   "ANRC",    "CTBNA00", "BLK00",
                                       "BGP00",   "CDCU",   "STSENATE", "STHOUSE", "VTD00",   "POLYID",  nullptr,
                                       "ZCTA5",   "CBSA",   "CSA",      "METDIV",  "SLDU",    "SLDL"};
const char* const k1990Areas[8] = {nullptr, nullptr, "FAIR90", "FMCD90", "FPL90", "CTBNA90", "BLK90", "AIR90"};
const char* const kEntityAreas[10] = {nullptr, "CD106", "CD108", "SDELM", "SDSEC",
                                      "SDUNI",  "TAZ",   "UA",    "URBFLAG", "CTPP"};

// The area layers in the order they are written.
std::vector<AreaLayerDef> AreaLayers()
{
    std::vector<AreaLayerDef> out;
    out.reserve(64); // references to the entries stay valid while they are filled in
    auto layer = [&](std::string name, std::string nameKey, std::string box) {
        AreaLayerDef& a = out.emplace_back();
        a.name = std::move(name);
        a.nameKey = std::move(nameKey);
        a.boxKey = std::move(box);
        return std::ref(a);
    };
    AreaLayerDef& water = layer("", "Wsuf", "CbW1");
    water.caption = "Water Blocks";
    water.polygonKeys = true;
    water.centroidKey = "CbCn1";
    AreaLayerDef& landmarkWater = layer("", "Wsuf2", "CbW2");
    landmarkWater.caption = "Landmark Water";
    landmarkWater.landmarkClassMask = kMaskLandmarkWater;
    landmarkWater.centroidKey = "CbCn1";
    // Every key geographic location of the selected landmark classes.
    AreaLayerDef& keyLocations = layer("KGL", "", "");
    keyLocations.caption = "Key Geographic Locations";
    keyLocations.when = AreaLayerDef::When::Always;
    keyLocations.landmarkClassMask = kMaskLandmarkAreas;
    // Landmark areas, whenever one of their boxes is checked.
    AreaLayerDef& landmarks = layer("", "Dsuf", "");
    landmarks.caption = "Landmark Areas";
    landmarks.when = AreaLayerDef::When::LandmarkAreas;
    landmarks.landmarkClassMask = kMaskLandmarkAreas;
    landmarks.excludeWaterKey = "CbD10";
    landmarks.centroidKey = "CbCn2";

    for (int i = 1; i <= 26; ++i) {
        if (i == 20) continue;
        AreaLayerDef& a = layer(kCurrentAreas[i], "", Key("CbAr", i));
        a.excludeWaterKey = "CbAr20";
        a.centroidKey = "CbCn3";
    }
    for (int j = 2; j <= 7; ++j) {
        AreaLayerDef& a = layer(k1990Areas[j], "", Key("CbAs", j));
        a.excludeWaterKey = "CbAs8";
        a.centroidKey = "CbCn4";
    }
    for (int k = 1; k <= 9; ++k) {
        AreaLayerDef& a = layer(kEntityAreas[k], "", Key("CbAt", k));
        a.excludeWaterKey = "CbAt10";
        a.centroidKey = "CbCn5";
    }
    return out;
}

Tables BuildTables()
{
    Builder t;
    t.Section("Main");
    t.place = SettingPlace::MainWindow;
    SettingDef& input = t.Text("Input", "", "Input directory");
    input.loadOnlyDirectory = true;
    input.path = true;
    SettingDef& output = t.Text("Output", "", "Output (Root):");
    output.onNew = NewAction::ProgramDirectory;
    output.path = true;
    t.place = SettingPlace::LogDialog;
    t.Text("Log", "", "Log File:").path = true;

    t.Section("Features");
    t.place = SettingPlace::FeatureDialog;
    RoadsAndRailroads(t);
    OtherLineGroups(t);
    AreaBoxes(t);
    FieldBoxes(t);
    WaterAndPointBoxes(t);
    Options(t);
    t.Section("Files");
    t.Line(SaveItem::Kind::InputFiles);
    t.Section("Comment");
    t.Line(SaveItem::Kind::Comment);

    Tables out;
    out.areas = AreaLayers();
    for (std::size_t i = 0; i < out.areas.size(); ++i) {
        AreaLayerDef& a = out.areas[i];
        a.defaultName = a.nameKey.empty() ? a.name : t.Find(a.nameKey).defaultValue;
        if (a.boxKey.empty()) continue;
        a.caption = a.caption.empty() ? t.Find(a.boxKey).caption : a.caption;
    }
    out.settings = std::move(t.defs);
    out.save = std::move(t.save);
    out.groups = std::move(t.groups);
    out.selectionBoxes = std::move(t.selectionBoxes);
    out.fieldBoxes = std::move(t.fieldBoxes);
    return out;
}

const Tables& AllTables()
{
    static const Tables tables = BuildTables();
    return tables;
}

} // namespace

const std::vector<SettingDef>& SettingTable() { return AllTables().settings; }
const std::vector<SaveItem>& SaveOrder() { return AllTables().save; }
const std::vector<LineGroupDef>& LineGroupTable() { return AllTables().groups; }
const std::vector<AreaLayerDef>& AreaLayerTable() { return AllTables().areas; }
const std::vector<SelectionBoxDef>& SelectionBoxTable() { return AllTables().selectionBoxes; }
const std::vector<FieldBoxDef>& FieldBoxTable() { return AllTables().fieldBoxes; }

const SelectionBoxDef* FindSelectionBox(std::string_view key)
{
    for (const SelectionBoxDef& box : SelectionBoxTable())
        if (box.key == key) return &box;
    return nullptr;
}

const FieldBoxDef* FindFieldBox(std::string_view key)
{
    for (const FieldBoxDef& box : FieldBoxTable())
        if (box.key == key) return &box;
    return nullptr;
}

const std::vector<OutputFieldDef>& OutputFieldTable()
{
    static const std::vector<OutputFieldDef> fields = {
        {"id", "TLID, the TIGER/Line ID", kColTlid, ""},
        {"cfcc", "CFCC", kColCfcc, ""},
        {"names", "NAME, NAME1, NAME2: the feature name and two alternate names", kColName | kColName1 | kColName2,
         ""},
        {"address", "FRADDL, FRADDR, TOADDL, TOADDR: the address ranges", kColAddress, ""},
        {"zip", "ZIPL, ZIPR", kColZip, ""},
        {"fips", "FMCDL, FMCDR, FPLL, FPLR: county subdivision and place codes", kColFmcd | kColFpl, ""},
        {"nodes", "FNODE, TNODE, and a node file beside the line file", kColNodes, "N"},
    };
    return fields;
}

const std::vector<PointLayerDef>& PointLayerTable()
{
    static const std::vector<PointLayerDef> layers = {{"Dsuf2", "Landmark Points", kMaskPointLandmarks}};
    return layers;
}

const std::vector<OutputFormatDef>& OutputFormatTable()
{
    static const std::vector<OutputFormatDef> formats = [] {
        std::vector<OutputFormatDef> out;
        for (std::size_t i = 0; i < FormatDrivers().size(); ++i) {
            const FormatDriver& f = *FormatDrivers()[i];
            out.push_back({std::string(f.name), Key("RbF", static_cast<int>(i)),
                           std::vector<std::string>(f.extensions.begin(), f.extensions.end()), f.points,
                           std::string(f.centroidSuffix), f.Tables()});
        }
        return out;
    }();
    return formats;
}

} // namespace zalor
