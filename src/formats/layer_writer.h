// One output layer (a set of files of one format holding points, lines or
// areas with an attribute row each, or a table of a GeoPackage), written
// through one interface whatever the format: MIF/MID, SHP/SHX/DBF with a
// .PRJ, KXF/MTD, or a table of the county's GeoPackage.
#pragma once

#include "geometry/assembly.h"
#include "geometry/coords.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

enum class OutputFormat { Mif = 0, Shp = 1, Kxf = 2, Gpkg = 3 };

// What a format can hold besides lines and areas.
struct FormatTraits {
    const char* mainExtension; // the file the layer is known by: ".MIF", ".SHP", ".KXF", ".gpkg"
    bool points;               // point layers (node files, landmark points, centroids)
    // Every layer of a county is a table of one file, the county's base
    // name + the main extension.
    bool tables = false;
};
const FormatTraits& TraitsOf(OutputFormat format);

// What went wrong with one file of a layer.
struct WriteFailure {
    enum class Kind {
        Create,  // the file could not be created; `detail` holds the reason
        Write,   // a write or the close failed
        Refused, // feature `item` could not be stored (coordinates beyond the format's range)
        RefusedAreas, // `item` areas could not be stored
    };
    Kind kind = Kind::Write;
    std::string path;
    std::string detail;
    int64_t item = 0;
};
using WriteFailures = std::vector<WriteFailure>;

// The columns of a layer.
enum class ColumnType {
    Integer, // whole numbers
    Char,    // text of at most `width` characters (a GeoPackage holds it whole)
    // Coordinates: decimal degrees in MIF, micro-degree integers in DBF; in
    // a GeoPackage, micro-degree integers in the row stored as degrees.
    Degrees,
};
struct Column {
    std::string name;
    ColumnType type = ColumnType::Integer;
    int width = 0; // Char only
};

// The attribute values of one feature, in column order. The row is kept
// in MID syntax as it is built (values separated by "," with texts in
// double quotes, every double quote in them doubled), and each value can be
// read back as itself.
class LayerRow {
public:
    LayerRow& Int(int64_t v);
    // A text, quoted in MID rows.
    LayerRow& Text(std::string_view text);
    // A text written as it is in MID rows (codes, decimal numbers).
    LayerRow& Plain(std::string_view text);
    void Clear()
    {
        values_.clear();
        mid_.clear();
    }

    std::size_t Size() const { return values_.size(); }
    // The row in MID syntax.
    const std::string& Mid() const { return mid_; }
    // Value i as itself (a number in decimal, a text without its quotes);
    // `scratch` holds it when it has to be rebuilt.
    std::string_view ValueAt(std::size_t i, std::string& scratch) const;

private:
    void Separate()
    {
        if (!values_.empty()) mid_.push_back(',');
    }
    struct Value {
        uint32_t offset;
        uint32_t length;
        bool doubledQuotes; // a text holding double quotes, doubled in mid_
    };
    std::vector<Value> values_;
    std::string mid_;
};

enum class LayerGeometry { Point, Line, Area };

class GeoPackage;

// A layer that is a table of a file holding several (a GeoPackage).
struct TableTarget {
    GeoPackage* file = nullptr; // the county's, which outlives its tables
    std::string name;           // the layer's suffix or area name
};

struct LayerDefinition {
    OutputFormat format = OutputFormat::Mif;
    LayerGeometry geometry = LayerGeometry::Line;
    std::string basePath; // directory + name, without extension
    std::vector<Column> columns;
    // MIF: coordinates as projected metres when active, degrees otherwise.
    Projection projection;
    // MIF: a blank line closes the column block (the line layers' layout).
    bool blankLineAfterColumns = false;
    // MIF: the brush of every region.
    int brushColour = 0;
    // KXF: the class code of every area record (0..127).
    int kxfAreaClass = 0;
    // KXF: the box of the header; without one, the box of the records written.
    std::optional<AreaBox> kxfHeaderBox;
    // GeoPackage: the file and the table.
    TableTarget table;
};

// How one line is drawn.
struct LineStyle {
    int penWidth = 1;
    int penColour = 0;
    int kxfClass = 0; // the KXF record class code
};

class LayerWriter {
public:
    virtual ~LayerWriter() = default;

    // Each writes one feature with its row; false when the format cannot
    // hold it (nothing of it is written).
    virtual bool WritePoint(GeoPoint p, const LayerRow& row) = 0;
    virtual bool WriteLine(std::span<const GeoPoint> points, const LineStyle& style, const LayerRow& row) = 0;
    // The rings lie one after another in `points`, their sizes in `ringSizes`.
    virtual bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes,
                           const LayerRow& row) = 0;

    // Completes and closes every file of the layer and puts them in place;
    // the files that could not be written, in the order of the layer's
    // files. When one failed, none of them is left.
    virtual WriteFailures Close() = 0;
    // Closes the layer without putting its files in place (a stopped run).
    virtual void Discard() = 0;
    // The file the layer is known by (its main file).
    virtual const std::string& MainPath() const = 0;
    // False for a table of a file that holds several layers: the file is
    // listed once, not with each of its tables.
    virtual bool OwnFile() const { return true; }
};

// Creates the files of a layer. Null, with the failure in `failures`, when
// one of them cannot be created (or the format holds no such layer).
std::unique_ptr<LayerWriter> OpenLayerWriter(const LayerDefinition& definition, WriteFailures& failures);

// The name a file is written under before it is complete: a hidden name
// in its directory, unique in the process.
std::string TemporaryPathFor(const std::string& path);

// The coordinate-system line of a MIF file: geographic, or the Lambert
// projection when it is active.
std::string MifCoordSysLine(const Projection& projection);

// The one sphere a MIF file can declare (its ellipsoid 12), in metres.
// Projected MIF files are written on it whatever the Lambert radius.
constexpr double kMifSphereRadius = 6370997.0;
// The text of a coordinate pair in a MIF file: six-decimal degrees, or,
// when the projection is active, metres of the Lambert projection on the
// MIF sphere of the point that the declared datum puts there.
std::string MifCoordinatePair(const Projection& projection, GeoPoint point);

} // namespace zalor
