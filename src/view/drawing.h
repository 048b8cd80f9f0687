// What the viewer draws: the objects of every loaded MIF or shapefile, with
// their points in one array, their styles and the link to their attribute
// rows. No GUI code in here.
#pragma once

#include "geometry/coords.h"
#include "view/pod_array.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zalor::view {

// Colours are platform colour values: 0x00BBGGRR.
inline constexpr uint32_t kMifLinePen = 255;
inline constexpr uint32_t kMifRegionPen = 0x8000;
inline constexpr uint32_t kShpLinePen = 0x8000;
inline constexpr uint32_t kShpPolygonPen = 0xFFFF00;
inline constexpr uint32_t kDefaultBrush = 0xFFFFFF;
inline constexpr uint32_t kBackground = 12632256;
// Pen colours of the lines and regions of MIF file 0, 1, 2, ... when more
// than one file is loaded.
inline constexpr uint32_t kFileColourCycle[4] = {255, 0x8000, 0xFF0000, 32896};
// GeoPackage tables (a county's file has dozens) take these in turn, points
// too; the first four are those of MIF files.
inline constexpr uint32_t kTableColours[12] = {255,      0x8000,   0xFF0000, 32896,    0x0080FF, 0x800080,
                                               0x808000, 0x000080, 0xFF00FF, 0xC08000, 0x404040, 0x004080};

