#include "run/config.h"

#include "run/driver.h"
#include "run/inputs.h"
#include "run/log.h"
#include "tiger/fields.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <sys/stat.h>

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

class Writer {
public:
    Writer(const RunSettings& s, std::string& out) : s_(s), out_(out) {}

    void Line(std::string_view text)
    {
        out_.append(text);
        out_.append("\r\n");
    }
    void Pair(std::string_view key, std::string_view value)
    {
        out_.append(key);
        out_.push_back('=');
        out_.append(value);
        out_.append("\r\n");
    }
    // A setting under its own key: "0"/"1" for boxes, the text otherwise.
    void Value(std::string_view key) { Pair(key, s_.Text(key)); }
    void Boxes(std::string_view prefix, int first, int last, bool twoDigits = false)
    {
        for (int i = first; i <= last; ++i) {
            std::string key(prefix);
            if (twoDigits && i < 10) key.push_back('0');
            key += std::to_string(i);
            Value(key);
        }
    }
    void Choice(std::string_view group)
    {
        std::string key = s_.Choice(group);
        if (!key.empty()) Pair(key, "1");
    }

private:
    const RunSettings& s_;
    std::string& out_;
};

bool IsDirectory(std::string_view path)
{
    struct stat st;
    return !path.empty() && ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool StartsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes)
{
    for (std::string_view p : prefixes)
        if (text.starts_with(p)) return true;
    return false;
}

