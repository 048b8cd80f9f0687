// Run settings: every option of a conversion, addressed by its key.
//
// A key is also the name of the control that shows the setting and the key
// of its line in a configuration file. The table of settings is the one
// place that says what each key means: its caption and description, where
// it is shown, what "New" and the Set/Reset buttons do to it, where a
// configuration file holds it, which CFCC codes a feature box selects,
// which columns an output-field box adds and which layer an area box
// writes. The configuration file, the feature selection, the driver, the
// command line and the GUI all work from it.
#pragma once

#include "run/entries.h"
#include "tiger/area_records.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

enum class SettingKind {
    Box,    // check box: "0" / "1"
    Radio,  // one button of a choice: setting one clears the others of its group
    Text,   // free text (suffixes, paths, the Lambert parameters)
    Number, // integer text brought into its range whenever it is set (DIG, TOL)
};

// Where a setting is shown.
enum class SettingPlace {
    Hidden,        // not shown anywhere
    MainWindow,
    FeatureDialog, // `page` is the feature dialog's page
    OptionsDialog, // `page` is the group of the options dialog
    LogDialog,
};

// What "New" does to a setting (every box of the feature dialog is
// cleared or set: "New" gives one selection, whatever was chosen before).
enum class NewAction { Keep, Clear, Set, ProgramDirectory };

// How a configuration line's key names the setting: exactly, or by its
// first characters (a key "DIGITS" sets DIG).
enum class KeyMatch { Exact, Prefix };

// Masks of the CFCC selections (the line groups are 1 to 128).
enum SelectionMask : int {
    kMaskRoads = 1,
    kMaskRailroads = 2,
    kMaskTransportation = 4,
    kMaskLandmarkLines = 8,
    kMaskPhysical = 16,
    kMaskNonvisible = 32,
    kMaskHydrography = 64,
    kMaskUnclassified = 128,
    kMaskAllChains = 255,      // the all-chains file: road, F80 and hydrography codes whatever their boxes
    kMaskHydrographyAreas = 256,
    kMaskPointLandmarks = 512,
    kMaskLandmarkAreas = 1024,
    kMaskLandmarkWater = 2048,
    kMaskEverything = 0xFFFF,  // the check before a run
};

// A run of CFCC codes: letter + two digits from `first` to `last`.
struct CfccRange {
    char letter;
    int first;
    int last;
};

struct SettingDef {
    std::string key;
    SettingKind kind = SettingKind::Box;
    std::string group;        // choice group of a Radio ("RbP", "RbD", ...)
    std::string defaultValue; // "0"/"1" for boxes and buttons, text otherwise
    std::string caption;      // beside the control
    std::string description;  // what it selects or does
    SettingPlace place = SettingPlace::Hidden;
    int page = -1;            // feature dialog page or options dialog group
    bool setReset = false;    // one of the boxes the page's Set and Reset buttons change
    NewAction onNew = NewAction::Keep;
    bool firstStart = false;  // checked at a first start, before there is any configuration
    bool enabled = true;      // a disabled box cannot be set
    bool shown = true;        // false: honoured but not shown (RbF2)
    bool saved = true;        // written to configuration files
    int saveOrder = -1;       // first position in a configuration file (-1: not written)
    KeyMatch match = KeyMatch::Exact;
    bool loadOnlyDirectory = false; // a configuration line applies only when it names a directory
    bool path = false;        // a Text that names a file or directory (shown in the file system's encoding)
    bool fileNamePart = false; // part of output file names (a suffix): not empty, no separator, no ".."
    bool lambertParameters = false; // "radius,central longitude,central latitude"
    int choiceValue = 0;      // a Radio's value (RbF1 is 1)
    int minimum = 0, maximum = 0, fallback = 0; // Number: its range, and the value of a text that is no integer
};

// The table of every setting.
const std::vector<SettingDef>& SettingTable();
// The setting of a key, or null.
const SettingDef* FindSetting(std::string_view key);

// What the boxes of the feature dialog mean: a selection box adds CFCC
// codes to selections, an output-field box columns to the line files of
// its group. The plan's builders read them.
struct SelectionBoxDef {
    std::string key;
    int masks = 0;                  // the selections it feeds (SelectionMask bits)
    bool forcedByAllChains = false; // its codes go into the all-chains file whatever the box says
    std::vector<CfccRange> codes;
};
const std::vector<SelectionBoxDef>& SelectionBoxTable();
const SelectionBoxDef* FindSelectionBox(std::string_view key);

struct FieldBoxDef {
    std::string key;
    int group = 0;        // its line group (the group's mask)
    int columnGroups = 0; // the column groups it adds (LineColumnGroup bits)
};
const std::vector<FieldBoxDef>& FieldBoxTable();
const FieldBoxDef* FindFieldBox(std::string_view key);

// One line group of the feature dialog, and the all-chains file.
struct LineGroupDef {
    std::string name;      // the default suffix, also its name on the command line ("A", ..., "ALL")
    std::string caption;   // "Roads", ...
    int mask = 0;
    std::string suffixKey;
    std::vector<std::string> boxes;      // selection boxes
    std::vector<std::string> fieldBoxes; // output-field boxes
    int page = -1;
};
// A to X in their output order, then the all-chains file.
const std::vector<LineGroupDef>& LineGroupTable();

