#include "tiger/county_release.h"

#include "tiger/file_names.h"
#include "tiger/layouts.h"
#include "tiger/paths.h"
#include "tiger/zip_archive.h"

#include <cstdio>
#include <memory>

namespace zalor {

namespace {

// The record types whose lengths differ between the layouts before 2002
// and from 2002, and those that only one family has.
constexpr std::string_view kMeasured[] = {".RT5", ".RTA", ".RTC", ".RTI", ".RTP", ".RTR", ".RTS"};
constexpr std::string_view kOldOnly[] = {".RT9"};
constexpr std::string_view kNewOnly[] = {".RTB", ".RTE", ".RTT", ".RTU"};

std::string BaseOf(const CountySource& source)
{
    const std::string name = FileNamePart(source.inputPath);
    return name.substr(0, name.find('.'));
}

bool ReadArchiveStart(const CountySource& source, std::string_view extension, std::string& bytes, std::size_t limit)
{
    std::string member = BaseOf(source);
    for (char& c : member) c = UpperAscii(c);
    TZipObj zip;
    if (zip.OpenUnZip(source.archive, member + std::string(extension)) != 0) return false;
    bytes.resize(limit);
    const int64_t n = zip.ReadUnZip(bytes.data(), limit);
    zip.CloseUnZip();
    if (n < 0) return false;
    bytes.resize(static_cast<std::size_t>(n));
    return true;
}

bool ReadLooseStart(const CountySource& source, std::string_view extension, std::string& bytes, std::size_t limit)
{
    const std::string path = FindFileIgnoringCase(DirectoryPart(source.inputPath) + BaseOf(source) + std::string(extension));
    if (path.empty() || !IsRegularFile(path)) return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    bytes.resize(limit);
    bytes.resize(std::fread(bytes.data(), 1, limit, f.get()));
    return true;
}

bool ReadMemoryStart(const CountySource& source, std::string_view extension, std::string& bytes, std::size_t limit)
{
    const auto found = source.memory->find(extension);
    if (found == source.memory->end()) return false;
    bytes.assign(found->second.substr(0, limit));
    return true;
}

// The data length of a first line (the characters before its line end).
std::size_t DataLength(std::string_view line)
{
    const std::size_t end = line.find_first_of("\r\n");
    return end == std::string_view::npos ? line.size() : end;
}

std::string FileName(const CountySource& source, std::string_view extension)
{
    return BaseOf(source) + std::string(extension);
}

// What the measured files say: 1 the layouts before 2002, 2 those from
// 2002, 0 nothing; the first file of each family, for the messages.
struct Measured {
    std::string oldFile, newFile;
    std::size_t oldLength = 0, newLength = 0;
    std::string error;
};

void Measure(const CountySource& source, const std::string& code, Measured& m)
{
    const RecordLayouts& old = LayoutsOf(LayoutGroup::Census2000);
    const RecordLayouts& young = LayoutsOf(LayoutGroup::Tiger2004);
    for (std::string_view ext : kMeasured) {
        std::string line;
        if (!FirstLine(source, ext, line) || line.empty()) continue;
        const std::size_t length = DataLength(line);
        const char type = RecordTypeOf(ext);
        if (length == static_cast<std::size_t>(old.Length(type))) {
            if (m.oldFile.empty()) m.oldFile = FileName(source, ext), m.oldLength = length;
        } else if (length == static_cast<std::size_t>(young.Length(type))) {
            if (m.newFile.empty()) m.newFile = FileName(source, ext), m.newLength = length;
        } else if (m.error.empty()) {
            m.error = FileName(source, ext) + " has records of " + std::to_string(length) +
                      " characters, which no TIGER/Line release has (version code " + code + ")";
        }
    }
    std::string line;
    for (std::string_view ext : kOldOnly)
        if (m.oldFile.empty() && FirstLine(source, ext, line)) m.oldFile = FileName(source, ext);
    for (std::string_view ext : kNewOnly)
        if (m.newFile.empty() && FirstLine(source, ext, line)) m.newFile = FileName(source, ext);
}

std::string Described(const std::string& file, std::size_t length)
{
    return length == 0 ? file : file + " (records of " + std::to_string(length) + " characters)";
}

} // namespace

bool FirstLine(const CountySource& source, std::string_view extension, std::string& line, std::size_t limit)
{
    std::string bytes;
    const bool read = source.memory            ? ReadMemoryStart(source, extension, bytes, limit)
                      : source.archive.empty() ? ReadLooseStart(source, extension, bytes, limit)
                                               : ReadArchiveStart(source, extension, bytes, limit);
    if (!read) return false;
    std::string_view text = bytes;
    // A first line naming the copyright of a re-issuer is no record.
    if (text.starts_with("Copyright")) {
        const std::size_t end = text.find('\n');
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    line.assign(text.substr(0, DataLength(text)));
    return true;
}

CountyRelease DetectRelease(const CountySource& source)
{
    CountyRelease result;
    std::string rt1;
    const bool haveRt1 = FirstLine(source, ".RT1", rt1) && rt1.size() >= 5 && rt1[0] == '1';
    if (!haveRt1) return result;
    result.found = true;
    const std::string code = rt1.substr(1, 4);
    bool known = false;
    const Release byCode = ReleaseOfCode(code, known);
    Measured m;
    Measure(source, code, m);
    if (!m.error.empty()) {
        result.error = m.error;
        return result;
    }
    if (!m.oldFile.empty() && !m.newFile.empty()) {
        result.error = "the record files are of different releases: " + Described(m.newFile, m.newLength) +
                       " has the layout of TIGER/Line 2002 and later, " + Described(m.oldFile, m.oldLength) +
                       " that of the releases before";
        return result;
    }
    const bool lengthsKnown = !m.newFile.empty() || !m.oldFile.empty();
    const bool newLayouts = lengthsKnown ? !m.newFile.empty() : NewLayouts(byCode.group);
    if (known && newLayouts == NewLayouts(byCode.group)) {
        result.release = byCode;
        return result;
    }
    result.release = ReleaseInGroup(byCode, newLayouts ? LayoutGroup::Tiger2004 : LayoutGroup::Census2000);
    const std::string rt1Name = FileName(source, ".RT1");
    const std::string family = newLayouts ? "TIGER/Line 2002 and later" : "the releases before 2002";
    if (!known)
        result.notes.push_back(rt1Name + " has version code " + code + ", which names no known release: read as " +
                               result.release.name + " by the record lengths");
    else if (known && result.release.name != byCode.name && result.release.name != "TIGER/Line 108th CD Census 2000")
        result.notes.push_back(rt1Name + " has version code " + code + " (" + byCode.name + "), but " +
                               (newLayouts ? m.newFile : m.oldFile) + " has the layout of " + family + ": read as " +
                               result.release.name);
    return result;
}

} // namespace zalor