bool IsAny(std::string_view text, std::initializer_list<std::string_view> words)
{
    return std::find(words.begin(), words.end(), text) != words.end();
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

std::string ConfigurationText(const RunSettings& s, const ConfigurationState& state)
{
    std::string out;
    out.reserve(8192);
    Writer w(s, out);

    w.Line("[Main]");
    w.Value("Input");
    w.Value("Output");
    w.Value("Log");

    w.Line("[Features]");
    w.Value("Asuf");
    w.Boxes("CbA", 1, 8);
    w.Value("Bsuf");
    w.Boxes("CbB", 1, 6);
    w.Value("Csuf");
    w.Boxes("CbC", 0, 3);
    w.Value("Zsuf");
    w.Boxes("CbZ", 0, 9);
    w.Value("Dsuf");
    w.Boxes("CbD", 0, 9);
    w.Value("Esuf");
    w.Boxes("CbE", 0, 2);
    w.Value("Fsuf");
    w.Boxes("CbF", 0, 8);
    w.Value("Hsuf");
    w.Boxes("CbH", 0, 8);
    w.Value("Xsuf");
    w.Boxes("CbX", 0, 0);
    w.Value("Ysuf");
    w.Boxes("CbY", 0, 0);

    w.Boxes("CbAr", 1, 21);
    w.Boxes("CbAt", 1, 10); // 10 is the geographic entities' "Exclude Water "
    w.Boxes("CbAs", 2, 8);
    w.Boxes("CbQ", 1, 49, true);

    w.Value("Wsuf");
    w.Value("CbW1");
    w.Value("Wsuf2");
    w.Value("CbW2");
    w.Value("Dsuf2");
    w.Boxes("CbP", 0, 9);
    w.Boxes("CbD", 0, 10); // the landmark-area boxes again, then their "Exclude Water "
    w.Boxes("CbCn", 1, 5);

    w.Line("[Options]");
    for (std::string_view group : {"RbP", "RbO", "RbD", "RbE", "RbF"}) w.Choice(group);
    w.Value("LAM");
    w.Value("DIG");
    w.Value("TOL");
    w.Value("DLOG");
    w.Value("BEEP");
    w.Pair("LCFG", OneLine(state.lastName));
    w.Value("ZIP");
    for (const std::string& recent : state.Recent()) w.Pair("HIST", OneLine(recent));

    w.Line("[Files]");
    for (const std::string& entry : s.inputs) w.Pair("File2", OneLine(EntryPath(entry)));

    w.Line("[Comment]");
    for (const std::string& memo : s.memo) {
        // A comment line holding line ends is written as several lines.
        std::string_view rest = memo;
        while (true) {
            std::size_t end = 0;
            while (end < rest.size() && !IsLineEnd(rest[end])) ++end;
            w.Pair("Memo", rest.substr(0, end));
            if (end == rest.size()) break;
            if (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n') ++end;
            rest.remove_prefix(end + 1);
        }
    }
    return out;
}

bool SaveConfiguration(const RunSettings& settings, const ConfigurationState& state, const std::string& path,
                       std::string* error)
{
    const std::string text = ConfigurationText(settings, state);
    FilePtr f(std::fopen(path.c_str(), "wb"));
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
    if (!ok) SetError(error, "Unable to Write " + path + ": " + std::strerror(err));
    return ok;
}

namespace {

// Applies the lines of one file. Input entries are gathered and put in
// order once at the end, so a long input list loads in n log n.
struct LineApplier {
    RunSettings& s;
    ConfigurationState& state;
    std::vector<std::string> entries;

    void AddPath(const std::string& path)
    {
        if (!path.empty()) entries.push_back(InputEntryFor(path));
    }
    void Apply(std::string_view line);
    void Finish()
    {
        std::vector<std::string>& list = s.inputs;
        list.insert(list.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
        entries.clear();
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
};

void LineApplier::Apply(std::string_view line)
{
    if (!line.empty() && line.front() == '[') return;
    // A line without "=" has an empty key: only the prefix rules look at it,
    // and they find no setting named "".
    const std::size_t eq = line.find('=');
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? line : line.substr(eq + 1);
    const std::string_view key3 = key.substr(0, 3);
    const std::string_view key4 = key.substr(0, 4);

    // Every rule is tried; more than one may apply to a line.
    if (key == "Input" && IsDirectory(value)) s.SetText("Input", value);
    if (key == "Output") s.SetText("Output", value);
    if (key == "File") {
        // Older files stored the directory and the file name apart: "dir|name".
        std::string path(value);
        std::size_t bar = path.find('|');
        if (bar != std::string::npos) path.erase(bar, 1);
        AddPath(path);
    }
    if (key == "File2") AddPath(std::string(value));
    if (key == "Log") s.SetText("Log", value);
    if (StartsWithAny(line, {"RbO", "RbP", "RbG", "RbF", "RbD", "RbE"})) {
        // Only the set button of a choice is written; a zero leaves the choice alone.
        const SettingDef* def = s.Def(key);
        if (def && def->kind == SettingKind::Radio && FieldToInt(value) != 0) s.SetRadio(key);
    }
    if (StartsWithAny(line, {"CbAr", "CbAw", "CbAt", "CbAs", "CbCn", "CbQ", "CbD", "CbP", "CbW", "CbA", "CbB",
                             "CbC", "CbZ", "CbE", "CbF", "CbH", "CbX", "CbY", "ChM", "CbN", "CbV"})) {
        // SetBox leaves a disabled box (CbAr16 to CbAr18) as it is.
        const SettingDef* def = s.Def(key);
        if (def && def->kind == SettingKind::Box && def->saved) s.SetBox(key, FieldToInt(value) != 0);
    }
    if (key4 == "Memo") s.memo.emplace_back(value);
    if (IsAny(key4, {"Asuf", "Bsuf", "Csuf", "Esuf", "Fsuf", "Hsuf", "Xsuf", "Ysuf"})) s.SetText(key4, value);
    if (IsAny(key, {"Zsuf", "Dsuf", "Dsuf2", "Wsuf", "Wsuf2"})) s.SetText(key, value);
    // Precision and tolerance are brought into range as they are set.
    if (IsAny(key3, {"LAM", "DIG", "TOL"})) s.SetText(key3, value);
    if (IsAny(key, {"DLOG", "BEEP", "ZIP"})) s.SetBox(key, FieldToInt(value) != 0);
    if (key == "LCFG") state.lastName = std::string(value);
    if (key == "HIST" && !value.empty()) AddRecentConfiguration(state, std::string(value));
}

} // namespace

ConfigLoad LoadConfiguration(RunSettings& s, ConfigurationState& state, const std::string& path, std::string* error)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ConfigLoad::Missing;
        SetError(error, "Unable to Open " + path + ": " + std::strerror(errno));
        return ConfigLoad::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(error, "Unable to Open " + path + ": not a file");
        return ConfigLoad::Failed;
    }
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        SetError(error, "Unable to Open " + path + ": " + std::strerror(errno));
        return ConfigLoad::Failed;
    }

    s.inputs.clear();
    s.memo.clear();
    LineApplier lines{s, state, {}};

    // Lines end in CR LF, CR or LF; a line may be of any length.
    std::string buffer(1 << 16, '\0');
    std::string pending; // the start of a line that runs past the buffer
    bool skipLf = false; // the last line ended in CR: a following LF belongs to it
    bool first = true;
    while (true) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get());
        if (n == 0) break;
        std::string_view chunk(buffer.data(), n);
        if (first) {
            // A byte order mark put in by a text editor is not part of the first key.
            if (chunk.starts_with("\xEF\xBB\xBF")) chunk.remove_prefix(3);
            first = false;
        }
        if (skipLf && !chunk.empty() && chunk.front() == '\n') chunk.remove_prefix(1);
        skipLf = false;
        while (!chunk.empty()) {
            std::size_t end = 0;
            while (end < chunk.size() && !IsLineEnd(chunk[end])) ++end;
            if (end == chunk.size()) {
                pending.append(chunk);
                break;
            }
            if (pending.empty()) {
                lines.Apply(chunk.substr(0, end));
            } else {
                pending.append(chunk.substr(0, end));
                lines.Apply(pending);
                pending.clear();
            }
            std::size_t next = end + 1;
            if (chunk[end] == '\r') {
                if (next < chunk.size()) {
                    if (chunk[next] == '\n') ++next;
                } else {
                    skipLf = true;
                }
            }
            chunk.remove_prefix(next);
        }
    }
    const bool readError = std::ferror(f.get()) != 0;
    const int err = errno;
    // The last line may lack its line end.
    if (!readError && !pending.empty()) lines.Apply(pending);
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
    s.SetText("Output", s.programDir);
    s.inputs.clear();
    auto clear = [&](std::string_view prefix, int first, int last) {
        for (int i = first; i <= last; ++i) s.SetBox(std::string(prefix) + std::to_string(i), false);
    };
    clear("CbA", 1, 7);
    clear("CbB", 1, 5);
    clear("CbC", 0, 3);
    clear("CbD", 0, 9);
    clear("CbZ", 0, 9);
    clear("CbE", 0, 2);
    clear("CbF", 0, 8);
    clear("CbH", 0, 8);
    clear("CbX", 0, 0);
    clear("CbAr", 1, 20);
    clear("CbAt", 1, 10);
    clear("CbAs", 2, 7);
    clear("CbW", 1, 1);
    for (int q = 1; q <= 49; ++q) s.SetBox((q < 10 ? "CbQ0" : "CbQ") + std::to_string(q), false);
    for (std::string_view key : {"CbA1", "CbA2", "CbA3", "CbA4", "CbAr1", "CbAr2", "CbAr3", "CbQ01", "CbQ02"})
        s.SetBox(key, true);
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
