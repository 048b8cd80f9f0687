// GeoPackage output: one file per county (TGRssccc.gpkg) holding every
// layer of the county as a table, written through GDAL.
//
// The county's GeoPackage is written under a temporary name beside its
// final one (a copy of the existing file, when there is one, so that the
// tables this run does not write stay) and renamed into place when the
// county is done. The whole file is one transaction, each table with
// its spatial index. A table that cannot be written (or a stop) fails the
// file: it is not put in place, and the file that was there stays as it was.
#pragma once

#include "formats/layer_writer.h"

#include <memory>
#include <string>
#include <string_view>

namespace zalor {

// The county's GeoPackage, as the driver and the layers see it. GDAL, which
// writes it, is loaded only when a GeoPackage is made: a program run that
// writes none does not pay its start-up (a tenth of a second and some 30 MB).
class GeoPackage {
public:
    virtual ~GeoPackage() = default; // a file that was not put in place is removed

    // The file's final name.
    virtual const std::string& Path() const = 0;
    // How a table of the file is named in the log: "DIR/TGRssccc.gpkg:A".
    virtual std::string TablePath(std::string_view table) const = 0;
    // Whether the file as it was before this run holds the table (names
    // compare without regard to case, as in SQL).
    virtual bool HasTable(std::string_view table) const = 0;
    // Whether a table was begun.
    virtual bool Begun() const = 0;
    // Once every table has ended: waits for the tables' rows, completes the
    // file and renames it into place. False when it is not kept (nothing is
    // left of it): a table was not written, or completing the file failed.
    // `failures` gets those that no table's Close() returned.
    virtual bool Commit(WriteFailures& failures) = 0;
    // Removes what was written.
    virtual void Discard() = 0;
    // A layer as a table of this GeoPackage (`definition.table.file` is this).
    virtual std::unique_ptr<LayerWriter> OpenTable(const LayerDefinition& definition, WriteFailures& failures) = 0;
};

// Makes the GeoPackage of a county whose final name is `path` (the tables
// of one already there are read now). Null, with the reason in `error`,
// when the GeoPackage writer cannot be loaded.
std::shared_ptr<GeoPackage> MakeGeoPackage(const std::string& path, std::string& error);

} // namespace zalor
