// One output layer: a set of files of one format holding points, lines or
// areas with an attribute row each, or a table of a file that holds every
// layer of a county. Every format writes its layers through these
// interfaces; what the formats are is in formats/format.h.
#pragma once

#include "formats/row.h"
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

enum class LayerGeometry { Point, Line, Area };

class LayerContainer;

struct LayerDefinition {
    LayerGeometry geometry = LayerGeometry::Line;
    std::string basePath; // directory + name, without extension
    std::string name;     // the layer's suffix or area name (a table's name)
    // What the layer holds, by which a format chooses its style: the layer's
    // own name whatever its suffix setting says ("W", "CNTY", "A", ...).
    std::string theme;
    std::vector<Column> columns;
    // Line, node and point coordinates as projected metres when active, in
    // formats that can declare the projection; degrees otherwise.
    Projection projection;
    // The extent of the county the layer is drawn from, when known.
    std::optional<AreaBox> extent;
    // The county's file that holds every layer, in a format that has one.
    LayerContainer* container = nullptr;
};

class LayerWriter {
public:
    virtual ~LayerWriter() = default;

    // Each writes one feature with its row; false when the format cannot
    // hold it (nothing of it is written).
    virtual bool WritePoint(GeoPoint p, const Row& row) = 0;
    // `cfcc` says what the line is (a format may draw it by its class).
    virtual bool WriteLine(std::span<const GeoPoint> points, std::string_view cfcc, const Row& row) = 0;
    // The rings lie one after another in `points`, their sizes in `ringSizes`.
    virtual bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) = 0;

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

// The one file that holds every layer of a county as a table (a
// GeoPackage). It is written under a temporary name and put in place by
// Commit once every table has ended; the tables of a file already there
// that this run does not write stay.
class LayerContainer {
public:
    virtual ~LayerContainer() = default; // a file that was not put in place is removed

    // The file's final name.
    virtual const std::string& Path() const = 0;
    // How a table of the file is named in the log: "DIR/TGRssccc.gpkg:A".
    virtual std::string TablePath(std::string_view table) const = 0;
    // Whether the file as it was before this run holds the table.
    virtual bool HasTable(std::string_view table) const = 0;
    // What the file that is there is, when it is not one this format can
    // add tables to ("not a GeoPackage: ..."); empty when there is none or
    // it can be updated. Such a file is replaced whole by Commit().
    virtual std::string Foreign() const { return {}; }
    // Whether a table was begun.
    virtual bool Begun() const = 0;
    // Once every table has ended: completes the file and renames it into
    // place. False when it is not kept (nothing is left of it); `failures`
    // gets those that no table's Close() returned.
    virtual bool Commit(WriteFailures& failures) = 0;
    // Removes what was written.
    virtual void Discard() = 0;
    // The size of the county whose layers the file is to hold, as the
    // points of its chains (their ends and shape points), told before its
    // first table is begun: the file may lay itself out by it. A file told
    // nothing takes the county for a large one.
    virtual void ExpectPoints(std::size_t points) { (void)points; }
    // A layer as a table of this file (`definition.container` is this).
    virtual std::unique_ptr<LayerWriter> OpenTable(const LayerDefinition& definition, WriteFailures& failures) = 0;
};

} // namespace zalor
