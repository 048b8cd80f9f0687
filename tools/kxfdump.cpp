// zalor-kxfdump: shows what a KXF file and its MTD attribute file hold,
// as text or as GeoJSON. A damaged file is reported, never trusted.
//
// Exit status: 0 when the file set is sound, 1 when it is damaged or the
// attribute rows do not match the records, 2 when it cannot be read.
#include "formats/kxf/kxf_codec.h"
#include "formats/mif/mid_syntax.h"
#include "formats/shp/shp_file.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <string>
#include <vector>

using namespace zalor;

namespace {

// The bytes of a regular file, as many as its size said when it was opened
// (a device, a pipe or a file that grows while it is read cannot make this
// read for ever).
std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    struct stat st;
    if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    const bool ok = got == bytes.size() && !std::ferror(f);
    std::fclose(f);
    if (!ok) return std::nullopt;
    return bytes;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Micro-degrees as degrees with six decimals, exactly.
std::string Degrees(int32_t v)
{
    int64_t a = v < 0 ? -int64_t{v} : int64_t{v};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%lld.%06lld", v < 0 ? "-" : "", static_cast<long long>(a / 1000000),
                  static_cast<long long>(a % 1000000));
    return buf;
}

// Windows Latin-1 byte to UTF-8 (for JSON, which must be UTF-8).
void AppendUtf8(std::string& out, unsigned char c)
{
    static const uint16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                     0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    uint32_t cp = c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendJsonString(std::string& out, std::string_view s)
{
    out.push_back('"');
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            AppendUtf8(out, c);
        }
    }
    out.push_back('"');
}

