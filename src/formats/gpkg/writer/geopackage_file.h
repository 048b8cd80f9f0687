// The county's GeoPackage and its writer thread. The tables' layers hand
// their rows over in batches; one thread, the only one that uses the GDAL
// dataset (which is not to be used from two threads at once), writes them
// while the layers' own work goes on. The whole file is one transaction,
// written under a temporary name and renamed into place by Commit.
#pragma once

#include "formats/gpkg/writer/row_batch.h"
#include "formats/gpkg/writer/rtree.h"
#include "formats/gpkg/writer/spatial_reference.h"
#include "formats/file_lock.h"
#include "formats/layer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class GDALDataset;

namespace zalor {

class TableWriter;

class GdalGeoPackage final : public LayerContainer {
public:
    // One table, shared by its layer and the writer thread (under the file's mutex).
    struct Table {
        std::string name;
        LayerGeometry geometry = LayerGeometry::Line;
        std::vector<Column> columns;
        Projection projection;

        std::deque<RowBatch> batches; // handed over, not written yet
        bool closed = false;          // every row was handed over
        bool discarded = false;       // the layer was given up (a stop)
        bool done = false;            // the writer thread is through with it
        std::string failure;          // why it was not written
        bool reported = false;        // the failure was given to the layer
        // The spatial index, packed by the layer once its rows are all handed
        // over (the writer thread has enough to do), for nodes of this size.
        PackedRTree tree;
        int treeNodeSize = 0;
        std::vector<RTreeBox> boxes; // of features 1, 2, ..., handed over with the tree
    };

    // `path` is the file's final name. The tables of a GeoPackage already
    // there are read now.
    explicit GdalGeoPackage(std::string path);
    ~GdalGeoPackage() override; // a file that was not put in place is removed
    GdalGeoPackage(const GdalGeoPackage&) = delete;
    GdalGeoPackage& operator=(const GdalGeoPackage&) = delete;

    const std::string& Path() const override { return path_; }
    // How a table of the file is named in the log: "DIR/TGRssccc.gpkg:A".
    std::string TablePath(std::string_view table) const override;
    // Whether the file as it was before this run holds the table (names
    // compare without regard to case, as in SQL).
    bool HasTable(std::string_view table) const override;
    std::string Foreign() const override { return foreign_; }

    // Whether a table was begun.
    bool Begun() const override;
    // Once every table has ended: completes the file and renames it into
    // place. False when it is not kept (nothing is left of it): a table
    // was not written (its own failure says so), or completing the file
    // failed (in `failures`).
    bool Commit(WriteFailures& failures) override;
    // Removes what was written.
    void Discard() override;

    std::unique_ptr<LayerWriter> OpenTable(const LayerDefinition& definition, WriteFailures& failures) override;
    void ExpectPoints(std::size_t points) override;

    // The tables' side, from their layers' threads.
    // Begins a table: the writer thread takes its batches from now on.
    void Enqueue(const std::shared_ptr<Table>& table);
    // Hands `batch` over once the table has fewer than `waiting` batches
    // waiting (dropped when the thread is through with the table) and
    // gives the layer an empty one for its next rows.
    void HandOver(Table& table, RowBatch& batch, std::size_t waiting);
    // Every row was handed over: the table's index, packed for nodes of
    // `nodeSize` bytes, goes with them. Returns the table's failure when
    // one is known already (it is then not reported again by Commit).
    std::string CloseTable(Table& table, PackedRTree tree, std::vector<RTreeBox> boxes, int nodeSize);
    // The layer was given up: its table is not written, nor the file.
    void DiscardTable(Table& table);

private:
    struct Work;

    // The writer thread.
    void Run();
    // Waits for the next work (a batch, or a table's end); false when
    // there is none left.
    bool NextWork(Work& work);
    // The table the writer thread goes to next (under the mutex): one that
    // ends, else the one whose first batch was handed over first.
    std::deque<std::shared_ptr<Table>>::iterator Pick();
    bool Ending(const Table& table) const;
    // Writes the batch or ends the table, beginning the file and the
    // table first; false with the reason when it failed.
    bool DoWork(Work& work, std::unique_ptr<TableWriter>& writer, std::string& error);
    // A table failed or was given up: the file is not kept.
    void NoteFailure(Table& table, bool discarded, bool given, const std::string& error);
    // The writer thread is through with the table.
    void EndTable(Table& table);
    // Whether a table failed or was given up (the reason for the others in
    // `error`), or the file is being given up.
    bool Failed(std::string& error) const;
    bool Discarding() const;
    // Gives a written batch back for new rows.
    void Recycle(RowBatch&& batch);
    // The file's transaction, begun with its first table and ended (committed
    // when every table was written) when the thread ends.
    bool BeginFile(std::string& error);
    void EndFile();
    // Opens the temporary file; false with the reason when it cannot be made.
    bool Open(std::string& error);
    // Lets the writer thread end (at once when `discard`) and waits for it.
    void Finish(bool discard);
    void RemoveTemporary();

    const std::string path_;
    // Held from reading the file that is there to putting the new one in
    // place: two writers of one county's file add their tables one after
    // the other.
    FileLock lock_;
    std::set<std::string> existing_; // upper-cased names of the tables already there
    bool existingIsGeoPackage_ = false;
    std::string foreign_; // what the file that is there is, when it is no GeoPackage
    std::size_t expectedPoints_ = 0; // the county's, when told

    // The tables' rows are handed to one thread, the only one that uses
    // the GDAL dataset: the layers' own work goes on beside its writing.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Table>> queue_;   // begun, not yet written
    std::vector<std::shared_ptr<Table>> tables_; // every table begun, in order
    std::thread thread_;
    bool begun_ = false;
    bool finishing_ = false;
    bool discarding_ = false;
    bool failed_ = false;
    uint64_t handed_ = 0;         // batches handed over, numbering them
    std::string commitFailure_;   // why the file's transaction was not committed
    std::string failedBecause_;   // what the tables after a failed one are told (none after a stop)
    std::vector<RowBatch> spares_; // written, emptied, for new rows

    // The writer thread's, and once it has ended, the committing thread's.
    std::string temp_;
    GDALDataset* dataset_ = nullptr;
    bool transaction_ = false;
    SpatialReferences references_;
};

} // namespace zalor
