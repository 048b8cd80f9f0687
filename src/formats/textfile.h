// The file object behind every MIF, MID, MTD and KXF file (and the
// configuration file), and the MapInfo interchange syntax written through it.
//
// TTextFile is a byte stream with line-oriented helpers. Writes are gathered
// in a buffer and reach the disk in large blocks; the bytes and their order
// are exactly those of the calls. A failed write is remembered and reported
// by Close(); the destructor closes silently.
#pragma once

#include "geometry/coords.h"

#include <charconv>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// A file that cannot be created or opened.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& message, std::string path) : std::runtime_error(message), path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class TTextFile {
public:
    static constexpr int kCreate = 0xFFFF; // create or truncate, read and write
    static constexpr int kRead = 0;        // existing file, read only

    // Opens `name` in `mode`; an empty name gives an in-memory stream.
    // Throws FileError when the file cannot be opened.
    TTextFile(const std::string& name, int mode);
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    // The text followed by CR LF.
    void WriteLine(std::string_view text);
    void WriteRaw(const void* bytes, std::size_t count);
    void WriteRaw(std::string_view bytes) { WriteRaw(bytes.data(), bytes.size()); }

    // The next line without its line end. Only CR ends a line; the byte after
    // a CR is skipped unexamined. Lines of more than 254 characters read as
    // empty text (a 255-character line as a whole; a longer one after 256 of
    // its characters, the rest coming with the next call). The end of the
    // stream also gives empty text: compare GetPosition with GetSize.
    std::string ReadLine();
    // Up to `count` bytes at the current position; returns the number read.
    std::size_t ReadRaw(void* bytes, std::size_t count);

    int64_t GetSize() const;
    int64_t GetPosition() const { return open_ ? pos_ : 0; }
    void SetPosition(int64_t position);
    bool AtEnd() const { return GetPosition() >= GetSize(); }
    // Empties the stream (the file is cut to length 0).
    void Truncate();

    // The four header lines of every MIF file; the last one declares the
    // coordinate system (geographic unless another line is given).
    void WriteMifHeader(std::string_view coordSys = kGeographicCoordSys);
    static constexpr std::string_view kGeographicCoordSys = "Coordsys Earth Projection 1,74";

    // Flushes and closes. False when any write, the flush or the close
    // failed. Later calls return the same answer.
    bool Close();
    bool Failed() const { return failed_; }
    // The reason of the first failure ("" when none).
    const std::string& ErrorText() const { return error_; }
    const std::string& Name() const { return name_; }
    // The path to name in an "Error Writing " message ("" when nothing failed).
    std::string FailedPath() const { return failed_ ? name_ : std::string(); }
    // Contents of an in-memory stream.
    const std::string& MemoryContents() const { return memory_; }

private:
    static constexpr std::size_t kBufferSize = 1 << 16;

    void Fail(const char* what, int err);
    bool FlushBuffer();
    // Makes the buffer hold the bytes at pos_ (reading); false at the end.
    bool FillBuffer();
    int ReadByte();

    std::string name_;
    bool memoryMode_ = false;
    bool open_ = false;
    int fd_ = -1;
    std::string memory_;

    // The buffer mirrors the file bytes [bufStart_, bufStart_ + bufLen_).
    std::unique_ptr<char[]> buf_;
    int64_t bufStart_ = 0;
    std::size_t bufLen_ = 0;
    bool dirty_ = false;

    int64_t pos_ = 0;
    int64_t size_ = 0;
    bool failed_ = false;
    std::string error_;
};

// ---------------------------------------------------------------------------
// MapInfo interchange syntax (MIF objects, MID rows) and the column blocks
// shared with the MTD attribute file.

// A column line as MapInfo reads it: the type "double" becomes "Float",
// everything else stays as it is.
std::string MifColumnLine(std::string_view line);

// "COLUMNS n", the column definition text in one piece (its lines end in
// CR LF, so an empty line follows the last one), "DATA". The line files
// write their columns this way.
void WriteMifColumns(TTextFile& mif, int count, std::string_view columnText);
// "COLUMNS n", one line per column, "DATA".
void WriteMifColumns(TTextFile& mif, std::span<const std::string> columns);
// The same blocks of an MTD file, with "FIELDS n"; column lines unchanged.
void WriteMtdColumns(TTextFile& mtd, int count, std::string_view columnText);
void WriteMtdColumns(TTextFile& mtd, std::span<const std::string> columns);

