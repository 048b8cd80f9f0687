// Configuration files (.CFG): every saved run setting as one "key=value"
// line, grouped under "[Section]" lines, with CR LF line ends.
//
// The reader recognises a line by its key alone, so lines may come in any
// order and unknown lines are skipped. Values are taken as they stand: no
// trimming, quoting or escaping, and a value may itself hold "=".
#pragma once

#include "run/settings.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// The default configuration file, loaded at start-up and saved at exit.
inline constexpr std::string_view kDefaultConfigurationName = "ZALOR.CFG";
// How many recently used configuration files are remembered.
inline constexpr std::size_t kRecentConfigurationCount = 4;

// What the configuration commands remember besides the settings: the
// default configuration path, the last configuration name and the recently
// used files. The front end owns one for the life of the process.
class ConfigurationState {
public:
    // `directory` is the current directory when the program starts.
    explicit ConfigurationState(std::string directory = "./");

    // directory + "ZALOR.CFG", fixed for the life of the object.
    const std::string& DefaultPath() const { return defaultPath_; }
    // Newest first, at most kRecentConfigurationCount entries.
    const std::vector<std::string>& Recent() const { return recent_; }

    // The default name of "Save As" and the directory "Load" starts in.
    std::string lastName = "Default.cfg";

private:
    friend void AddRecentConfiguration(ConfigurationState& state, const std::string& path);
    std::string defaultPath_;
    std::vector<std::string> recent_;
};

enum class ConfigLoad {
    Loaded,  // the file was read and applied
    Missing, // no such file: nothing changed
    Failed,  // the file exists but could not be read (see the error text)
};

// Writes every saved setting, the last configuration name, the recent
// files, the input list and the comment to `path` (created or truncated).
// Returns false, with the reason in `error`, when the file cannot be
// created or written.
bool SaveConfiguration(const RunSettings& settings, const ConfigurationState& state,
                       const std::string& path, std::string* error = nullptr);

// The file's text as SaveConfiguration writes it.
std::string ConfigurationText(const RunSettings& settings, const ConfigurationState& state);

// Applies the lines of the file at `path`: the input list and the comment
// are emptied first, then every line is applied in turn; settings that the
// file does not name keep their values. A missing file changes nothing.
// Relative paths in it (the input and output directories, the log file,
// the input files) are taken from the file's own directory, so that a
// configuration finds what lies beside it wherever it is loaded from.
// The caller shows " " + path in the status bar and refreshes the input
// list's caption when the result is Loaded.
ConfigLoad LoadConfiguration(RunSettings& settings, ConfigurationState& state, const std::string& path,
                             std::string* error = nullptr);

// Puts `path` on top of the recent list (moving it up when it is there).
void AddRecentConfiguration(ConfigurationState& state, const std::string& path);

// "New": the output root becomes the program's directory, the input list is
// emptied and the feature selection is roads A1 to A4 with their TIGER ID
// and CFCC fields, counties, MCDs and sub-MCDs, every other box of the
// feature dialog cleared; the options, suffixes, log settings and comment
// are kept.
void NewConfiguration(RunSettings& settings);

// A first start, with no configuration to load: the roads A1 to A4 and the
// census tracts are checked besides the settings' defaults, so that Go
// converts something at once.
void FirstStartSelection(RunSettings& settings);

// --- the commands of the File menu ------------------------------------------

// "Save As" on the path chosen in the save dialog: the file name is
// upper-cased (the directories are left as they are, since the file system
// may be case-sensitive) and ".CFG" appended when it has no extension; the
// result becomes the last configuration name and is saved. Returns that
// path, or "" with the reason in `error` when it could not be written.
std::string SaveConfigurationAs(const RunSettings& settings, ConfigurationState& state,
                                std::string_view chosen, std::string* error = nullptr);
// The name "Save As" writes for a chosen path ("/cfg/myset" gives "/cfg/MYSET.CFG").
std::string ConfigurationSaveName(std::string_view chosen);

// "Load" on the path chosen in the open dialog: it becomes the last
// configuration name and the newest recent file, then it is loaded.
ConfigLoad LoadChosenConfiguration(RunSettings& settings, ConfigurationState& state, const std::string& path,
                                   std::string* error = nullptr);

// A recent file chosen from the File menu: loaded, then put on top.
ConfigLoad LoadRecentConfiguration(RunSettings& settings, ConfigurationState& state, const std::string& path,
                                   std::string* error = nullptr);

} // namespace zalor