// One area layer, in the order the driver writes them. Where each release
// has its keys is the record layouts' business (tiger/area_sources.h,
// by the layer's default name).
struct AreaLayerDef {
    enum class When { Box, LandmarkAreas, Always };
    std::string name;       // fixed layer name ("CNTY", "KGL")
    std::string nameKey;    // or the setting that holds it (a suffix: "Wsuf")
    std::string defaultName; // the name, or its suffix's default: how the command line names it
    std::string caption;
    When when = When::Box;
    std::string boxKey;     // the box that selects it (When::Box)
    int landmarkClassMask = 0; // landmark layers: the selection of their classes
    bool polygonKeys = false;  // every keyed polygon an area of its own (water blocks)
    std::string excludeWaterKey;
    std::string centroidKey;
};
const std::vector<AreaLayerDef>& AreaLayerTable();

// The output-field groups of the line files, as the command line names
// them: each stands for the output-field boxes that add its columns.
struct OutputFieldDef {
    std::string name;     // "id", "cfcc", "names", ...
    std::string caption;  // the columns it adds
    int columnGroups = 0; // LineColumnGroup bits
    std::string fileSuffix; // its boxes also write a file of their own: the line file's base + this
};
const std::vector<OutputFieldDef>& OutputFieldTable();

// The output formats and the files each writes for one layer.
struct OutputFormatDef {
    std::string name;    // on the command line: "mif", "shp", "kxf", "gpkg"
    std::string key;     // its button of the RbF choice
    std::vector<std::string> extensions; // the layer's files, the main one first
    bool points = true;  // point layers: landmark points and node files
    std::string centroidSuffix; // the centroid layer beside an area layer (its base + this), or none
    bool tables = false; // every layer is a table of one file per county (TGRssccc + the extension)
};
const std::vector<OutputFormatDef>& OutputFormatTable();

// The landmark point layer: its classes are the boxes of `classMask`.
struct PointLayerDef {
    std::string suffixKey;
    std::string caption;
    int classMask = 0;
};
const std::vector<PointLayerDef>& PointLayerTable();

// The pages of the feature dialog: its tree's nodes, by index.
struct FeaturePageDef {
    int index;
    int parent;          // -1 for a top node
    std::string node;    // the tree node's text
    std::string heading; // shown in the header panel
    std::string text;    // what the page is about, above its boxes (may be empty)
    std::string note;    // a remark below its boxes (may be empty)
};
const std::vector<FeaturePageDef>& FeaturePageTable();
// The groups of the options dialog, by index.
const std::vector<std::string>& OptionsGroupTable();

// The lines of a configuration file, in order.
struct SaveItem {
    enum class Kind { Section, Setting, Choice, LastName, RecentFiles, InputFiles, Comment };
    Kind kind;
    std::string text; // the section's name, the setting's key or the choice's group
};
const std::vector<SaveItem>& SaveOrder();

class RunSettings {
public:
    // programDir and currentDir end in the directory separator.
    explicit RunSettings(std::string programDir = "./", std::string currentDir = "./");

    // --- generic access by key -------------------------------------------
    bool Has(std::string_view key) const;
    const SettingDef* Def(std::string_view key) const { return FindSetting(key); }
    // Text form of any setting ("0"/"1" for boxes and buttons).
    std::string Get(std::string_view key) const;
    // Sets any setting from its text form. Boxes and buttons take "0"/"1"
    // (anything whose integer value is not 0 sets them); setting a button
    // clears the others of its choice, clearing one leaves them alone;
    // a disabled box keeps its state. Returns false for an unknown key.
    bool Set(std::string_view key, std::string_view value);

    // --- typed access ------------------------------------------------------
    bool Box(std::string_view key) const;
    void SetBox(std::string_view key, bool on);
    const std::string& Text(std::string_view key) const;
    // Control characters in a text are replaced by spaces; a number is
    // brought into its range.
    void SetText(std::string_view key, std::string_view value);
    // Sets the button of a choice and clears the others of its group.
    void SetRadio(std::string_view key);
    // The set button of a choice group ("RbF" gives "RbF0", "RbF1", ...).
    std::string Choice(std::string_view group) const;
    // The value of the set button of a choice group (0 when none is set).
    int ChoiceValue(std::string_view group) const;
    // A Number setting's value.
    int Number(std::string_view key) const;

    // Precision digits (1..6) and straight line tolerance (0..1000).
    int Precision() const { return Number("DIG"); }
    int Tolerance() const { return Number("TOL"); }
    bool SkipExisting() const { return Box("RbE2"); }
    bool LogsDisabled() const { return Box("DisableLogs"); }

    // --- lists ---------------------------------------------------------------
    std::vector<InputEntry> inputs; // in order (InputOrder), each once
    std::vector<std::string> memo;   // comment lines

    std::string programDir; // ends in '/'
    std::string currentDir; // ends in '/'

private:
    std::size_t Index(std::string_view key) const; // throws on unknown key
    std::vector<std::string> values_;
    std::vector<int> numbers_; // Number settings' values, by index
};

// A text as a text setting holds it: control characters (line ends, NUL)
// become spaces, since the setting must go into a configuration line and
// come back.
std::string TextAsStored(std::string_view value);

// Integer value of a decimal text, or `fallback` when it is not one.
int ParseIntOr(std::string_view text, int fallback);

} // namespace zalor