struct MifPen {
    int width = 1;
    int pattern = 2;
    int colour = 0;
};

// "PLINE" and the point-count line of a single-section polyline.
void WriteMifPlineStart(TTextFile& mif, int64_t pointCount);
// "PEN (width,pattern,colour)".
void WriteMifPen(TTextFile& mif, const MifPen& pen);
// "Region n".
void WriteMifRegionStart(TTextFile& mif, int64_t ringCount);
// The point-count line that opens a ring.
void WriteMifCount(TTextFile& mif, int64_t count);
// "BRUSH (2,0,colour)".
void WriteMifBrush(TTextFile& mif, int colour);
// "POINT " + the coordinate pair text (x text, one space, y text).
void WriteMifPoint(TTextFile& mif, std::string_view coordinateText);

// A whole polyline: `format` turns a GeoPoint into its coordinate pair text.
template <class Format>
void WriteMifPolyline(TTextFile& mif, std::span<const GeoPoint> points, Format&& format, const MifPen& pen)
{
    WriteMifPlineStart(mif, static_cast<int64_t>(points.size()));
    for (const GeoPoint& p : points) mif.WriteLine(format(p));
    WriteMifPen(mif, pen);
}

// The lines of a region: "Region n", then per ring its point count and
// points. The rings lie one after another in `points`, their sizes in
// `ringSizes`. Returns false (and writes nothing) when the sizes do not fit
// the points. The brush line (WriteMifBrush) is the caller's.
template <class Format>
bool WriteMifRegion(TTextFile& mif, std::span<const GeoPoint> points, std::span<const int32_t> ringSizes,
                    Format&& format)
{
    std::size_t total = 0;
    for (int32_t n : ringSizes) {
        if (n < 0 || static_cast<std::size_t>(n) > points.size() - total) return false;
        total += static_cast<std::size_t>(n);
    }
    WriteMifRegionStart(mif, static_cast<int64_t>(ringSizes.size()));
    std::size_t at = 0;
    for (int32_t n : ringSizes) {
        WriteMifCount(mif, n);
        for (int32_t i = 0; i < n; ++i) mif.WriteLine(format(points[at++]));
    }
    return true;
}

// Appends a quoted text value: a double quote, the text with every double
// quote in it doubled, a double quote.
void AppendQuoted(std::string& row, std::string_view text);

// One MID (or MTD) row: values separated by "," with no spaces.
class MidRow {
public:
    MidRow& Int(int64_t v)
    {
        Separate();
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        row_.append(buf, r.ptr);
        return *this;
    }
    // A text value, in double quotes.
    MidRow& Text(std::string_view text)
    {
        Separate();
        AppendQuoted(row_, text);
        return *this;
    }
    // A value written as it is (decimal texts, unquoted codes).
    MidRow& Plain(std::string_view text)
    {
        Separate();
        row_.append(text);
        return *this;
    }
    const std::string& str() const { return row_; }
    void Clear()
    {
        row_.clear();
        count_ = 0;
    }

private:
    void Separate()
    {
        if (count_++ > 0) row_.push_back(',');
    }
    std::string row_;
    int count_ = 0;
};

// Walks the values of a MID row: "," separates values outside double
// quotes. `visit(value, quoted)` gets each value; a value that starts with a
// double quote comes without its enclosing quotes, its doubled quotes still
// doubled (UndoubleQuotes undoes them). An unterminated quote keeps the rest
// of the row as the last value.
template <class Visit>
void ForEachMidValue(std::string_view row, Visit&& visit)
{
    bool inQuotes = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= row.size(); ++i) {
        if (i < row.size()) {
            if (row[i] == '"') inQuotes = !inQuotes;
            if (row[i] != ',' || inQuotes) continue;
        }
        std::string_view v = row.substr(start, i - start);
        start = i + 1;
        bool quoted = !v.empty() && v.front() == '"';
        if (quoted) {
            v.remove_prefix(1);
            if (!v.empty() && v.back() == '"') v.remove_suffix(1);
        }
        visit(v, quoted);
    }
}

// The text without the blanks and tabs around it.
inline std::string_view TrimBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// The text with every doubled double quote made single.
std::string UndoubleQuotes(std::string_view text);

// The values of a MID row, unquoted (see ForEachMidValue).
void SplitMidRow(std::string_view row, std::vector<std::string>& values);

} // namespace zalor