// A MIF colour (red * 65536 + green * 256 + blue) as a platform colour.
constexpr uint32_t ColourFromRgb(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

enum class ObjectKind : uint8_t { Line = 1, Region = 2, Point = 3 };

// A rectangle in world units, bounds included.
struct Box {
    int32_t minX = std::numeric_limits<int32_t>::max();
    int32_t minY = std::numeric_limits<int32_t>::max();
    int32_t maxX = std::numeric_limits<int32_t>::min();
    int32_t maxY = std::numeric_limits<int32_t>::min();

    bool Empty() const { return minX > maxX || minY > maxY; }
    void Add(GeoPoint p)
    {
        if (p.x < minX) minX = p.x;
        if (p.x > maxX) maxX = p.x;
        if (p.y < minY) minY = p.y;
        if (p.y > maxY) maxY = p.y;
    }
    void Add(const Box& b)
    {
        if (b.Empty()) return;
        Add(GeoPoint{b.minX, b.minY});
        Add(GeoPoint{b.maxX, b.maxY});
    }
    friend bool operator==(const Box&, const Box&) = default;
};

// One object of a file. Object k of a file (from 1) owns attribute row k
// (MID row, DBF record), so objects without points (a null shape, a region
// without rings) are kept too; they have an empty box and are never drawn.
struct DrawingObject {
    Box box;
    uint32_t firstPoint = 0; // into DrawingModel::Points()
    uint32_t pointCount = 0;
    uint32_t firstPart = 0;  // into DrawingModel::PartSizes() when partCount > 1
    uint32_t partCount = 0;
    uint32_t penColour = 0;
    uint32_t brushColour = kDefaultBrush;
    uint16_t file = 0;       // index into DrawingModel::Files()
    ObjectKind kind = ObjectKind::Line;
    uint8_t penWidth = 1;
    uint8_t brushPattern = 2;
};

enum class FileKind : uint8_t { Mif, Shapefile, GeoPackage };
// Units of the world coordinates: micro-degrees, or (projected MIF files)
// millimetres.
enum class Units : uint8_t { MicroDegrees, Millimetres };

// One loaded file, or one table of a GeoPackage: a layer of the drawing.
struct SourceFile {
    std::string path;
    std::string table;                // the GeoPackage table ("" for other files)
    FileKind kind = FileKind::Mif;
    Units units = Units::MicroDegrees;
    // The coordinate system the file declares, in words ("" when it
    // declares none).
    std::string coordSys;
    std::string attributePath;        // the MID or DBF file ("" when there is none)
    // The table's texts are UTF-8 (its .CPG says so); they are shown, as
    // every text of the viewer, in Latin-1.
    bool utf8Texts = false;
    std::vector<std::string> columns; // attribute column names
    // MID files: byte offset of row k (from 1) at [k - 1], and the end of
    // the last row scanned at the back.
    std::vector<uint64_t> rowOffsets;
    // GeoPackage tables keep their values: those of row k (from 1) are
    // cells[cellRows[k - 1] .. cellRows[k]), each ended by a zero byte.
    std::string cells;
    std::vector<uint64_t> cellRows;
    uint32_t rowCount = 0;            // attribute rows there are (MID rows, DBF records, table rows)
    uint32_t firstObject = 0;
    uint32_t objectCount = 0;
    // Set when the reading ends: the union of the objects' boxes, and the
    // pen colour most of its objects are drawn in.
    Box extent;
    uint32_t colour = 0;
    bool shown = true;                // its objects are drawn and found by queries
};

// The name a layer goes by: the file's name, and ":" and the table's for
// a GeoPackage table.
std::string LayerName(const SourceFile& file);

struct Attribute {
    std::string name;  // column name, bytes as in the file
    std::string value; // trimmed, unquoted
};

// Reports the bytes read so far of all files being loaded; returning false
// stops the reading.
using LoadProgress = std::function<bool(int64_t done, int64_t total)>;

struct LoadResult {
    bool whole = true;   // every file was read to its end without a fault
    std::string message; // faults, one line per file ("" when whole)
};

class ObjectGrid;

class DrawingModel {
public:
    DrawingModel();
    ~DrawingModel();
    DrawingModel(const DrawingModel&) = delete;
    DrawingModel& operator=(const DrawingModel&) = delete;

    // Discards every object and file.
    void Clear();
    // Reads the files in order (a name ending in .MIF as MIF, in .SHP as a
    // shapefile, in .GPKG as a GeoPackage, each table a layer; any case;
    // others are refused) after discarding what was loaded, and then sets
    // the file colours. Keeps the valid objects of a damaged file, those
    // before the damage.
    LoadResult Load(const std::vector<std::string>& paths, const LoadProgress& progress = {});

    std::span<const DrawingObject> Objects() const { return objects_; }
    std::span<const GeoPoint> Points() const { return points_; }
    std::span<const uint32_t> PartSizes() const { return parts_; }
    std::span<const SourceFile> Files() const { return files_; }
    std::span<const GeoPoint> PointsOf(const DrawingObject& o) const
    {
        return {points_.data() + o.firstPoint, o.pointCount};
    }
    // The point counts of the object's parts (a single part's is its point count).
    std::span<const uint32_t> PartsOf(const DrawingObject& o) const
    {
        if (o.partCount == 1) return {&o.pointCount, 1};
        return {parts_.data() + o.firstPart, o.partCount};
    }
    // The attribute row (from 1) of object `index` within its file.
    uint32_t RowOf(std::size_t index) const
    {
        return static_cast<uint32_t>(index - files_[objects_[index].file].firstObject + 1);
    }
    bool Empty() const { return objects_.empty(); }
    // Union of the boxes of all objects.
    const Box& Extent() const { return extent_; }
    // Union of the boxes of the shown files' objects.
    Box ShownExtent() const;
    // Shows or hides the objects of a file.
    void SetShown(std::size_t file, bool shown)
    {
        if (file < files_.size()) files_[file].shown = shown;
    }
    // Units of the first loaded file.
    Units WorldUnits() const { return files_.empty() ? Units::MicroDegrees : files_.front().units; }

    // The grid over the objects' boxes (made when first asked for; not
    // while Load runs).
    const ObjectGrid& Grid() const;

    // The attribute values of object `index` beside their column names;
    // false (and `out` empty) when it has none. Reads the MID or DBF file.
    bool Attributes(std::size_t index, std::vector<Attribute>& out) const;
    // The attribute row of object `index` as one text: the MID row, or the
    // DBF values separated by ","; "" when it has none.
    std::string RowText(std::size_t index) const;

    // ---- building, for the readers ----
    // Starts a file; its objects follow. False when no more files fit.
    bool BeginFile(SourceFile file);
    SourceFile& CurrentFile() { return files_.back(); }
    void BeginObject(ObjectKind kind, uint32_t pen)
    {
        building_ = DrawingObject{};
        building_.kind = kind;
        building_.penColour = pen;
        building_.file = static_cast<uint16_t>(files_.size() - 1);
        building_.firstPoint = static_cast<uint32_t>(std::min<std::size_t>(points_.size(), UINT32_MAX));
        building_.firstPart = static_cast<uint32_t>(std::min<std::size_t>(parts_.size(), UINT32_MAX));
        partStart_ = points_.size();
    }
    void AddPoint(GeoPoint p)
    {
        points_.push_back(p);
        building_.box.Add(p);
    }
    // Room for `n` points at the end of the array, to be written there;
    // AddToBox must then be told their box.
    GeoPoint* AppendPoints(std::size_t n) { return points_.Extend(n); }
    void AddToBox(const Box& b) { building_.box.Add(b); }
    // Ends the current part with the points added since the previous one.
    void EndPart()
    {
        parts_.push_back(static_cast<uint32_t>(std::min<uint64_t>(points_.size() - partStart_, UINT32_MAX)));
        partStart_ = points_.size();
    }
    // Ends the object. False when it has more points or parts than the
    // model can hold (it is dropped then).
    bool EndObject()
    {
        if (points_.size() > UINT32_MAX || parts_.size() > UINT32_MAX || objects_.size() >= UINT32_MAX) {
            DropObject();
            return false;
        }
        building_.pointCount = static_cast<uint32_t>(points_.size() - building_.firstPoint);
        building_.partCount = static_cast<uint32_t>(parts_.size() - building_.firstPart);
        if (building_.partCount == 1) parts_.Truncate(building_.firstPart); // the point count says it all
        objects_.push_back(building_);
        extent_.Add(building_.box);
        return true;
    }
    // Drops the object being built (its points and parts).
    void DropObject()
    {
        points_.Truncate(building_.firstPoint);
        parts_.Truncate(building_.firstPart);
        partStart_ = points_.size();
    }
    DrawingObject* LastObject() { return objects_.empty() ? nullptr : &objects_.back(); }
    // Room for `points` more points and `objects` more objects (estimates
    // from the file's size: room that is never used costs no memory).
    void Reserve(std::size_t points, std::size_t objects);
    // The objects read so far (all files).
    std::size_t ObjectCount() const { return objects_.size(); }

private:
    void ApplyFileColours();
    // The extent and the colour of each file.
    void SummariseFiles();

    std::vector<SourceFile> files_;
    PodArray<DrawingObject> objects_;
    PodArray<GeoPoint> points_;
    PodArray<uint32_t> parts_;
    Box extent_;
    mutable std::unique_ptr<ObjectGrid> grid_;
    // The object being built.
    DrawingObject building_;
    uint64_t partStart_ = 0;
};

} // namespace zalor::view
