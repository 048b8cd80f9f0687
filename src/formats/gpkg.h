// GeoPackage output: one file per county (TGRssccc.gpkg) holding every
// layer of the county as a table, written through GDAL.
//
// The county's GeoPackage is written under a temporary name beside its
// final one (a copy of the existing file, when there is one, so that the
// tables this run does not write stay) and renamed into place when the
// county is done. Each table is written in one transaction with its
// spatial index. A table that cannot be written (or a stop) fails the
// file: it is not put in place, and the file that was there stays as it was.
#pragma once

#include "formats/layer_writer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

class GDALDataset;
class OGRSpatialReference;

namespace zalor {

class GeoPackage {
public:
    // `path` is the file's final name. The tables of a GeoPackage already
    // there are read now.
    explicit GeoPackage(std::string path);
    ~GeoPackage(); // a file that was not put in place is removed
    GeoPackage(const GeoPackage&) = delete;
    GeoPackage& operator=(const GeoPackage&) = delete;

    const std::string& Path() const { return path_; }
    // How a table of the file is named in the log: "DIR/TGRssccc.gpkg:A".
    std::string TablePath(std::string_view table) const;
    // Whether the file as it was before this run holds the table (names
    // compare without regard to case, as in SQL).
    bool HasTable(std::string_view table) const;

    // Whether a table was begun.
    bool Begun() const;
    // Once every table has ended: completes the file and renames it into
    // place. False when it is not kept (nothing is left of it): a table
    // was not written (its own failure says so), or completing the file
    // failed (in `failures`).
    bool Commit(WriteFailures& failures);
    // Removes what was written.
    void Discard();

private:
    friend class GpkgTable;
    friend class TableWriter;
    struct Batch;
    struct Table;

    void Enqueue(const std::shared_ptr<Table>& table);
    // The writer thread: the tables one at a time, in the order they were begun.
    void Run();
    void WriteTable(Table& table);
    // Opens the temporary file; false with the reason when it cannot be made.
    bool Open(std::string& error);
    OGRSpatialReference& SpatialReference(const Projection& projection);
    // Lets the writer thread end (at once when `discard`) and waits for it.
    void Finish(bool discard);
    void RemoveTemporary();

    const std::string path_;
    std::set<std::string> existing_; // upper-cased names of the tables already there
    bool existingIsGeoPackage_ = false;

    // The tables' rows are handed to one thread, the only one that uses
    // the GDAL dataset (which is not to be used from two threads at once):
    // the layers' own work goes on beside its writing.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Table>> queue_;
    std::thread thread_;
    bool begun_ = false;
    bool finishing_ = false;
    bool discarding_ = false;
    bool failed_ = false;

    // The writer thread's, and once it has ended, the committing thread's.
    std::string temp_;
    GDALDataset* dataset_ = nullptr;
    std::unique_ptr<OGRSpatialReference> geographic_;
    std::unique_ptr<OGRSpatialReference> projected_;
    Projection projectedFor_;
};

// A layer as a table of its definition's GeoPackage. Its rows are written
// beside the caller's work; Close waits for them and says whether they were.
std::unique_ptr<LayerWriter> OpenGeoPackageTable(const LayerDefinition& definition, WriteFailures& failures);

} // namespace zalor
