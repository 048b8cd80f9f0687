// Run settings: every option of a conversion, addressed by its key.
//
// A key is also the name of the control that shows the setting and the key
// of its line in a configuration file, so the configuration file, the
// command line and the GUI all read and write settings through one table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zalor {

enum class SettingKind {
    Box,    // check box: "0" / "1"
    Radio,  // one button of a choice: setting one clears the others of its group
    Text,   // free text (suffixes, paths, the Lambert parameters)
    Number, // integer text brought into a range whenever it is set (DIG, TOL)
};

struct SettingDef {
    std::string key;
    SettingKind kind;
    std::string group;        // choice group for Radio ("RbP", "RbD", ...)
    std::string defaultValue; // "0"/"1" for boxes and buttons, text otherwise
    std::string caption;      // what the GUI shows beside it
    bool enabled = true;      // disabled boxes cannot be set
    bool saved = true;        // written to configuration files
};

// The table of every setting, in configuration-file order where that matters.
const std::vector<SettingDef>& SettingTable();

class RunSettings {
public:
    // programDir and currentDir end in the directory separator.
    explicit RunSettings(std::string programDir = "./", std::string currentDir = "./");

    // --- generic access by key -------------------------------------------
    bool Has(std::string_view key) const;
    const SettingDef* Def(std::string_view key) const;
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
    // Control characters in a text are replaced by spaces.
    void SetText(std::string_view key, std::string_view value);
    // Sets the button of a choice and clears the others of its group.
    void SetRadio(std::string_view key);
    // The set button of a choice group ("RbF" gives "RbF0", "RbF1" or "RbF2").
    std::string Choice(std::string_view group) const;

    // Precision digits (1..6) and straight line tolerance (0..1000).
    int Precision() const { return precision_; }
    int Tolerance() const { return tolerance_; }

    // Run-wide derived values.
    int FormatCode() const;             // 0 MIF/MID, 1 SHP/DBF/SHX, 2 KXF
    bool SkipExisting() const { return Box("RbE2"); }
    bool LogsDisabled() const { return Box("DisableLogs"); }

    // --- lists ---------------------------------------------------------------
    std::vector<std::string> inputs; // InputEntry lines: path + "|" + size
    std::vector<std::string> memo;   // comment lines

    std::string programDir; // ends in '/'
    std::string currentDir; // ends in '/'

private:
    static int ClampPrecision(std::string_view text);
    static int ClampTolerance(std::string_view text);
    std::size_t Index(std::string_view key) const; // throws on unknown key
    std::vector<std::string> values_;
    int precision_ = 6;
    int tolerance_ = 0;
};

// Integer value of a decimal text, or `fallback` when it is not one.
int ParseIntOr(std::string_view text, int fallback);

} // namespace zalor
