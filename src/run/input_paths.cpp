#include "run/input_paths.h"

#include <algorithm>
#include <dirent.h>
#include <fnmatch.h>
#include <map>
#include <sys/stat.h>

namespace zalor {

namespace {

enum class Kind { Other, Archive, Chains };

std::string Upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return s;
}

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

Kind KindOf(const std::string& name)
{
    const std::string upper = Upper(name);
    if (EndsWith(upper, ".ZIP")) return Kind::Archive;
    if (EndsWith(upper, ".RT1")) return Kind::Chains;
    return Kind::Other;
}

// A name the log and the terminal cannot show as it is: a line end in it
// would start a log line of its own, an escape would drive the terminal.
bool Unsafe(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u < 32 || u == 127;
    });
}

// The name as a note can show it.
std::string Shown(std::string name)
{
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    return name;
}

std::string Join(const std::string& dir, const std::string& name)
{
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The names in a directory that `wanted` accepts, sorted.
template <typename Wanted>
std::vector<std::string> NamesIn(const std::string& dir, Wanted wanted)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.empty() ? "." : dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != ".." && wanted(name)) names.push_back(std::move(name));
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The counties among the archives and chain files `names` of `dir`: one
// input each, its archive when it has one. `where` names the argument.
void TakeCounties(const std::string& dir, const std::vector<std::string>& names, const std::string& where,
                  InputExpansion& out)
{
    std::map<std::string, std::vector<std::string>> counties; // by upper-case name up to its first "."
    for (const std::string& name : names) {
        const std::string path = Join(dir, name);
        if (KindOf(name) == Kind::Other) continue;
        if (Unsafe(name)) {
            out.notes.push_back(where + ": " + Shown(name) + " passed over: its name holds a control character");
            continue;
        }
        if (!IsRegularFile(path)) {
            out.notes.push_back(where + ": " + name + " passed over: not a regular file");
            continue;
        }
        counties[Upper(name.substr(0, name.find('.')))].push_back(name);
    }
    if (counties.empty()) out.empty.push_back(where);
    for (const auto& [county, files] : counties) {
        auto chosen = std::find_if(files.begin(), files.end(),
                                   [](const std::string& f) { return KindOf(f) == Kind::Archive; });
        if (chosen == files.end()) chosen = files.begin();
        out.paths.push_back(Join(dir, *chosen));
        for (const std::string& f : files)
            if (f != *chosen)
                out.notes.push_back(where + ": " + f + " passed over: county " + county + " is converted from " +
                                    *chosen);
    }
}

} // namespace

InputExpansion ExpandInputs(const std::vector<std::string>& args)
{
    InputExpansion out;
    for (const std::string& arg : args) {
        if (Unsafe(arg)) {
            out.usageError = "an input path may not hold a control character: " + Shown(arg);
            return out;
        }
        if (IsDirectory(arg)) {
            TakeCounties(arg, NamesIn(arg, [](const std::string& name) {
                             return Upper(name).rfind("TGR", 0) == 0 && KindOf(name) != Kind::Other;
                         }),
                         arg, out);
            continue;
        }
        const std::size_t slash = arg.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string() : arg.substr(0, slash + 1);
        const std::string pattern = arg.substr(dir.size());
        if (!Exists(arg) && pattern.find_first_of("*?[") != std::string::npos) {
            TakeCounties(dir, NamesIn(dir, [&](const std::string& name) {
                             return KindOf(name) != Kind::Other &&
                                    ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
                         }),
                         arg, out);
            continue;
        }
        out.paths.push_back(arg);
    }
    return out;
}

} // namespace zalor
