// MIF files as the converter writes them (and the same syntax from other
// writers, within reason), and the row offsets of their MID files.
#include "view/block_reader.h"
#include "view/coord_sys.h"
#include "view/readers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <sys/stat.h>

namespace zalor::view {

namespace {

constexpr int kGeographicDecimals = 6; // degrees to micro-degrees
constexpr int kProjectedDecimals = 3;  // metres to millimetres

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view word, std::string_view upper)
{
    if (word.size() != upper.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (Upper(word[i]) != upper[i]) return false;
    return true;
}

std::string ToUpper(std::string_view s)
{
    std::string r(s);
    for (char& c : r) c = Upper(c);
    return r;
}

// Splits a line into words at blanks, tabs and (when `commas`) commas and
// parentheses. At most `max` words are kept; the count of all is returned.
template <std::size_t N>
std::size_t SplitWords(std::string_view line, std::array<std::string_view, N>& words, bool commas)
{
    std::size_t count = 0, i = 0;
    auto separator = [&](char c) { return IsBlank(c) || (commas && (c == ',' || c == '(' || c == ')')); };
    while (i < line.size()) {
        while (i < line.size() && separator(line[i])) ++i;
        if (i >= line.size()) break;
        std::size_t b = i;
        while (i < line.size() && !separator(line[i])) ++i;
        if (count < N) words[count] = line.substr(b, i - b);
        ++count;
    }
    return count;
}

// The two words of a coordinate line ("x y", "x,y"); false unless there are
// exactly two.
bool SplitPair(std::string_view line, std::string_view& x, std::string_view& y)
{
    static constexpr auto kSeparator = [] {
        std::array<bool, 256> t{};
        t[' '] = t['\t'] = t[','] = true;
        return t;
    }();
    const char* p = line.data();
    const char* const end = p + line.size();
    auto sep = [](char c) { return kSeparator[static_cast<unsigned char>(c)]; };
    while (p < end && sep(*p)) ++p;
    const char* b = p;
    while (p < end && !sep(*p)) ++p;
    x = std::string_view(b, std::size_t(p - b));
    while (p < end && sep(*p)) ++p;
    b = p;
    while (p < end && !sep(*p)) ++p;
    y = std::string_view(b, std::size_t(p - b));
    while (p < end && sep(*p)) ++p;
    return p == end && !x.empty() && !y.empty();
}

bool ParseInt(std::string_view s, int64_t& v)
{
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

class MifParser {
public:
    MifParser(const std::string& path, DrawingModel& model, const FileProgress& progress)
        : path_(path), model_(model), progress_(progress)
    {
    }

    std::string Run();

private:
    std::string Fault(const std::string& what) const
    {
        return path_ + ", line " + std::to_string(in_.LineNumber()) + ": " + what;
    }
    // The next line, or a fault when the file ends or breaks.
    bool Next(std::string_view& line, std::string& fault, const char* expected);
    bool ReadCount(int64_t& n, int64_t bytesPerItem, std::string& fault, const char* what);
    bool ReadPoints(int64_t count, std::string& fault);
    bool ReadCoordinate(std::string_view x, std::string_view y, std::string& fault);
    bool ReadObjects(std::string& fault);
    // The objects and style clauses of the data section, by the line's first word.
    bool ReadLineObject(std::string_view key, const std::array<std::string_view, 5>& w, std::size_t n,
                        std::string& fault);
    bool ReadPointObject(const std::array<std::string_view, 5>& w, std::size_t n, std::string& fault);
    void ReadStyle(std::string_view key, const std::array<std::string_view, 5>& w, std::size_t n);
    // One more object (and MID row); false when there are too many.
    bool CountObject(std::string& fault);
    // The lines before DATA: the coordinate system and the columns.
    bool ReadHeader(std::string& fault);
    void ReadCoordSys(std::string_view line);
    bool ReadColumns(std::string_view count, std::size_t words, std::string& fault);
    bool Progress();
    void ScanMid(std::string& fault);

    const std::string& path_;
    DrawingModel& model_;
    const FileProgress& progress_;
    BlockReader in_;
    int decimals_ = kGeographicDecimals;
    uint32_t rows_ = 0;     // MIF objects seen, each owns a MID row
    int64_t nextReport_ = 0;
    bool lastIsOurs_ = false; // the model's last object is this file's (style clauses go to it)
};

bool MifParser::Progress()
{
    if (in_.Position() < nextReport_) return true;
    nextReport_ = in_.Position() + (int64_t{1} << 20);
    return !progress_ || progress_(in_.Position());
}

bool MifParser::Next(std::string_view& line, std::string& fault, const char* expected)
{
    if (in_.ReadLine(line)) return true;
    if (in_.LineTooLong())
        fault = Fault("a line longer than " + std::to_string(BlockReader::kMaxLineLength) + " bytes");
    else if (in_.Failed())
        fault = path_ + ": read error (the file may have changed while it was read)";
    else
        fault = path_ + ": the file ends where " + expected + " should follow";
    return false;
}

// A line holding one count, at least 0 and at most what the rest of the
// file can hold at `bytesPerItem` bytes per item.
bool MifParser::ReadCount(int64_t& n, int64_t bytesPerItem, std::string& fault, const char* what)
{
    std::string_view line;
    if (!Next(line, fault, what)) return false;
    std::array<std::string_view, 2> w;
    if (SplitWords(line, w, false) != 1 || !ParseInt(w[0], n)) {
        fault = Fault(std::string("expected ") + what + ", found \"" + std::string(line.substr(0, 40)) + "\"");
        return false;
    }
    if (n < 0 || n > in_.Remaining() / bytesPerItem + 1) {
        fault = Fault(std::string("the ") + what + " " + std::to_string(n) + " does not fit the file");
        return false;
    }
    return true;
}

bool MifParser::ReadCoordinate(std::string_view x, std::string_view y, std::string& fault)
{
    GeoPoint p;
    if (!ParseScaled(x, decimals_, p.x) || !ParseScaled(y, decimals_, p.y)) {
        fault = Fault("not a coordinate pair or out of range: \"" + std::string(x) + " " + std::string(y) + "\"");
        return false;
    }
    model_.AddPoint(p);
    return true;
}

bool MifParser::ReadPoints(int64_t count, std::string& fault)
{
    std::string_view line, x, y;
    for (int64_t i = 0; i < count; ++i) {
        if (!Next(line, fault, "a point")) return false;
        if (!SplitPair(line, x, y)) {
            fault = Fault("expected a coordinate pair, found \"" + std::string(line.substr(0, 40)) + "\"");
            return false;
        }
        if (!ReadCoordinate(x, y, fault)) return false;
    }
    model_.EndPart();
    return true;
}

bool MifParser::CountObject(std::string& fault)
{
    if (rows_ == std::numeric_limits<uint32_t>::max()) {
        fault = Fault("too many objects");
        return false;
    }
    ++rows_;
    return true;
}

// PLINE [sections] or REGION rings, then each section or ring: a count
// line and that many point lines.
bool MifParser::ReadLineObject(std::string_view key, const std::array<std::string_view, 5>& w, std::size_t n,
                               std::string& fault)
{
    // The smallest section or ring: a count line and a point line.
    constexpr int64_t kPartBytes = 6;
    constexpr int64_t kPointBytes = 4; // "0 0" and a line end
    const bool region = key.size() == 6;
    int64_t parts = 1;
    if (n >= 2) {
        if (!ParseInt(w[1], parts) || n > 2) {
            fault = Fault("a " + ToUpper(key) + " line with an unreadable count");
            return false;
        }
    } else if (region) {
        fault = Fault("a REGION line without its ring count");
        return false;
    }
    if (parts < 0 || parts > in_.Remaining() / kPartBytes + 1) {
        fault = Fault("the " + std::string(region ? "ring" : "section") + " count " + std::to_string(parts) +
                      " does not fit the file");
        return false;
    }
    if (!CountObject(fault)) return false;
    model_.BeginObject(region ? ObjectKind::Region : ObjectKind::Line, region ? kMifRegionPen : kMifLinePen);
    for (int64_t p = 0; p < parts; ++p) {
        int64_t count = 0;
        if (!ReadCount(count, kPointBytes, fault, "a point count") || !ReadPoints(count, fault)) {
            model_.DropObject();
            return false;
        }
    }
    if (!model_.EndObject()) {
        fault = Fault("an object with more points than can be shown");
        return false;
    }
    lastIsOurs_ = true;
    return true;
}

bool MifParser::ReadPointObject(const std::array<std::string_view, 5>& w, std::size_t n, std::string& fault)
{
    if (n != 3) {
        fault = Fault("a POINT line without a coordinate pair");
        return false;
    }
    if (!CountObject(fault)) return false;
    model_.BeginObject(ObjectKind::Point, kMifLinePen);
    if (!ReadCoordinate(w[1], w[2], fault)) {
        model_.DropObject();
        return false;
    }
    model_.EndPart();
    if (!model_.EndObject()) {
        fault = Fault("more objects than can be shown");
        return false;
    }
    lastIsOurs_ = true;
    return true;
}

// PEN (width,pattern,colour); BRUSH (pattern,fore colour,back colour), for
// the object before. A clause that cannot be read leaves the style as it is.
void MifParser::ReadStyle(std::string_view key, const std::array<std::string_view, 5>& w, std::size_t n)
{
    int64_t a = 0, b = 0, c = 0;
    DrawingObject* o = lastIsOurs_ ? model_.LastObject() : nullptr;
    if (!o || n < 4 || !ParseInt(w[1], a) || !ParseInt(w[2], b) || !ParseInt(w[3], c)) return;
    if (key.size() == 3) {
        o->penWidth = static_cast<uint8_t>(std::clamp<int64_t>(a, 1, 5));
        if (c >= 0 && c <= 0xFFFFFF) o->penColour = ColourFromRgb(static_cast<uint32_t>(c & 0xFFFFFF));
    } else {
        o->brushPattern = static_cast<uint8_t>(std::clamp<int64_t>(a, 0, 255));
        o->brushColour = ColourFromRgb(static_cast<uint32_t>(b & 0xFFFFFF));
    }
}

bool MifParser::ReadObjects(std::string& fault)
{
    std::string_view line;
    std::array<std::string_view, 5> w;
    while (in_.ReadLine(line)) {
        if ((in_.LineNumber() & 1023) == 0 && !Progress()) {
            fault = path_ + ": reading stopped";
            return false;
        }
        std::size_t n = SplitWords(line, w, true);
        if (n == 0) continue;
        const std::string_view key = w[0];
        if (EqualsUpper(key, "PLINE") || EqualsUpper(key, "REGION")) {
            if (!ReadLineObject(key, w, n, fault)) return false;
        } else if (EqualsUpper(key, "POINT")) {
            if (!ReadPointObject(w, n, fault)) return false;
        } else if (EqualsUpper(key, "PEN") || EqualsUpper(key, "BRUSH")) {
            ReadStyle(key, w, n);
        }
        // Other lines (SMOOTH, CENTER, SYMBOL, ...) carry nothing we draw.
    }
    if (in_.LineTooLong()) {
        fault = Fault("a line longer than " + std::to_string(BlockReader::kMaxLineLength) + " bytes");
        return false;
    }
    if (in_.Failed()) {
        fault = path_ + ": read error (the file may have changed while it was read)";
        return false;
    }
    return true;
}

// "Coordsys Earth Projection 1, ..." is longitude and latitude in degrees;
// every other system has its coordinates in metres.
void MifParser::ReadCoordSys(std::string_view line)
{
    std::string u = ToUpper(line);
    std::size_t at = u.find("PROJECTION");
    bool geographic = u.find("NONEARTH") == std::string::npos && at != std::string::npos;
    if (geographic) {
        std::string_view rest = std::string_view(u).substr(at + 10);
        while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
        geographic = rest.starts_with("1") && (rest.size() == 1 || rest[1] == ',' || IsBlank(rest[1]));
    }
    decimals_ = geographic ? kGeographicDecimals : kProjectedDecimals;
    model_.CurrentFile().units = geographic ? Units::MicroDegrees : Units::Millimetres;
    model_.CurrentFile().coordSys = MifCoordSysName(line);
}

// "COLUMNS n" (`words` words on the line, `count` the second), then a line
// per column, its name first.
bool MifParser::ReadColumns(std::string_view count, std::size_t words, std::string& fault)
{
    int64_t n = 0;
    if (words != 2 || !ParseInt(count, n) || n < 0 || n > in_.Remaining() / 2 + 1) {
        fault = Fault("a COLUMNS line with a count that does not fit the file");
        return false;
    }
    auto& columns = model_.CurrentFile().columns;
    columns.clear();
    std::string_view line;
    std::array<std::string_view, 3> w;
    for (int64_t i = 0; i < n; ++i) {
        if (!Next(line, fault, "a column")) return false;
        if (SplitWords(line, w, false) == 0) {
            fault = Fault("an empty line where a column should be");
            return false;
        }
        columns.emplace_back(w[0]);
    }
    return true;
}

bool MifParser::ReadHeader(std::string& fault)
{
    std::string_view line;
    std::array<std::string_view, 3> w;
    while (in_.ReadLine(line)) {
        std::size_t n = SplitWords(line, w, false);
        if (n == 0) continue;
        if (EqualsUpper(w[0], "DATA")) return true;
        if (EqualsUpper(w[0], "COORDSYS")) ReadCoordSys(line);
        else if (EqualsUpper(w[0], "COLUMNS") && !ReadColumns(w[1], n, fault)) return false;
    }
    if (in_.LineTooLong() || in_.Failed()) fault = Fault("the header cannot be read");
    else fault = path_ + ": no DATA line; not a MIF file";
    return false;
}

std::string MifParser::Run()
{
    std::string error;
    if (!in_.Open(path_, error)) return error;
    SourceFile file;
    file.path = path_;
    file.kind = FileKind::Mif;
    if (!model_.BeginFile(std::move(file))) return path_ + ": too many files";
    // Room by the file's size: a point line takes some 20 bytes, an object
    // some 80 (room never used costs nothing).
    try {
        model_.Reserve(static_cast<std::size_t>(in_.Size() / 16), static_cast<std::size_t>(in_.Size() / 64));
    } catch (const std::bad_alloc&) {
    }

    std::string fault;
    if (!ReadHeader(fault)) return fault;
    try {
        ReadObjects(fault);
    } catch (const std::bad_alloc&) {
        model_.DropObject();
        fault = path_ + ": out of memory after " + std::to_string(model_.ObjectCount()) + " objects";
    }
    model_.CurrentFile().objectCount =
        static_cast<uint32_t>(model_.ObjectCount() - model_.CurrentFile().firstObject);
    if (progress_) progress_(in_.Size());
    std::string midFault;
    ScanMid(midFault);
    return fault.empty() ? midFault : fault;
}

// Records where each MID row starts, for the rows of the objects read, and
// counts the rows beyond them. A row of any length is one row; blank lines
// at the end of the file are not rows.
void MifParser::ScanMid(std::string& fault)
{
    SourceFile& file = model_.CurrentFile();
    file.attributePath = CompanionFile(path_, ".MID");
    if (file.attributePath.empty()) return; // objects without attributes
    BlockReader mid;
    std::string error;
    if (!mid.Open(file.attributePath, error)) {
        fault = error;
        return;
    }
    std::vector<uint64_t> offsets;
    int64_t length = 0;
    try {
        offsets.reserve(std::min<uint64_t>(rows_ + 1, static_cast<uint64_t>(mid.Size()) / 2 + 2));
        while (offsets.size() < rows_) {
            int64_t at = mid.Position();
            if (!mid.SkipLine(length)) break;
            offsets.push_back(static_cast<uint64_t>(at));
        }
        offsets.push_back(static_cast<uint64_t>(mid.Position()));
    } catch (const std::bad_alloc&) {
        offsets.clear();
        fault = file.attributePath + ": out of memory reading the rows";
        return;
    }
    file.rowCount = static_cast<uint32_t>(offsets.size() - 1);
    file.rowOffsets = std::move(offsets);
    int64_t rows = file.rowCount, blanks = 0;
    while (mid.SkipLine(length)) {
        if (length == 0) {
            ++blanks;
        } else {
            rows += blanks + 1;
            blanks = 0;
        }
    }
    if (mid.Failed())
        fault = file.attributePath + ": read error (the file may have changed while it was read)";
    else if (rows != rows_)
        fault = file.attributePath + ": " + std::to_string(rows) + " rows for " + std::to_string(rows_) + " objects";
}

} // namespace

std::string CompanionFile(const std::string& path, std::string_view ext)
{
    std::size_t slash = path.find_last_of('/');
    std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    std::string base = dot == std::string::npos || dot < nameAt ? path : path.substr(0, dot);
    bool lowerFirst = dot != std::string::npos && dot >= nameAt && dot + 1 < path.size() &&
                      path[dot + 1] >= 'a' && path[dot + 1] <= 'z';
    std::string upper(ext), lower(ext);
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (const std::string* e : lowerFirst ? std::array{&lower, &upper} : std::array{&upper, &lower}) {
        struct stat st;
        std::string candidate = base + *e;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
    }
    return std::string();
}

bool ParseScaled(std::string_view s, int decimals, int32_t& out)
{
    static constexpr int64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    if (decimals < 0 || decimals > 8) return false;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int64_t whole = 0;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (whole > 10'000'000'000) return false; // beyond 32 bits whatever the scale
        whole = whole * 10 + (s[i++] - '0');
        ++digits;
    }
    int64_t fraction = 0;
    int taken = 0;
    bool roundUp = false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (taken < decimals) {
                fraction = fraction * 10 + (s[i] - '0');
                ++taken;
            } else if (taken == decimals) {
                roundUp = s[i] >= '5';
                ++taken;
            }
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return false;
    int64_t v = 0;
    if (i < s.size()) {
        // An exponent: rare in these files, read through a double.
        if (s[i] != 'e' && s[i] != 'E') return false;
        double d = 0;
        const char* b = s.data();
        if (*b == '+') ++b;
        auto r = std::from_chars(b, s.data() + s.size(), d);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(d)) return false;
        d *= static_cast<double>(kPow10[decimals]);
        if (!(std::fabs(d) < 4.0e9)) return false;
        v = std::llround(d);
    } else {
        for (int k = taken; k < decimals; ++k) fraction *= 10;
        v = whole * kPow10[decimals] + fraction + (roundUp ? 1 : 0);
        if (negative) v = -v;
    }
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(v);
    return true;
}

std::string MifReader::Read(const std::string& path, DrawingModel& model, const FileProgress& progress)
{
    MifParser parser(path, model, progress);
    return parser.Run();
}

} // namespace zalor::view
