#include "run/settings.h"

#include "tiger/fields.h"

#include <charconv>
#include <stdexcept>

namespace zalor {

namespace {

struct TableBuilder {
    std::vector<SettingDef> defs;

    void Box(std::string key, bool on = false, std::string caption = {}, bool enabled = true)
    {
        defs.push_back({std::move(key), SettingKind::Box, {}, on ? "1" : "0", std::move(caption),
                        enabled, true});
    }
    void Boxes(const std::string& prefix, int first, int last)
    {
        for (int i = first; i <= last; ++i) Box(prefix + std::to_string(i));
    }
    void Radio(std::string key, std::string group, bool on, std::string caption, bool enabled = true)
    {
        defs.push_back({std::move(key), SettingKind::Radio, std::move(group), on ? "1" : "0",
                        std::move(caption), enabled, true});
    }
    void Text(std::string key, std::string value, std::string caption = {})
    {
        defs.push_back({std::move(key), SettingKind::Text, {}, std::move(value), std::move(caption),
                        true, true});
    }
};

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::vector<SettingDef> BuildTable()
{
    TableBuilder t;
    // [Main]
    t.Text("Input", "", "Input directory");
    t.Text("Output", "", "Output (Root):");
    t.Text("Log", "", "Log File:");

    // [Features]: line groups, each with its suffix and selection boxes.
    t.Text("Asuf", "A");
    t.Box("CbA1", false, "A11 - A18");
    for (int n = 2; n <= 7; ++n)
        t.Box("CbA" + std::to_string(n), false, "A" + std::to_string(n) + "1 - A" + std::to_string(n) + "8");
    t.Box("CbA8", false, "F80 - F85");
    t.Text("Bsuf", "B");
    t.Boxes("CbB", 1, 6);
    t.Text("Csuf", "C");
    t.Boxes("CbC", 0, 3);
    t.Text("Zsuf", "DL");
    t.Boxes("CbZ", 0, 9);
    t.Text("Dsuf", "D");
    t.Boxes("CbD", 0, 9);
    t.Text("Esuf", "E");
    t.Boxes("CbE", 0, 2);
    t.Text("Fsuf", "F");
    t.Boxes("CbF", 0, 8);
    t.Text("Hsuf", "H");
    t.Boxes("CbH", 0, 8);
    t.Text("Xsuf", "X");
    t.Box("CbX0");
    t.Text("Ysuf", "ALL");
    t.Box("CbY0", false, " Output All Chains to a Single File");

    // Current-year areas (20 is the group's exclude-water option).
    const char* arCaptions[22] = {nullptr,
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
                                  "Zip Code Tabulation Boundary (* note)"};
    for (int i = 1; i <= 21; ++i)
        t.Box("CbAr" + std::to_string(i), false, arCaptions[i], i < 16 || i > 18);
    const char* atCaptions[11] = {nullptr,
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
    for (int i = 1; i <= 10; ++i) t.Box("CbAt" + std::to_string(i), false, atCaptions[i]);
    const char* asCaptions[9] = {nullptr,
                                 nullptr,
                                 "FIPS 55 (American Indian/Alaska Native Area)",
                                 "FIPS 55 (MCD/CCD)",
                                 "FIPS 55 (Place/CDP)",
                                 "Census Tract/BNA Code",
                                 "Block Number",
                                 "Census American Indian/Alaska Native Area  Code",
                                 "Exclude Water "};
    for (int i = 2; i <= 8; ++i) t.Box("CbAs" + std::to_string(i), false, asCaptions[i]);

    // Output-field boxes of the line groups.
    const int checked[] = {1, 2, 3, 4, 11, 12, 13, 14, 48, 49, 27, 28, 31, 32, 34, 35, 36, 37, 38, 39, 40, 41};
    for (int q = 1; q <= 49; ++q) {
        bool on = false;
        for (int c : checked) on = on || c == q;
        t.Box("CbQ" + Two(q), on);
    }

    t.Text("Wsuf", "W");
    t.Box("CbW1", false, "Water Blocks");
    t.Text("Wsuf2", "WLND");
    t.Box("CbW2", false, "Landmark Water (H00 - H80)");
    t.Text("Dsuf2", "DP");
    t.Boxes("CbP", 0, 9);
    t.Box("CbD10", false, "Exclude Water ");
    t.Box("CbCn1", false, "Centroid");
    for (int i = 2; i <= 5; ++i) t.Box("CbCn" + std::to_string(i), false, "Calculate Centroid");

    // [Options]
    t.Radio("RbP0", "RbP", true, " Longitude , Latitude");
    t.Radio("RbP1", "RbP", false, " Lambert Azmuthal Equal Area");
    t.Radio("RbP2", "RbP", false, " Universal Transverse Mercator", false);
    t.Radio("RbO1", "RbO", true, "None");
    t.Radio("RbO2", "RbO", false, "Spatial");
    t.Radio("RbO3", "RbO", false, "MCD/CCD");
    t.Radio("RbO4", "RbO", false, "CFCC");
    t.Radio("RbD0", "RbD", false, "None");
    t.Radio("RbD1", "RbD", false, "State");
    t.Radio("RbD2", "RbD", false, "State && County");
    t.Radio("RbD3", "RbD", true, "State && County Name");
    t.Radio("RbE1", "RbE", true, "Overwrite Existing Files");
    t.Radio("RbE2", "RbE", false, "Skip Existing Files");
    t.Radio("RbF0", "RbF", true, " MID/MIF");
    t.Radio("RbF1", "RbF", false, " SHP/DBF/SHX");
    t.Radio("RbF2", "RbF", false, " KXF/DBF");
    t.Text("LAM", "6370997,-100,45");
    t.defs.push_back({"DIG", SettingKind::Number, {}, "6", "Precision Digits:", true, true});
    t.defs.push_back({"TOL", SettingKind::Number, {}, "0", "Straight Line Tolerance:", true, true});
    t.Box("DLOG", true, "Delete Log at Startup");
    t.Box("BEEP", false, "Beep Upon Completion");
    t.Box("ZIP", false, "Auto Zip Files");
    // Not stored in configuration files.
    t.defs.push_back({"DisableLogs", SettingKind::Box, {}, "1", "Disable Logs", true, false});
    return t.defs;
}

struct KeyIndex {
    std::unordered_map<std::string_view, std::size_t> map;
    explicit KeyIndex(const std::vector<SettingDef>& defs)
    {
        for (std::size_t i = 0; i < defs.size(); ++i) map.emplace(defs[i].key, i);
    }
};

const KeyIndex& Keys()
{
    static const KeyIndex index(SettingTable());
    return index;
}

} // namespace

const std::vector<SettingDef>& SettingTable()
{
    static const std::vector<SettingDef> table = BuildTable();
    return table;
}

int ParseIntOr(std::string_view text, int fallback)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    int v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (first == last || ec != std::errc() || ptr != last) return fallback;
    return v;
}

RunSettings::RunSettings(std::string programDirArg, std::string currentDirArg)
    : programDir(std::move(programDirArg)), currentDir(std::move(currentDirArg))
{
    for (std::string* d : {&programDir, &currentDir})
        if (d->empty() || d->back() != '/') d->push_back('/');
    const auto& table = SettingTable();
    values_.reserve(table.size());
    for (const auto& def : table) values_.push_back(def.defaultValue);
    values_[Index("Input")] = currentDir;
    values_[Index("Output")] = programDir;
    values_[Index("Log")] = programDir + "ZALOR.LOG";
}

std::size_t RunSettings::Index(std::string_view key) const
{
    auto it = Keys().map.find(key);
    if (it == Keys().map.end()) throw std::invalid_argument("unknown setting " + std::string(key));
    return it->second;
}

bool RunSettings::Has(std::string_view key) const { return Keys().map.count(key) != 0; }

const SettingDef* RunSettings::Def(std::string_view key) const
{
    auto it = Keys().map.find(key);
    return it == Keys().map.end() ? nullptr : &SettingTable()[it->second];
}

std::string RunSettings::Get(std::string_view key) const { return values_[Index(key)]; }

bool RunSettings::Set(std::string_view key, std::string_view value)
{
    const SettingDef* def = Def(key);
    if (!def) return false;
    switch (def->kind) {
    case SettingKind::Box:
        SetBox(key, FieldToInt(value) != 0);
        break;
    case SettingKind::Radio:
        if (FieldToInt(value) != 0) SetRadio(key);
        else values_[Index(key)] = "0";
        break;
    case SettingKind::Text:
    case SettingKind::Number:
        SetText(key, value);
        break;
    }
    return true;
}

bool RunSettings::Box(std::string_view key) const { return values_[Index(key)] == "1"; }

void RunSettings::SetBox(std::string_view key, bool on)
{
    std::size_t i = Index(key);
    if (!SettingTable()[i].enabled) return;
    values_[i] = on ? "1" : "0";
}

const std::string& RunSettings::Text(std::string_view key) const { return values_[Index(key)]; }

int RunSettings::ClampPrecision(std::string_view text)
{
    int v = ParseIntOr(text, 6);
    if (v > 6) v = 6;
    if (v <= 0) v = 1;
    return v;
}

int RunSettings::ClampTolerance(std::string_view text)
{
    int v = ParseIntOr(text, 0);
    if (v > 1000) v = 1000;
    if (v < 0) v = 0;
    return v;
}

void RunSettings::SetText(std::string_view key, std::string_view value)
{
    std::size_t i = Index(key);
    if (key == "DIG") {
        precision_ = ClampPrecision(value);
        values_[i] = std::to_string(precision_);
    } else if (key == "TOL") {
        tolerance_ = ClampTolerance(value);
        values_[i] = std::to_string(tolerance_);
    } else {
        // Text settings never hold control characters: a line end could not
        // be written to a configuration file and read back.
        std::string& text = values_[i];
        text.assign(value);
        for (char& c : text) {
            unsigned char u = static_cast<unsigned char>(c);
            if (u < 32 || u == 127) c = ' ';
        }
    }
}

void RunSettings::SetRadio(std::string_view key)
{
    std::size_t i = Index(key);
    const std::string& group = SettingTable()[i].group;
    const auto& table = SettingTable();
    for (std::size_t j = 0; j < table.size(); ++j)
        if (table[j].kind == SettingKind::Radio && table[j].group == group) values_[j] = "0";
    values_[i] = "1";
}

std::string RunSettings::Choice(std::string_view group) const
{
    const auto& table = SettingTable();
    for (std::size_t j = 0; j < table.size(); ++j)
        if (table[j].kind == SettingKind::Radio && table[j].group == group && values_[j] == "1")
            return table[j].key;
    return {};
}

int RunSettings::FormatCode() const
{
    if (Box("RbF1")) return 1;
    if (Box("RbF2")) return 2;
    return 0;
}

} // namespace zalor
