// Shapefiles (point, polyline and polygon records) with their DBF tables.
#include "formats/shp/dbf.h"
#include "formats/shp/shp_file.h"
#include "view/block_reader.h"
#include "view/coord_sys.h"
#include "view/readers.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zalor::view {

namespace {

uint32_t BigEndian32(const unsigned char* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t LittleEndian32(const unsigned char* p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

double LittleEndianDouble(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return std::bit_cast<double>(v);
}

// Degrees to micro-degrees, rounded to the nearest (the writer stores
// micro-degrees times 0.000001, so this gives them back exactly).
bool ToMicro(double degrees, int32_t& out)
{
    const double v = degrees * 1e6;
    if (!(v > -2147483648.5 && v < 2147483647.5)) return false; // NaN fails too
#ifdef __SSE2__
    out = _mm_cvtsd_si32(_mm_set_sd(v)); // to the nearest
#else
    out = static_cast<int32_t>(v < 0 ? v - 0.5 : v + 0.5);
#endif
    return true;
}

class ShpParser {
public:
    ShpParser(const std::string& path, DrawingModel& model, const FileProgress& progress)
        : path_(path), model_(model), progress_(progress)
    {
    }
    std::string Run();

private:
    std::string Fault(const std::string& what) const
    {
        return path_ + ", record " + std::to_string(record_) + ": " + what;
    }
    // The records up to byte `end` of the file; `fault` says why they stopped early.
    void ReadRecords(int64_t end, std::string& fault);
    // The next record, its header and content, before byte `end`.
    bool ReadRecord(int64_t end, std::string& fault);
    // Room for the objects and points a file of `end` bytes of `fileType` may hold.
    void Reserve(int64_t end, int fileType);
    // One record's content (`length` bytes, the shape type first).
    bool ReadShape(const unsigned char* c, int64_t length, std::string& fault);
    bool ReadPointShape(const unsigned char* c, int64_t length, std::string& fault);
    // The parts of a polyline or polygon: `parts` start indexes at `starts`,
    // then `points` points.
    bool ReadParts(const unsigned char* starts, int64_t parts, int64_t points, std::string& fault);
    bool ReadPoint(const unsigned char* p, std::string& fault)
    {
        GeoPoint g;
        if (!ToMicro(LittleEndianDouble(p), g.x) || !ToMicro(LittleEndianDouble(p + 8), g.y)) {
            fault = Fault("a coordinate out of range");
            return false;
        }
        model_.AddPoint(g);
        return true;
    }
    // `n` points of 16 bytes each.
    bool ReadPoints(const unsigned char* p, int64_t n, std::string& fault)
    {
        GeoPoint* out = model_.AppendPoints(static_cast<std::size_t>(n));
        Box box;
        bool ok = true;
        for (int64_t i = 0; i < n; ++i, p += 16) {
            ok &= ToMicro(LittleEndianDouble(p), out[i].x);
            ok &= ToMicro(LittleEndianDouble(p + 8), out[i].y);
            box.Add(out[i]);
        }
        if (!ok) {
            fault = Fault("a coordinate out of range");
            return false;
        }
        model_.AddToBox(box);
        return true;
    }
    // An object without points keeps the records and objects in step.
    bool EmptyObject()
    {
        model_.BeginObject(ObjectKind::Line, kShpLinePen);
        return model_.EndObject();
    }
    void OpenTable(std::string& fault);
    void ReadPrj();

    const std::string& path_;
    DrawingModel& model_;
    const FileProgress& progress_;
    BlockReader in_;
    uint32_t record_ = 0;   // records read, each owns a DBF record
    int64_t unsupported_ = 0;
    int unsupportedType_ = 0;
};

bool ShpParser::ReadPointShape(const unsigned char* c, int64_t length, std::string& fault)
{
    if (length < 20) {
        fault = Fault("a point record shorter than a point");
        return false;
    }
    model_.BeginObject(ObjectKind::Point, kShpLinePen);
    if (!ReadPoint(c + 4, fault)) {
        model_.DropObject();
        return false;
    }
    model_.EndPart();
    return model_.EndObject();
}

bool ShpParser::ReadParts(const unsigned char* starts, int64_t parts, int64_t points, std::string& fault)
{
    const unsigned char* xy = starts + 4 * parts;
    int64_t at = 0;
    for (int64_t k = 0; k < parts; ++k) {
        const int64_t end = k + 1 < parts ? static_cast<int32_t>(LittleEndian32(starts + 4 * (k + 1))) : points;
        if (end < at || end > points) {
            fault = Fault("part " + std::to_string(k + 2) + " starts at point " + std::to_string(end) +
                          ", outside the record's " + std::to_string(points) + " points");
            return false;
        }
        if (!ReadPoints(xy + 16 * at, end - at, fault)) return false;
        at = end;
        model_.EndPart();
    }
    return true;
}

bool ShpParser::ReadShape(const unsigned char* c, int64_t length, std::string& fault)
{
    const int type = static_cast<int32_t>(LittleEndian32(c));
    if (type == kShpNullShape) return EmptyObject(); // nothing to draw
    if (type == TShpFile::kPoint) return ReadPointShape(c, length, fault);
    if (type != TShpFile::kPolyLine && type != TShpFile::kPolygon) {
        ++unsupported_;
        unsupportedType_ = type;
        return EmptyObject();
    }
    if (length < kShpPolyRecordHead) {
        fault = Fault("a record shorter than its box and counts");
        return false;
    }
    const int64_t parts = static_cast<int32_t>(LittleEndian32(c + 36));
    const int64_t points = static_cast<int32_t>(LittleEndian32(c + 40));
    if (parts < 0 || points < 0 || kShpPolyRecordHead + 4 * parts + 16 * points > length) {
        fault = Fault(std::to_string(parts) + " parts and " + std::to_string(points) +
                      " points do not fit a record of " + std::to_string(length) + " bytes");
        return false;
    }
    if (parts == 0 && points == 0) return EmptyObject();
    const unsigned char* starts = c + kShpPolyRecordHead;
    if (parts == 0 || LittleEndian32(starts) != 0) {
        fault = Fault("the first part does not start at the first point");
        return false;
    }
    const bool polygon = type == TShpFile::kPolygon;
    model_.BeginObject(polygon ? ObjectKind::Region : ObjectKind::Line, polygon ? kShpPolygonPen : kShpLinePen);
    if (!ReadParts(starts, parts, points, fault)) {
        model_.DropObject();
        return false;
    }
    if (!model_.EndObject()) {
        fault = Fault("an object with more points than can be shown");
        return false;
    }
    return true;
}

// Room by the file's size: a point record takes 28 bytes, a line or polygon
// at least 72 (room never used costs nothing; without it the arrays grow as
// they fill).
void ShpParser::Reserve(int64_t end, int fileType)
{
    try {
        const bool points = fileType == TShpFile::kPoint;
        const int64_t records = (end - kShpHeaderSize) / (points ? 28 : 72);
        model_.Reserve(static_cast<std::size_t>(points ? records : (end - kShpHeaderSize) / 16),
                       static_cast<std::size_t>(records));
    } catch (const std::bad_alloc&) {
    }
}

bool ShpParser::ReadRecord(int64_t end, std::string& fault)
{
    if (record_ == std::numeric_limits<uint32_t>::max()) {
        fault = Fault("too many records");
        return false;
    }
    ++record_;
    const int64_t left = end - in_.Position();
    const unsigned char* r = left >= 8 ? in_.Peek(8) : nullptr;
    if (!r) {
        fault = Fault(in_.Failed() ? "read error" : "the file ends inside the record header");
        return false;
    }
    const int64_t length = int64_t{BigEndian32(r + 4)} * 2;
    if (length < 4 || length > left - 8) {
        fault = Fault("a content length of " + std::to_string(length) + " bytes, beyond the end of the file");
        return false;
    }
    const unsigned char* c = in_.Peek(static_cast<std::size_t>(8 + length));
    if (!c) {
        fault = Fault("read error");
        return false;
    }
    if (!ReadShape(c + 8, length, fault)) {
        if (fault.empty()) fault = Fault("more objects or points than can be shown");
        return false;
    }
    in_.Skip(8 + length);
    return true;
}

void ShpParser::ReadRecords(int64_t end, std::string& fault)
{
    int64_t nextReport = 0;
    try {
        while (in_.Position() < end) {
            if (in_.Position() >= nextReport) {
                nextReport = in_.Position() + (int64_t{1} << 20);
                if (progress_ && !progress_(in_.Position())) {
                    fault = path_ + ": reading stopped";
                    return;
                }
            }
            if (!ReadRecord(end, fault)) return;
        }
    } catch (const std::bad_alloc&) {
        model_.DropObject();
        fault = path_ + ": out of memory after " + std::to_string(model_.ObjectCount()) + " objects";
    }
}

std::string ShpParser::Run()
{
    std::string error;
    if (!in_.Open(path_, error)) return error;
    SourceFile file;
    file.path = path_;
    file.kind = FileKind::Shapefile;
    if (!model_.BeginFile(std::move(file))) return path_ + ": too many files";

    std::string fault;
    const unsigned char* h = in_.Peek(kShpHeaderSize);
    if (!h || BigEndian32(h) != static_cast<uint32_t>(kShpFileCode)) {
        fault = path_ + ": not a shapefile";
    } else {
        const int64_t stated = int64_t{BigEndian32(h + 24)} * 2;
        const int fileType = static_cast<int32_t>(LittleEndian32(h + 32));
        // The file length the header states (0 while a writer has not
        // finished the file); bytes after it are not records.
        int64_t end = in_.Size();
        if (stated >= kShpHeaderSize && stated < end) end = stated;
        in_.Skip(kShpHeaderSize);
        Reserve(end, fileType);
        ReadRecords(end, fault);
        if (fault.empty() && stated > in_.Size())
            fault = path_ + ": the file is shorter than its header says (" + std::to_string(in_.Size()) + " of " +
                    std::to_string(stated) + " bytes)";
        if (fault.empty() && unsupported_ > 0)
            fault = path_ + ": " + std::to_string(unsupported_) + " records of shape type " +
                    std::to_string(unsupportedType_) + " cannot be shown";
    }
    SourceFile& f = model_.CurrentFile();
    f.objectCount = static_cast<uint32_t>(model_.ObjectCount() - f.firstObject);
    if (progress_) progress_(in_.Size());
    std::string tableFault;
    OpenTable(tableFault);
    ReadPrj();
    return fault.empty() ? tableFault : fault;
}

// Whether the shapefile's .CPG file declares its texts UTF-8.
bool TableIsUtf8(const std::string& shpPath)
{
    const std::string path = CompanionFile(shpPath, ".CPG");
    if (path.empty()) return false;
    char text[64];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    return n > 0 && CpgDeclaresUtf8(std::string_view(text, static_cast<std::size_t>(n)));
}

// The coordinate system of the .PRJ file of the same name, if any.
void ShpParser::ReadPrj()
{
    constexpr int64_t kMaxPrj = 64 * 1024;
    const std::string path = CompanionFile(path_, ".PRJ");
    if (path.empty()) return;
    BlockReader prj;
    std::string error;
    const unsigned char* text = nullptr;
    static const unsigned char kNothing = 0;
    if (prj.Open(path, error) && prj.Size() <= kMaxPrj)
        text = prj.Size() == 0 ? &kNothing : prj.Peek(static_cast<std::size_t>(prj.Size()));
    model_.CurrentFile().coordSys =
        text ? PrjCoordSysName(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(prj.Size())))
             : "Unreadable .PRJ";
}

// The DBF table of the same name: its field names, and how many of its
// records are really in the file (one for each shape, else a fault).
void ShpParser::OpenTable(std::string& fault)
{
    SourceFile& file = model_.CurrentFile();
    std::string path = CompanionFile(path_, ".DBF");
    if (path.empty()) return; // objects without attributes
    try {
        Tdbx table(path, Tdbx::kRead);
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) throw FileError("Cannot read " + path, path);
        const int64_t whole = (st.st_size - table.HeaderLength()) / table.RecordLength();
        const int64_t stated = table.RecordCount();
        file.rowCount = static_cast<uint32_t>(std::clamp<int64_t>(std::min(whole, stated), 0, stated));
        file.utf8Texts = TableIsUtf8(path_);
        for (int i = 1; i <= table.FieldCount(); ++i)
            file.columns.push_back(file.utf8Texts ? Utf8ToLatin1(table.GetFieldName(i)) : table.GetFieldName(i));
        file.attributePath = path;
        if (whole < stated)
            fault = path + ": the table is shorter than its header says (" + std::to_string(std::max<int64_t>(whole, 0)) +
                    " of " + std::to_string(stated) + " records)";
        else if (file.rowCount != record_)
            fault = path + ": " + std::to_string(file.rowCount) + " records for " + std::to_string(record_) + " shapes";
    } catch (const std::exception& e) {
        file.columns.clear();
        file.rowCount = 0;
        fault = e.what();
    }
}

} // namespace

std::string ShpReader::Read(const std::string& path, DrawingModel& model, const FileProgress& progress)
{
    ShpParser parser(path, model, progress);
    return parser.Run();
}

std::string Utf8ToLatin1(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        // The length of the character that starts here (0: no start byte).
        const std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 0;
        bool whole = n > 0 && i + n <= text.size();
        for (std::size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            out.push_back(text[i++]);
            continue;
        }
        if (n == 1) out.push_back(text[i]);
        else if (n == 2 && c < 0xC4) out.push_back(static_cast<char>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F)));
        else out.push_back('?');
        i += n;
    }
    return out;
}

} // namespace zalor::view