// Control characters shown as \xNN in the text form.
std::string Printable(std::string_view s)
{
    std::string out;
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

bool IsInteger(std::string_view s)
{
    std::size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
    if (i >= s.size() || s.size() - i > 18) return false;
    if (s[i] == '0' && s.size() - i > 1) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

struct MtdColumn {
    std::string name;
    bool integer = false;
};

std::vector<MtdColumn> ColumnsOf(const MtdTable& mtd)
{
    std::vector<MtdColumn> cols;
    for (const std::string& line : mtd.columns) {
        std::size_t space = line.find(' ');
        MtdColumn c;
        c.name = line.substr(0, space);
        std::string type = space == std::string::npos ? std::string() : line.substr(space + 1);
        c.integer = type.find("integer") != std::string::npos;
        cols.push_back(c);
    }
    return cols;
}

struct MtdValue {
    std::string text;
    bool quoted = false;
};

std::vector<MtdValue> ValuesOf(std::string_view row)
{
    std::vector<MtdValue> values;
    ForEachMidValue(row, [&](std::string_view v, bool quoted) {
        values.push_back(MtdValue{quoted ? UndoubleQuotes(v) : std::string(v), quoted});
    });
    return values;
}

std::string ColumnName(const std::vector<MtdColumn>& cols, std::size_t i)
{
    return i < cols.size() ? cols[i].name : "(extra " + std::to_string(i + 1) + ")";
}

const char* KindName(int tag) { return tag == kKxfLineTag ? "line" : "area"; }

void Emit(std::string& out)
{
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

bool RingClosed(const KxfRecord& r, std::size_t first, int32_t n)
{
    return n >= 4 && r.points[first] == r.points[first + static_cast<std::size_t>(n) - 1];
}

void AppendPositions(std::string& out, const KxfRecord& r, std::size_t first, int32_t n)
{
    out.push_back('[');
    for (int32_t k = 0; k < n; ++k) {
        const GeoPoint& p = r.points[first + static_cast<std::size_t>(k)];
        if (k > 0) out.push_back(',');
        out += "[" + Degrees(p.x) + "," + Degrees(p.y) + "]";
    }
    out.push_back(']');
}

void AppendGeometry(std::string& out, const KxfRecord& r)
{
    std::vector<std::size_t> firsts;
    std::size_t at = 0;
    bool allClosed = true;
    for (int32_t n : r.partSizes) {
        firsts.push_back(at);
        if (!RingClosed(r, at, n)) allClosed = false;
        at += static_cast<std::size_t>(n);
    }
    const char* type;
    bool single = false;
    if (r.tag == kKxfAreaTag && allClosed) type = "Polygon";
    else if (r.partSizes.size() == 1 && r.partSizes[0] >= 2) {
        type = "LineString";
        single = true;
    } else type = "MultiLineString";
    out += "{\"type\":\"";
    out += type;
    out += "\",\"coordinates\":";
    if (single) {
        AppendPositions(out, r, 0, r.partSizes[0]);
    } else {
        out.push_back('[');
        for (std::size_t i = 0; i < r.partSizes.size(); ++i) {
            if (i > 0) out.push_back(',');
            AppendPositions(out, r, firsts[i], r.partSizes[i]);
        }
        out.push_back(']');
    }
    out.push_back('}');
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Shows the records of a KXF file with their MTD attributes"};
    std::string kxfPath;
    std::string mtdPath;
    bool geojson = false;
    app.add_option("file", kxfPath, "the KXF file")->required();
    app.add_option("--mtd", mtdPath, "the attribute file (default: the KXF name with .MTD)");
    app.add_flag("--geojson", geojson, "write GeoJSON instead of text");
    CLI11_PARSE(app, argc, argv);

    auto kxfData = ReadWholeFile(kxfPath);
    if (!kxfData) {
        std::fprintf(stderr, "zalor-kxfdump: cannot read %s (only regular files are read)\n", kxfPath.c_str());
        return 2;
    }
    std::span<const unsigned char> data(reinterpret_cast<const unsigned char*>(kxfData->data()), kxfData->size());
    KxfHeader header;
    if (!DecodeKxfHeader(data, header)) {
        std::fprintf(stderr, "zalor-kxfdump: %s: not a KXF file (no \"KOVEN\" header)\n", kxfPath.c_str());
        return 2;
    }

    bool damaged = false;
    auto problem = [&](const std::string& text) {
        std::fprintf(stderr, "zalor-kxfdump: %s\n", text.c_str());
        damaged = true;
    };

    // The attribute file.
    bool explicitMtd = !mtdPath.empty();
    if (!explicitMtd) {
        mtdPath = ChangeFileExtension(kxfPath, ".MTD");
        if (!FileExists(mtdPath)) {
            std::string lower = ChangeFileExtension(kxfPath, ".mtd");
            if (FileExists(lower)) mtdPath = lower;
        }
    }
    std::optional<MtdTable> mtd;
    if (auto text = ReadWholeFile(mtdPath)) {
        MtdTable t;
        std::string error;
        if (ParseMtd(*text, t, error)) mtd = std::move(t);
        else problem(mtdPath + ": " + error);
    } else if (explicitMtd) {
        std::fprintf(stderr, "zalor-kxfdump: cannot read %s\n", mtdPath.c_str());
        return 2;
    }
    std::vector<MtdColumn> cols = mtd ? ColumnsOf(*mtd) : std::vector<MtdColumn>();

    std::string out;
    if (geojson) {
        out += "{\"type\":\"FeatureCollection\",\"kxf\":{\"records\":" + std::to_string(header.recordCount) +
               ",\"box\":[" + Degrees(header.box.minX) + "," + Degrees(header.box.minY) + "," +
               Degrees(header.box.maxX) + "," + Degrees(header.box.maxY) + "]},\n\"features\":[\n";
    } else {
        out += "File: " + kxfPath + "\n";
        out += "Records in header: " + std::to_string(header.recordCount) + "\n";
        out += "Bounding box: min x " + Degrees(header.box.minX) + ", max y " + Degrees(header.box.maxY) +
               ", max x " + Degrees(header.box.maxX) + ", min y " + Degrees(header.box.minY) + "\n";
        if (mtd) {
            out += "Attributes: " + mtdPath + ", " + std::to_string(mtd->columns.size()) + " columns:";
            for (std::size_t i = 0; i < mtd->columns.size(); ++i)
                out += (i ? " | " : " ") + Printable(mtd->columns[i]);
            out += "\n";
        } else {
            out += "Attributes: none (" + mtdPath + " not read)\n";
        }
    }
    Emit(out);

    std::size_t pos = kKxfHeaderSize;
    int64_t number = 0;
    KxfRecord rec;
    while (pos < data.size()) {
        std::string error;
        std::size_t at = pos;
        if (!DecodeKxfRecord(data, pos, rec, error)) {
            problem(kxfPath + ": record " + std::to_string(number + 1) + " at offset " + std::to_string(at) +
                    ": " + error);
            break;
        }
        ++number;
        const std::string* row =
            mtd && number <= static_cast<int64_t>(mtd->rows.size()) ? &mtd->rows[static_cast<std::size_t>(number - 1)]
                                                                    : nullptr;
        std::vector<MtdValue> values = row ? ValuesOf(*row) : std::vector<MtdValue>();
        if (row && values.size() != cols.size())
            problem(mtdPath + ": row " + std::to_string(number) + " has " + std::to_string(values.size()) +
                    " values for " + std::to_string(cols.size()) + " columns");
        if (geojson) {
            out += number > 1 ? ",\n" : "";
            out += "{\"type\":\"Feature\",\"id\":" + std::to_string(number) +
                   ",\"properties\":{\"record\":" + std::to_string(number) +
                   ",\"class\":" + std::to_string(rec.classCode) + ",\"kind\":\"" + KindName(rec.tag) + "\"";
            for (std::size_t i = 0; i < values.size(); ++i) {
                out.push_back(',');
                AppendJsonString(out, ColumnName(cols, i));
                out.push_back(':');
                bool integer = i < cols.size() && cols[i].integer && !values[i].quoted && IsInteger(values[i].text);
                if (integer) out += values[i].text;
                else AppendJsonString(out, values[i].text);
            }
            out += "},\"geometry\":";
            AppendGeometry(out, rec);
            out += "}";
        } else {
            out += "\nRecord " + std::to_string(number) + " at offset " + std::to_string(rec.offset) + ": class " +
                   std::to_string(rec.classCode) + ", " + KindName(rec.tag) + ", " +
                   std::to_string(rec.partSizes.size()) + (rec.partSizes.size() == 1 ? " part, " : " parts, ") +
                   std::to_string(rec.points.size()) + " points\n";
            std::size_t first = 0;
            for (std::size_t i = 0; i < rec.partSizes.size(); ++i) {
                out += "  Part " + std::to_string(i + 1) + ": " + std::to_string(rec.partSizes[i]) + " points\n";
                for (int32_t k = 0; k < rec.partSizes[i]; ++k) {
                    const GeoPoint& p = rec.points[first + static_cast<std::size_t>(k)];
                    out += "    " + Degrees(p.x) + " " + Degrees(p.y) + "\n";
                }
                first += static_cast<std::size_t>(rec.partSizes[i]);
            }
            if (row) {
                out += " ";
                for (std::size_t i = 0; i < values.size(); ++i) {
                    out += " " + Printable(ColumnName(cols, i)) + "=";
                    out += values[i].quoted ? "\"" + Printable(values[i].text) + "\"" : Printable(values[i].text);
                }
                out += "\n";
            } else if (mtd) {
                out += "  (no attribute row)\n";
            }
        }
        if (out.size() > (1u << 16)) Emit(out);
    }
    if (geojson) out += "\n]}\n";
    Emit(out);
    std::fflush(stdout);

    if (number != header.recordCount)
        problem(kxfPath + ": header says " + std::to_string(header.recordCount) + " records, the file holds " +
                std::to_string(number) + (damaged ? " readable ones" : ""));
    if (mtd && static_cast<int64_t>(mtd->rows.size()) != number)
        problem(mtdPath + ": " + std::to_string(mtd->rows.size()) + " attribute rows for " + std::to_string(number) +
                " records");
    return damaged ? 1 : 0;
}
