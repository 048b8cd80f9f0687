#include "run/config.h"

#include "run/driver.h"
#include "run/inputs.h"
#include "run/log.h"
#include "tiger/fields.h"
#include "tiger/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// One line of the file for a value that is not a setting (an input path,
// a recent file, the last name): a line end inside it would split the line.
std::string OneLine(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (IsLineEnd(c)) c = ' ';
    return out;
}

bool IsDirectory(std::string_view path)
{
    struct stat st;
    return !path.empty() && ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void SetError(std::string* error, std::string message)
{
    if (error) *error = std::move(message);
}

} // namespace

ConfigurationState::ConfigurationState(std::string directory)
{
    if (directory.empty() || directory.back() != '/') directory.push_back('/');
    defaultPath_ = directory + std::string(kDefaultConfigurationName);
}

namespace {

void AppendLine(std::string& out, std::string_view key, std::string_view value)
{
    out.append(key);
    out.push_back('=');
    out.append(value);
    out.append("\r\n");
}

// A comment line holding line ends is written as several lines.
void AppendMemo(std::string& out, std::string_view memo)
{
    std::string_view rest = memo;
    while (true) {
        std::size_t end = 0;
        while (end < rest.size() && !IsLineEnd(rest[end])) ++end;
        AppendLine(out, "Memo", rest.substr(0, end));
        if (end == rest.size()) break;
        if (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n') ++end;
        rest.remove_prefix(end + 1);
    }
}

} // namespace

std::string ConfigurationText(const RunSettings& s, const ConfigurationState& state)
{
    std::string out;
    out.reserve(8192);
    for (const SaveItem& item : SaveOrder()) {
        switch (item.kind) {
        case SaveItem::Kind::Section: out += "[" + item.text + "]\r\n"; break;
        case SaveItem::Kind::Setting: AppendLine(out, item.text, s.Text(item.text)); break;
        case SaveItem::Kind::Choice: {
            // Only the set button of a choice is written.
            const std::string key = s.Choice(item.text);
            if (!key.empty()) AppendLine(out, key, "1");
            break;
        }
        case SaveItem::Kind::LastName: AppendLine(out, "LCFG", OneLine(state.lastName)); break;
        case SaveItem::Kind::RecentFiles:
            for (const std::string& recent : state.Recent()) AppendLine(out, "HIST", OneLine(recent));
            break;
        case SaveItem::Kind::InputFiles:
            for (const InputEntry& entry : s.inputs) AppendLine(out, "File2", OneLine(entry.path));
            break;
        case SaveItem::Kind::Comment:
            for (const std::string& memo : s.memo) AppendMemo(out, memo);
            break;
        }
    }
    return out;
}

bool SaveConfiguration(const RunSettings& settings, const ConfigurationState& state, const std::string& path,
                       std::string* error)
{
    const std::string text = ConfigurationText(settings, state);
    // Written under a temporary name beside the file and put in place when
    // complete: a failed save leaves the old file as it was.
    const std::string temporary = DirectoryPart(path) + ".zalor-" + std::to_string(::getpid()) + "-" + FileNamePart(path);
    FilePtr f(std::fopen(temporary.c_str(), "wb"));
    if (!f) {
        SetError(error, "Unable to Create " + path + ": " + std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    int err = ok ? 0 : errno;
    if (std::fclose(f.release()) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        SetError(error, "Unable to Write " + path + ": " + std::strerror(err));
    }
    return ok;
}

namespace {

// A path of a configuration line as the program uses it: a relative one
// is taken from the configuration file's directory `base` (a file loaded
// from elsewhere finds its inputs beside it), an absolute or empty one as
// it stands.
std::string Resolved(const std::string& base, std::string_view value)
{
    if (value.empty() || value.front() == '/') return std::string(value);
    while (value.starts_with("./")) value.remove_prefix(2);
    if (value == ".") value = {};
    return base + std::string(value);
}

// Applies the lines of one file. Input entries are gathered and put in
// order once at the end, so a long input list loads in n log n.
struct LineApplier {
    RunSettings& s;
    ConfigurationState& state;
    std::string base; // the file's directory, ending in "/" (empty: the current directory)
    std::vector<InputEntry> entries;

    void AddPath(const std::string& path)
    {
        if (!path.empty()) entries.push_back(InputEntryFor(Resolved(base, path)));
    }
    void Apply(std::string_view line);
    void Finish()
    {
        std::vector<InputEntry>& list = s.inputs;
        list.insert(list.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
        entries.clear();
        std::sort(list.begin(), list.end(), InputOrder);
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
};

// Applies one line to the setting its key names; a path setting's
// relative value is taken from `base`.
void ApplySetting(RunSettings& s, const SettingDef& def, std::string_view value, const std::string& base)
{
    if (!def.saved) return;
    switch (def.kind) {
    case SettingKind::Box:
        // SetBox leaves a disabled box (CbAr16 to CbAr18) as it is.
        s.SetBox(def.key, FieldToInt(value) != 0);
        break;
    case SettingKind::Radio:
        // Only the set button of a choice is written; a zero leaves the choice alone.
        if (FieldToInt(value) != 0) s.SetRadio(def.key);
        break;
    case SettingKind::Text:
    case SettingKind::Number: {
        const std::string text = def.path ? Resolved(base, value) : std::string(value);
        // The directory is looked for under the name the setting will hold.
        if (!def.loadOnlyDirectory || IsDirectory(TextAsStored(text))) s.SetText(def.key, text);
        break;
    }
    }
}

// The setting a line's key names: its own, or one found by the key's first
// characters.
const SettingDef* SettingOfKey(std::string_view key)
{
    if (const SettingDef* def = FindSetting(key)) return def;
    for (std::size_t n : {std::size_t{3}, std::size_t{4}}) {
        if (key.size() <= n) continue;
        const SettingDef* def = FindSetting(key.substr(0, n));
        if (def && def->match == KeyMatch::Prefix) return def;
    }
    return nullptr;
}

void LineApplier::Apply(std::string_view line)
{
    if (!line.empty() && line.front() == '[') return;
    // A line without "=" has an empty key, which names nothing.
    const std::size_t eq = line.find('=');
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? line : line.substr(eq + 1);

    if (const SettingDef* def = SettingOfKey(key)) ApplySetting(s, *def, value, base);
    if (key == "File") {
        // Older files stored the directory and the file name apart: "dir|name".
        std::string path(value);
        std::size_t bar = path.find('|');
        if (bar != std::string::npos) path.erase(bar, 1);
        AddPath(path);
    }
    if (key == "File2") AddPath(std::string(value));
    if (key.substr(0, 4) == "Memo") s.memo.emplace_back(value);
    if (key == "LCFG") state.lastName = std::string(value);
    if (key == "HIST" && !value.empty()) AddRecentConfiguration(state, std::string(value));
}

} // namespace

namespace {

// Splits the bytes of a file into lines as they come, in blocks: lines end
// in CR LF, CR or LF, and a line may be of any length.
class LineSplitter {
public:
    explicit LineSplitter(LineApplier& lines) : lines_(lines) {}
    void Take(std::string_view chunk)
    {
        if (first_) {
            // A byte order mark put in by a text editor is not part of the first key.
            if (chunk.starts_with("\xEF\xBB\xBF")) chunk.remove_prefix(3);
            first_ = false;
        }
        if (skipLf_ && !chunk.empty() && chunk.front() == '\n') chunk.remove_prefix(1);
        skipLf_ = false;
        while (!chunk.empty()) {
            std::size_t end = 0;
            while (end < chunk.size() && !IsLineEnd(chunk[end])) ++end;
            if (end == chunk.size()) {
                pending_.append(chunk);
                break;
            }
            Line(chunk.substr(0, end));
            std::size_t next = end + 1;
            if (chunk[end] == '\r') {
                if (next < chunk.size()) {
                    if (chunk[next] == '\n') ++next;
                } else {
                    skipLf_ = true;
                }
            }
            chunk.remove_prefix(next);
        }
    }
    // The last line may lack its line end.
    void End()
    {
        if (!pending_.empty()) lines_.Apply(pending_);
    }

private:
    void Line(std::string_view text)
    {
        if (pending_.empty()) {
            lines_.Apply(text);
            return;
        }
        pending_.append(text);
        lines_.Apply(pending_);
        pending_.clear();
    }

    LineApplier& lines_;
    std::string pending_; // the start of a line that runs past the block
    bool skipLf_ = false; // the last line ended in CR: a following LF belongs to it
    bool first_ = true;
};

// The configuration file opened for reading; null, with the reason in
// `error`, when it cannot be (`missing` when it is not there).
FilePtr OpenConfiguration(const std::string& path, bool& missing, std::string* error)
{
    missing = false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        if (!missing) SetError(error, "Unable to Open " + path + ": " + std::strerror(errno));
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(error, "Unable to Open " + path + ": not a file");
        return nullptr;
    }
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) SetError(error, "Unable to Open " + path + ": " + std::strerror(errno));
    return f;
}

} // namespace

ConfigLoad LoadConfiguration(RunSettings& s, ConfigurationState& state, const std::string& path, std::string* error)
{
    bool missing = false;
    FilePtr f = OpenConfiguration(path, missing, error);
    if (!f) return missing ? ConfigLoad::Missing : ConfigLoad::Failed;

    s.inputs.clear();
    s.memo.clear();
    LineApplier lines{s, state, DirectoryPart(path), {}};
    LineSplitter splitter(lines);
    std::string buffer(1 << 16, '\0');
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get()))
        splitter.Take(std::string_view(buffer.data(), n));
    const bool readError = std::ferror(f.get()) != 0;
    const int err = errno;
    if (!readError) splitter.End();
    lines.Finish();
    if (readError) {
        SetError(error, "Unable to Read " + path + ": " + std::strerror(err));
        return ConfigLoad::Failed;
    }
    return ConfigLoad::Loaded;
}

void AddRecentConfiguration(ConfigurationState& state, const std::string& path)
{
    auto& recent = state.recent_;
    auto it = std::find(recent.begin(), recent.end(), path);
    if (it == recent.begin() && it != recent.end()) return;
    if (it != recent.end()) recent.erase(it);
    recent.insert(recent.begin(), path);
    if (recent.size() > kRecentConfigurationCount) recent.resize(kRecentConfigurationCount);
}

void NewConfiguration(RunSettings& s)
{
    s.inputs.clear();
    for (const SettingDef& def : SettingTable()) {
        if (def.onNew == NewAction::Clear || def.onNew == NewAction::Set) s.SetBox(def.key, false);
        if (def.onNew == NewAction::ProgramDirectory) s.SetText(def.key, s.programDir);
    }
    for (const SettingDef& def : SettingTable())
        if (def.onNew == NewAction::Set) s.SetBox(def.key, true);
}

void FirstStartSelection(RunSettings& s)
{
    for (const SettingDef& def : SettingTable())
        if (def.firstStart) s.SetBox(def.key, true);
}

std::string ConfigurationSaveName(std::string_view chosen)
{
    std::string dir = DirectoryPart(chosen);
    std::string name = FileNamePart(chosen);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (name.find('.') == std::string::npos) name += ".CFG";
    return dir + name;
}

std::string SaveConfigurationAs(const RunSettings& settings, ConfigurationState& state, std::string_view chosen,
                                std::string* error)
{
    std::string path = ConfigurationSaveName(chosen);
    state.lastName = path;
    if (!SaveConfiguration(settings, state, path, error)) return {};
    return path;
}

ConfigLoad LoadChosenConfiguration(RunSettings& settings, ConfigurationState& state, const std::string& path,
                                   std::string* error)
{
    state.lastName = path;
    AddRecentConfiguration(state, path);
    return LoadConfiguration(settings, state, path, error);
}

ConfigLoad LoadRecentConfiguration(RunSettings& settings, ConfigurationState& state, const std::string& path,
                                   std::string* error)
{
    ConfigLoad result = LoadConfiguration(settings, state, path, error);
    AddRecentConfiguration(state, path);
    return result;
}

} // namespace zalor
