#include "view/drawing.h"

#include "formats/shp/dbf.h"
#include "formats/mif/mid_syntax.h"
#include "view/object_grid.h"
#include "view/readers.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor::view {

namespace {

bool EndsWithUpper(const std::string& path, std::string_view ext)
{
    if (path.size() < ext.size()) return false;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char c = path[path.size() - ext.size() + i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != ext[i]) return false;
    }
    return true;
}

int64_t FileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// Bytes [from, to) of a file; "" when it cannot be read.
std::string ReadSpan(const std::string& path, uint64_t from, uint64_t to)
{
    constexpr uint64_t kMaxRow = uint64_t{1} << 20; // longer rows are shown cut
    if (to <= from) return std::string();
    to = std::min(to, from + kMaxRow);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string();
    std::string bytes(static_cast<std::size_t>(to - from), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(from + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

std::string MidRow(const SourceFile& f, uint32_t row)
{
    if (row < 1 || row > f.rowCount || row >= f.rowOffsets.size()) return std::string();
    std::string text = ReadSpan(f.attributePath, f.rowOffsets[row - 1], f.rowOffsets[row]);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// The DBF record's field values, trimmed.
bool DbfValues(const SourceFile& f, uint32_t row, std::vector<std::string>& values)
{
    if (row < 1 || row > f.rowCount) return false;
    try {
        Tdbx table(f.attributePath, Tdbx::kRead);
        if (!table.ReadRecord(row)) return false;
        for (int i = 1; i <= table.FieldCount(); ++i) {
            const std::string field = table.GetFieldText(i);
            const std::string_view text = TrimBlanks(field);
            values.push_back(f.utf8Texts ? Utf8ToLatin1(text) : std::string(text));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The values a GeoPackage table's row keeps in memory.
bool TableValues(const SourceFile& f, uint32_t row, std::vector<std::string>& values)
{
    if (row < 1 || row > f.rowCount || row >= f.cellRows.size()) return false;
    const uint64_t end = std::min<uint64_t>(f.cellRows[row], f.cells.size());
    for (uint64_t at = f.cellRows[row - 1]; at < end;) {
        const std::size_t zero = f.cells.find('\0', at);
        const uint64_t stop = zero == std::string::npos ? end : std::min<uint64_t>(zero, end);
        values.emplace_back(f.cells, at, stop - at);
        at = stop + 1;
    }
    return true;
}

} // namespace

DrawingModel::DrawingModel() = default;
DrawingModel::~DrawingModel() = default;

const ObjectGrid& DrawingModel::Grid() const
{
    if (!grid_) grid_ = std::make_unique<ObjectGrid>(*this);
    return *grid_;
}

void DrawingModel::Clear()
{
    grid_.reset();
    files_.clear();
    objects_.Release();
    points_.Release();
    parts_.Release();
    extent_ = Box{};
}

LoadResult DrawingModel::Load(const std::vector<std::string>& paths, const LoadProgress& progress)
{
    Clear();
    LoadResult result;
    int64_t total = 0;
    for (const std::string& p : paths) total += FileSize(p);
    int64_t before = 0;
    bool stopped = false;
    for (const std::string& p : paths) {
        const int64_t size = FileSize(p);
        FileProgress fileProgress;
        if (progress)
            fileProgress = [&](int64_t done) {
                if (!progress(before + std::min(done, size), total)) stopped = true;
                return !stopped;
            };
        std::string fault;
        if (stopped)
            fault = p + ": not read (reading stopped)";
        else if (EndsWithUpper(p, ".MIF"))
            fault = MifReader::Read(p, *this, fileProgress);
        else if (EndsWithUpper(p, ".SHP"))
            fault = ShpReader::Read(p, *this, fileProgress);
        else if (EndsWithUpper(p, ".GPKG"))
            fault = GpkgReader::Read(p, *this, fileProgress);
        else
            fault = p + ": not a .MIF, .SHP or .GPKG file";
        before += size;
        if (!fault.empty()) {
            result.whole = false;
            if (!result.message.empty()) result.message += '\n';
            result.message += fault;
        }
    }
    ApplyFileColours();
    SummariseFiles();
    grid_.reset();
    return result;
}

// MIF files and GeoPackage tables take the colours in turn (counted
// together); shapefiles keep theirs.
void DrawingModel::ApplyFileColours()
{
    if (files_.size() < 2) return;
    std::vector<int> mifNumber(files_.size(), -1);
    int n = 0;
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i].kind != FileKind::Shapefile) mifNumber[i] = n++;
    for (DrawingObject& o : objects_) {
        const int k = mifNumber[o.file];
        if (k < 0) continue;
        if (files_[o.file].kind == FileKind::GeoPackage) o.penColour = kTableColours[k % 12];
        else if (o.kind != ObjectKind::Point) o.penColour = kFileColourCycle[k % 4];
    }
}

void DrawingModel::SummariseFiles()
{
    // The most frequent pen of each file's lines and regions (of its points
    // when it has nothing else), among its first few pens.
    struct Tally {
        uint32_t colour[8];
        uint64_t count[8];
        int used = 0;
        void Add(uint32_t c)
        {
            for (int i = 0; i < used; ++i)
                if (colour[i] == c) {
                    ++count[i];
                    return;
                }
            if (used < 8) {
                colour[used] = c;
                count[used++] = 1;
            }
        }
        uint32_t Top() const { return used ? colour[std::max_element(count, count + used) - count] : 0; }
    };
    for (SourceFile& f : files_) {
        const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{f.firstObject} + f.objectCount, objects_.size()));
        // One file alone spans the whole extent; the objects of a shapefile
        // all have the pen of their kind. Neither needs a look at every object.
        const bool alone = files_.size() == 1, shapefile = f.kind == FileKind::Shapefile;
        f.extent = alone ? extent_ : Box{};
        Tally lines, points;
        for (uint32_t k = f.firstObject; k < end && !(alone && shapefile && (lines.used || points.used)); ++k) {
            const DrawingObject& o = objects_[k];
            if (!alone) f.extent.Add(o.box);
            if (!shapefile || o.pointCount > 0) (o.kind == ObjectKind::Point ? points : lines).Add(o.penColour);
        }
        f.colour = lines.used ? lines.Top() : points.used ? points.Top() : kMifLinePen;
    }
}

Box DrawingModel::ShownExtent() const
{
    Box box;
    for (const SourceFile& f : files_)
        if (f.shown) box.Add(f.extent);
    return box;
}

std::string LayerName(const SourceFile& file)
{
    const std::size_t slash = file.path.find_last_of('/');
    std::string name = slash == std::string::npos ? file.path : file.path.substr(slash + 1);
    if (!file.table.empty()) name += ":" + file.table;
    return name;
}

bool DrawingModel::BeginFile(SourceFile file)
{
    grid_.reset();
    if (files_.size() > std::numeric_limits<uint16_t>::max()) return false;
    file.firstObject = static_cast<uint32_t>(objects_.size());
    file.objectCount = 0;
    files_.push_back(std::move(file));
    return true;
}

void DrawingModel::Reserve(std::size_t points, std::size_t objects)
{
    auto grow = [](auto& v, std::size_t more) {
        const std::size_t need = v.size() + more;
        if (need > v.capacity()) v.reserve(std::max(need, v.capacity() * 2));
    };
    grow(points_, points);
    grow(objects_, objects);
    grow(parts_, objects);
}

bool DrawingModel::Attributes(std::size_t index, std::vector<Attribute>& out) const
{
    out.clear();
    if (index >= objects_.size()) return false;
    const SourceFile& f = files_[objects_[index].file];
    const uint32_t r = RowOf(index);
    std::vector<std::string> values;
    if (f.kind == FileKind::Mif) {
        if (r > f.rowCount) return false;
        std::string row = MidRow(f, r);
        ForEachMidValue(row, [&](std::string_view v, bool) { values.emplace_back(TrimBlanks(UndoubleQuotes(v))); });
    } else if (f.kind == FileKind::GeoPackage) {
        if (!TableValues(f, r, values)) return false;
    } else if (!DbfValues(f, r, values)) {
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        out.push_back(Attribute{i < f.columns.size() ? f.columns[i] : std::string(), std::move(values[i])});
    return true;
}

std::string DrawingModel::RowText(std::size_t index) const
{
    if (index >= objects_.size()) return std::string();
    const SourceFile& f = files_[objects_[index].file];
    if (f.kind == FileKind::Mif) return MidRow(f, RowOf(index));
    std::vector<std::string> values;
    if (!(f.kind == FileKind::GeoPackage ? TableValues(f, RowOf(index), values) : DbfValues(f, RowOf(index), values)))
        return std::string();
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) text += ',';
        text += values[i];
    }
    return text;
}

} // namespace zalor::view
