#include "formats/gpkg/gpkg.h"
#include "formats/gpkg/writer/blob.h"
#include "formats/gpkg/writer/quiet_gdal.h"
#include "formats/gpkg/writer/row_batch.h"
#include "formats/gpkg/writer/rtree.h"
#include "formats/gpkg/writer/sqlite_statement.h"
#include "formats/staged.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>


namespace zalor {

class GdalGeoPackage final : public LayerContainer {
public:
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

private:
    friend class GpkgTable;
    friend class TableWriter;
    using Batch = RowBatch;
    struct Table;

    void Enqueue(const std::shared_ptr<Table>& table);
    // The writer thread.
    void Run();
    // Whether a table failed or was given up (the reason for the others in
    // `error`), or the file is being given up.
    bool Failed(std::string& error) const;
    bool Discarding() const;
    // Gives a written batch back for new rows.
    void Recycle(Batch&& batch);
    // The file's transaction, begun with its first table and ended (committed
    // when every table was written) when the thread ends.
    bool BeginFile(std::string& error);
    void EndFile();
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
    std::deque<std::shared_ptr<Table>> queue_; // begun, not yet written
    std::vector<std::shared_ptr<Table>> tables_; // every table begun, in order
    std::thread thread_;
    bool begun_ = false;
    bool finishing_ = false;
    bool discarding_ = false;
    bool failed_ = false;
    uint64_t handed_ = 0;        // batches handed over, numbering them
    std::string commitFailure_;  // why the file's transaction was not committed
    std::string failedBecause_;  // what the tables after a failed one are told (none after a stop)
    std::vector<Batch> spares_;  // written, emptied, for new rows

    // The writer thread's, and once it has ended, the committing thread's.
    std::string temp_;
    GDALDataset* dataset_ = nullptr;
    bool transaction_ = false;
    std::unique_ptr<OGRSpatialReference> geographic_;
    std::unique_ptr<OGRSpatialReference> projected_;
    Projection projectedFor_;
};



// --- the county's file ----------------------------------------------------------

// One table, shared by its layer and the writer thread (under the file's mutex).
struct GdalGeoPackage::Table {
    std::string name;
    LayerGeometry geometry = LayerGeometry::Line;
    std::vector<Column> columns;
    Projection projection;

    std::deque<Batch> batches; // handed over, not written yet
    bool closed = false;       // every row was handed over
    bool discarded = false;    // the layer was given up (a stop)
    bool done = false;         // the writer thread is through with it
    std::string failure;       // why it was not written
    bool reported = false;     // the failure was given to the layer
    // The spatial index, packed by the layer once its rows are all handed
    // over (the writer thread has enough to do), for nodes of this size.
    PackedRTree tree;
    int treeNodeSize = 0;
    std::vector<RTreeBox> boxes; // of features 1, 2, ..., handed over with the tree
};

// The writer thread's side of one table: the table made in a transaction,
// its rows, its spatial index and the commit.
class TableWriter {
public:
    TableWriter(GdalGeoPackage& file, const GdalGeoPackage::Table& table) : file_(file), table_(table) {}
    ~TableWriter()
    {
        insert_.reset();
        insertMany_.reset();
    }

    bool Begin(std::string& error);
    bool Write(GdalGeoPackage::Batch& batch);
    bool Finish();

private:
    bool WriteIndex();

    GdalGeoPackage& file_;
    const GdalGeoPackage::Table& table_;
    OGRLayer* layer_ = nullptr;
    // GDAL makes the table, its columns and its metadata; the rows go in
    // through one prepared statement on its SQLite connection, as the
    // blobs are made on the layers' threads (GDAL's own insert, a feature
    // object at a time, took most of this thread's time).
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statement> insert_;     // of one row
    std::unique_ptr<Statement> insertMany_; // of rowsPerInsert_ rows
    int rowsPerInsert_ = 1;
    char srsId_[4] = {};
    std::vector<std::pair<std::string, std::string>> triggers_; // names and texts, dropped while the rows go in
    std::size_t rows_ = 0;                    // written
    Envelope extent_;
};

GdalGeoPackage::GdalGeoPackage(std::string path) : path_(std::move(path))
{
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec)) return;
    RegisterGdal();
    QuietGdal quiet;
    const char* const drivers[] = {"GPKG", nullptr};
    GDALDataset* ds = GDALDataset::Open(path_.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers);
    if (!ds) return; // not a GeoPackage: it is replaced whole
    existingIsGeoPackage_ = true;
    for (int i = 0; i < ds->GetLayerCount(); ++i) existing_.insert(Upper(ds->GetLayer(i)->GetName()));
    GDALClose(ds);
}

GdalGeoPackage::~GdalGeoPackage() { Discard(); }

std::string GdalGeoPackage::TablePath(std::string_view table) const { return path_ + ":" + std::string(table); }

bool GdalGeoPackage::HasTable(std::string_view table) const { return existing_.count(Upper(table)) != 0; }

bool GdalGeoPackage::Begun() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return begun_;
}

void GdalGeoPackage::Enqueue(const std::shared_ptr<Table>& table)
{
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(table);
    tables_.push_back(table);
    begun_ = true;
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    changed_.notify_all();
}

void GdalGeoPackage::Run()
{
    QuietGdal quiet;
    // The tables being written, each by its writer. The rows of every
    // table go in as they come, in the order they were handed over, so
    // that no layer waits while the thread waits on a slower layer's next
    // rows; the whole file is one transaction.
    std::map<const Table*, std::unique_ptr<TableWriter>> writers;
    auto ending = [&](const Table& t) { return t.discarded || discarding_ || (t.closed && t.batches.empty()); };
    for (;;) {
        std::shared_ptr<Table> table;
        Batch batch;
        bool end = false, discarded = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            auto pick = [&] {
                auto found = queue_.end();
                for (auto t = queue_.begin(); t != queue_.end(); ++t) {
                    if (ending(**t)) return t;
                    if (!(*t)->batches.empty() &&
                        (found == queue_.end() || (*t)->batches.front().number < (*found)->batches.front().number))
                        found = t;
                }
                return found;
            };
            auto it = queue_.end();
            changed_.wait(lock, [&] { return (it = pick()) != queue_.end() || (finishing_ && queue_.empty()); });
            if (it == queue_.end()) break;
            table = *it;
            end = ending(*table);
            discarded = table->discarded || discarding_;
            if (end) {
                queue_.erase(it);
            } else {
                batch = std::move(table->batches.front());
                table->batches.pop_front();
                changed_.notify_all();
            }
        }
        std::unique_ptr<TableWriter>& writer = writers[table.get()];
        std::string error;
        const bool given = Failed(error); // the file failed before
        bool ok = !discarded && !given;
        if (ok && !writer) {
            writer = std::make_unique<TableWriter>(*this, *table);
            ok = Open(error) && BeginFile(error) && writer->Begin(error);
        }
        if (ok && !end && !writer->Write(batch)) {
            ok = false;
            error = QuietGdal::Message();
        }
        if (!end) Recycle(std::move(batch));
        if (ok && end && !writer->Finish()) {
            ok = false;
            error = QuietGdal::Message();
        }
        if (!ok) {
            std::lock_guard<std::mutex> lock(mutex_);
            failed_ = true; // a file with a table missing is not kept
            if (!discarded && !given) {
                table->failure = error.empty() ? "unknown GDAL error" : error;
                failedBecause_ = "not written, as another table of the file was not";
            } else if (!discarded && table->failure.empty()) {
                table->failure = error; // none when a stop gave the file up
            }
        }
        if (!end) continue;
        writers.erase(table.get());
        std::lock_guard<std::mutex> lock(mutex_);
        table->tree = {};
        table->boxes = {};
        table->batches.clear();
        table->done = true;
        changed_.notify_all();
    }
    writers.clear();
    EndFile();
    // PROJ objects go with the thread that made them.
    geographic_.reset();
    projected_.reset();
}

void GdalGeoPackage::Recycle(Batch&& batch)
{
    // Written batches go back to the layers, grown as they are: a fresh
    // one is memory the system has to clear and the batch regrows by
    // copies (an eighth of the layers' side of the rows). Few are kept,
    // and none that one huge area made huge.
    constexpr std::size_t kSpares = 4, kLargest = 4 << 20;
    if (batch.blobs.capacity() > kLargest || batch.text.capacity() > kLargest) return;
    batch.Clear();
    std::lock_guard<std::mutex> lock(mutex_);
    if (spares_.size() < kSpares) spares_.push_back(std::move(batch));
}

bool GdalGeoPackage::Failed(std::string& error) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_) error = failedBecause_;
    return failed_;
}

bool GdalGeoPackage::Discarding() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return discarding_;
}

bool GdalGeoPackage::BeginFile(std::string& error)
{
    if (transaction_) return true;
    CPLErrorReset();
    if (dataset_->StartTransaction() != OGRERR_NONE) {
        error = QuietGdal::Message();
        return false;
    }
    transaction_ = true;
    return true;
}

void GdalGeoPackage::EndFile()
{
    if (!transaction_) return;
    transaction_ = false;
    std::string error;
    if (Failed(error) || Discarding()) {
        dataset_->RollbackTransaction();
        return;
    }
    CPLErrorReset();
    if (dataset_->CommitTransaction() == OGRERR_NONE) return;
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    commitFailure_ = QuietGdal::Message();
    if (commitFailure_.empty()) commitFailure_ = "unknown GDAL error";
}

bool GdalGeoPackage::Open(std::string& error)
{
    if (dataset_) return true;
    RegisterGdal();
    temp_ = TemporaryPathFor(path_);
    std::error_code ec;
    if (existingIsGeoPackage_ && !std::filesystem::copy_file(path_, temp_, ec)) {
        error = path_ + ": " + ec.message();
        temp_.clear();
        return false;
    }
    // The file is not in place before it is complete, and one that fails
    // is removed, never rolled back: it needs no journal and no syncs. (A
    // journal in memory held every page of the tables an update replaces:
    // a second run into the same file took 950 MB.)
    CPLSetThreadLocalConfigOption("OGR_SQLITE_JOURNAL", "OFF");
    CPLSetThreadLocalConfigOption("OGR_SQLITE_SYNCHRONOUS", "OFF");
    // Pages of 32 KiB: SQLite writes a page at a time, and writes of 4 KiB
    // (its default) cost the system about five times as much per byte
    // (every-layer county: 5.5 s -> 4.3 s, the file 3 % smaller).
    CPLSetThreadLocalConfigOption("OGR_SQLITE_PRAGMA", "page_size=32768");
    CPLErrorReset();
    if (existingIsGeoPackage_) {
        const char* const drivers[] = {"GPKG", nullptr};
        dataset_ = GDALDataset::Open(temp_.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers);
    } else if (GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG")) {
        dataset_ = driver->Create(temp_.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    }
    CPLSetThreadLocalConfigOption("OGR_SQLITE_JOURNAL", nullptr);
    CPLSetThreadLocalConfigOption("OGR_SQLITE_SYNCHRONOUS", nullptr);
    CPLSetThreadLocalConfigOption("OGR_SQLITE_PRAGMA", nullptr);
    if (!dataset_) {
        error = path_ + ": " + QuietGdal::Message();
        RemoveTemporary();
        return false;
    }
    return true;
}

OGRSpatialReference& GdalGeoPackage::SpatialReference(const Projection& p)
{
    if (!p.active) {
        if (!geographic_) {
            geographic_ = std::make_unique<OGRSpatialReference>();
            geographic_->importFromEPSG(4269); // NAD83
            geographic_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
        return *geographic_;
    }
    if (!projected_ || projectedFor_.R != p.R || projectedFor_.lam0 != p.lam0 || projectedFor_.phi0 != p.phi0) {
        // The Lambert Azimuthal Equal Area projection of the sphere of the
        // Lambert parameters, whose longitudes and latitudes are NAD83's
        // taken as they are (the projection is computed from them).
        const double lon0 = p.lam0 / 0.01745329252, lat0 = p.phi0 / 0.01745329252;
        char name[160];
        std::snprintf(name, sizeof name, "Lambert Azimuthal Equal Area, sphere of %.10g m, centre %.10g, %.10g", p.R,
                      lon0, lat0);
        projected_ = std::make_unique<OGRSpatialReference>();
        projected_->SetProjCS(name);
        projected_->SetGeogCS("NAD83 on a sphere", "Sphere", "Sphere", p.R, 0.0);
        projected_->SetLAEA(lat0, lon0, 0.0, 0.0);
        projected_->SetLinearUnits(SRS_UL_METER, 1.0);
        projected_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        projectedFor_ = p;
    }
    return *projected_;
}

void GdalGeoPackage::Finish(bool discard)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
        discarding_ = discarding_ || discard;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

void GdalGeoPackage::RemoveTemporary()
{
    if (temp_.empty()) return;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::remove((temp_ + suffix).c_str());
    temp_.clear();
}

bool GdalGeoPackage::Commit(WriteFailures& failures)
{
    Finish(false);
    for (const auto& table : tables_)
        if (!table->failure.empty() && !table->reported)
            failures.push_back({WriteFailure::Kind::Write, TablePath(table->name), table->failure, 0});
    if (!commitFailure_.empty()) failures.push_back({WriteFailure::Kind::Write, path_, commitFailure_, 0});
    if (!dataset_) return !failed_;
    bool kept = !failed_;
    {
        QuietGdal quiet;
        GDALClose(dataset_);
        dataset_ = nullptr;
        if (kept && QuietGdal::Failed()) {
            failures.push_back({WriteFailure::Kind::Write, path_, QuietGdal::Message(), 0});
            kept = false;
        }
    }
    if (kept && std::rename(temp_.c_str(), path_.c_str()) != 0) {
        failures.push_back({WriteFailure::Kind::Write, path_, std::strerror(errno), 0});
        kept = false;
    }
    if (kept) temp_.clear();
    else RemoveTemporary();
    failed_ = failed_ || !kept;
    return kept;
}

void GdalGeoPackage::Discard()
{
    Finish(true);
    if (dataset_) {
        QuietGdal quiet;
        GDALClose(dataset_);
        dataset_ = nullptr;
    }
    RemoveTemporary();
}

// --- one table --------------------------------------------------------------------

bool TableWriter::Begin(std::string& error)
{
    GDALDataset& ds = *file_.dataset_;
    const std::string& name = table_.name;
    auto fail = [&] {
        error = QuietGdal::Message();
        return false;
    };
    CPLErrorReset();
    // A table of the same name in the file that was there is replaced.
    for (int i = 0; i < ds.GetLayerCount(); ++i)
        if (Upper(ds.GetLayer(i)->GetName()) == Upper(name)) {
            if (ds.DeleteLayer(i) != OGRERR_NONE) return fail();
            break;
        }
    OGRwkbGeometryType type = wkbLineString;
    if (table_.geometry == LayerGeometry::Point) type = wkbPoint;
    if (table_.geometry == LayerGeometry::Area) type = wkbMultiPolygon;
    const char* const options[] = {"GEOMETRY_NAME=geom", "FID=fid", "SPATIAL_INDEX=NO", nullptr};
    layer_ = ds.CreateLayer(name.c_str(), &file_.SpatialReference(table_.projection), type,
                            const_cast<char**>(options));
    if (!layer_) return fail();
    for (const Column& c : table_.columns) {
        OGRFieldType t = OFTString; // no width: texts are whole
        if (c.type == ColumnType::Integer) t = OFTInteger;
        if (c.type == ColumnType::Degrees) t = OFTReal;
        OGRFieldDefn field(c.name.c_str(), t);
        if (layer_->CreateField(&field) != OGRERR_NONE) return fail();
    }
    // The spatial index is made on the empty table. Its triggers and
    // GDAL's feature count triggers (an update of the count for every
    // row) are kept aside while the rows go in; the index is then filled
    // in one pass, and the count set once.
    const std::string rtree = "rtree_" + name + "_geom_";
    if (!Execute(ds, "SELECT CreateSpatialIndex(" + Literal(name) + ", 'geom')")) return fail();
    bool indexed = false;
    for (auto& trigger :
         Query(ds, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = " + Literal(name))) {
        indexed = indexed || trigger[0].compare(0, rtree.size(), rtree) == 0;
        if (!Execute(ds, "DROP TRIGGER " + Identifier(trigger[0]))) return fail();
        triggers_.emplace_back(std::move(trigger[0]), std::move(trigger[1]));
    }
    if (!indexed) {
        CPLError(CE_Failure, CPLE_AppDefined, "the spatial index of %s has no triggers", name.c_str());
        return fail();
    }
    db_ = static_cast<sqlite3*>(ds.GetInternalHandle("SQLITE_HANDLE"));
    if (!db_) {
        CPLError(CE_Failure, CPLE_AppDefined, "no SQLite connection for %s", name.c_str());
        return fail();
    }
    {
        Statement srs(db_, "SELECT srs_id FROM gpkg_geometry_columns WHERE lower(table_name) = lower(" +
                               Literal(name) + ")");
        if (!srs.Step(SQLITE_ROW)) {
            if (!QuietGdal::Failed())
                CPLError(CE_Failure, CPLE_AppDefined, "%s has no coordinate system", name.c_str());
            return fail();
        }
        uint32_t id = static_cast<uint32_t>(sqlite3_column_int(srs.get(), 0));
        for (char& c : srsId_) {
            c = static_cast<char>(id & 0xFF);
            id >>= 8;
        }
    }
    OGRFeatureDefn* defn = layer_->GetLayerDefn();
    if (defn->GetFieldCount() != static_cast<int>(table_.columns.size())) {
        CPLError(CE_Failure, CPLE_AppDefined, "%s: the columns were not made", name.c_str());
        return fail();
    }
    // Rows go in many to a statement where they can: each statement has
    // its own cost (the table's AUTOINCREMENT bookkeeping among it), a row
    // little more. SQLite numbers the rows 1, 2, ... of the new table
    // itself: appended so, a row needs no search for its place.
    const int values = defn->GetFieldCount() + 1;
    std::string head = "INSERT INTO " + Identifier(name) + " (\"geom\"";
    for (int k = 0; k < defn->GetFieldCount(); ++k) head += ", " + Identifier(defn->GetFieldDefn(k)->GetNameRef());
    head += ") VALUES ";
    std::string row = "(?";
    for (int k = 1; k < values; ++k) row += ", ?";
    row += ")";
    rowsPerInsert_ = std::clamp(sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1) / values, 1, 64);
    std::string many = head + row;
    for (int r = 1; r < rowsPerInsert_; ++r) many += ", " + row;
    CPLErrorReset();
    insert_ = std::make_unique<Statement>(db_, head + row);
    insertMany_ = std::make_unique<Statement>(db_, many);
    return !QuietGdal::Failed() || fail();
}

bool TableWriter::Write(GdalGeoPackage::Batch& batch)
{
    using Kind = GdalGeoPackage::Batch::Value::Kind;
    const std::size_t columns = table_.columns.size();
    const std::size_t rows = static_cast<std::size_t>(rowsPerInsert_);
    std::size_t f = 0;
    while (f < batch.Features()) {
        Statement& insert = batch.Features() - f >= rows ? *insertMany_ : *insert_;
        const std::size_t last = f + (&insert == insertMany_.get() ? rows : 1);
        sqlite3_stmt* st = insert.get();
        int at = 1;
        for (; f < last; ++f) {
            ++rows_;
            const std::size_t begin = f == 0 ? 0 : batch.blobEnds[f - 1];
            std::memcpy(batch.blobs.data() + begin + kSrsIdAt, srsId_, sizeof srsId_);
            // A blob over SQLite's limit fails the statement ("string or
            // blob too big"), and so the table.
            sqlite3_bind_blob64(st, at++, batch.blobs.data() + begin,
                                static_cast<sqlite3_uint64>(batch.blobEnds[f] - begin), SQLITE_STATIC);
            for (std::size_t k = 0; k < columns; ++k, ++at) {
                const auto& v = batch.values[f * columns + k];
                switch (v.kind) {
                case Kind::Null: sqlite3_bind_null(st, at); break;
                case Kind::Integer: sqlite3_bind_int64(st, at, v.integer); break;
                case Kind::Real: sqlite3_bind_double(st, at, v.real); break;
                case Kind::Text:
                    sqlite3_bind_text(st, at, batch.text.data() + v.text.begin,
                                      static_cast<int>(v.text.end - v.text.begin),
                                      SQLITE_STATIC);
                    break;
                }
            }
        }
        CPLErrorReset();
        if (!insert.Step(SQLITE_DONE)) return false;
    }
    extent_.Widen(batch.extent.minX, batch.extent.minY);
    extent_.Widen(batch.extent.maxX, batch.extent.maxY);
    return true;
}

bool TableWriter::WriteIndex()
{
    GDALDataset& ds = *file_.dataset_;
    const std::string rtree = "rtree_" + table_.name + "_geom";
    if (rows_ > 0) {
        // GDAL 3.6 fills an index one row at a time through SQLite's R-tree
        // (slower than writing the table); its nodes are written here at
        // once, in the connection and the transaction of the dataset.
        auto* db = static_cast<sqlite3*>(ds.GetInternalHandle("SQLITE_HANDLE"));
        if (!db) {
            CPLError(CE_Failure, CPLE_AppDefined, "no SQLite connection for the spatial index of %s", table_.name.c_str());
            return false;
        }
        Statement size(db, "SELECT length(data) FROM " + Identifier(rtree + "_node") + " WHERE nodeno = 1");
        if (!size.Step(SQLITE_ROW)) return false; // the node size is the one its empty root was made with
        const int nodeSize = sqlite3_column_int(size.get(), 0);
        if (nodeSize < 4 + 2 * 24 || nodeSize > 65536) { // SQLite makes 448 to 1,228 bytes
            CPLError(CE_Failure, CPLE_AppDefined, "the spatial index of %s has nodes of %d bytes", table_.name.c_str(),
                     nodeSize);
            return false;
        }
        PackedRTree own;
        const PackedRTree* packed = &table_.tree;
        if (table_.boxes.size() != rows_) {
            CPLError(CE_Failure, CPLE_AppDefined, "%s: %zu rows but %zu boxes", table_.name.c_str(), rows_,
                     table_.boxes.size());
            return false;
        }
        if (table_.treeNodeSize != nodeSize || table_.tree.leafOfFeature.size() != rows_) {
            own = PackRTree(table_.boxes, nodeSize); // the file has nodes of another size
            packed = &own;
        }
        const PackedRTree& tree = *packed;
        Statement clear(db, "DELETE FROM " + Identifier(rtree + "_node"));
        if (!clear.Step(SQLITE_DONE)) return false;
        Statement node(db, "INSERT INTO " + Identifier(rtree + "_node") + " VALUES (?, ?)");
        for (std::size_t i = 0; i * tree.nodeSize < tree.nodes.size(); ++i) {
            sqlite3_bind_int64(node.get(), 1, static_cast<sqlite3_int64>(i + 1));
            sqlite3_bind_blob(node.get(), 2, tree.nodes.data() + i * tree.nodeSize, static_cast<int>(tree.nodeSize),
                              SQLITE_STATIC);
            if (!node.Step(SQLITE_DONE)) return false;
        }
        if (!InsertNumbered(db, rtree + "_rowid", 1, tree.leafOfFeature)) return false;
        if (!InsertNumbered(db, rtree + "_parent", 2, tree.parentOfNode)) return false;
    }
    for (const auto& [trigger, sql] : triggers_) {
        // GDAL may have made its own again when the table was synced.
        Statement there(db_, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = " + Literal(trigger));
        if (!there.get()) return false;
        if (sqlite3_step(there.get()) == SQLITE_ROW) continue;
        if (!Execute(ds, sql)) return false;
    }
    return true;
}

bool TableWriter::Finish()
{
    insert_.reset();
    insertMany_.reset();
    CPLErrorReset();
    if (layer_->SyncToDisk() != OGRERR_NONE || QuietGdal::Failed()) return false;
    {
        // The index refers to features by their numbers 1, 2, ..., n.
        Statement last(db_, "SELECT max(\"fid\") FROM " + Identifier(table_.name));
        if (!last.Step(SQLITE_ROW)) return false;
        if (sqlite3_column_int64(last.get(), 0) != static_cast<sqlite3_int64>(rows_)) {
            CPLError(CE_Failure, CPLE_AppDefined, "the rows of %s were not numbered 1 to %zu", table_.name.c_str(),
                     rows_);
            return false;
        }
    }
    // GDAL has not seen the rows: their count and extent are put in here.
    const std::string name = Literal(table_.name);
    bool counted = false; // a file made elsewhere may keep no counts
    {
        Statement counts(db_, "SELECT 1 FROM sqlite_master WHERE name = 'gpkg_ogr_contents'");
        counted = counts.get() && sqlite3_step(counts.get()) == SQLITE_ROW;
    }
    if (counted && !Execute(*file_.dataset_, "UPDATE gpkg_ogr_contents SET feature_count = " +
                                                 std::to_string(rows_) + " WHERE lower(table_name) = lower(" +
                                                 name + ")"))
        return false;
    if (rows_ > 0) {
        char extent[200];
        std::snprintf(extent, sizeof extent, "min_x = %.17g, min_y = %.17g, max_x = %.17g, max_y = %.17g",
                      extent_.minX, extent_.minY, extent_.maxX, extent_.maxY);
        if (!Execute(*file_.dataset_, std::string("UPDATE gpkg_contents SET ") + extent +
                                          " WHERE lower(table_name) = lower(" + name + ")"))
            return false;
    }
    return WriteIndex();
}

// The layer's side: its rows are gathered into batches and handed to the
// writer thread.
class GpkgTable final : public LayerWriter {
public:
    GpkgTable(const LayerDefinition& def, GdalGeoPackage& file)
        : file_(file), table_(std::make_shared<GdalGeoPackage::Table>()), mainPath_(file.TablePath(def.name))
    {
        table_->name = def.name;
        table_->geometry = def.geometry;
        table_->columns = def.columns;
        table_->projection = def.projection;
        file_.Enqueue(table_);
    }
    ~GpkgTable() override
    {
        if (!ended_) Discard();
    }

    bool WritePoint(GeoPoint p, const Row& row) override
    {
        Add(std::span<const GeoPoint>(&p, 1), {}, row);
        return true;
    }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view, const Row& row) override
    {
        Add(points, {}, row);
        return true;
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        Add(points, ringSizes, row);
        return true;
    }
    // The layer does not wait for its rows to be written: the county's
    // next layers are made meanwhile (the writer thread has the table's
    // index to make, a fifth of its time on large tables). A failure not
    // known yet is reported when the file is committed.
    WriteFailures Close() override
    {
        Hand();
        PackedRTree tree = PackRTree(boxes_, kNodeSize);
        std::lock_guard<std::mutex> lock(file_.mutex_);
        table_->tree = std::move(tree);
        table_->boxes = std::move(boxes_); // for a file whose nodes are of another size
        table_->treeNodeSize = kNodeSize;
        table_->closed = true;
        file_.changed_.notify_all();
        ended_ = true;
        if (table_->failure.empty()) return {};
        table_->reported = true;
        return {{WriteFailure::Kind::Write, mainPath_, table_->failure, 0}};
    }
    void Discard() override
    {
        std::lock_guard<std::mutex> lock(file_.mutex_);
        table_->discarded = true;
        file_.changed_.notify_all();
        ended_ = true;
    }
    const std::string& MainPath() const override { return mainPath_; }
    bool OwnFile() const override { return false; }

private:
    // A batch goes when it is this large; a table waiting for its turn
    // holds at most so many.
    static constexpr std::size_t kBatchFeatures = 1024;
    static constexpr std::size_t kBatchPoints = 1 << 16;
    static constexpr std::size_t kWaitingBatches = 8;
    // SQLite's R-tree node of two dimensions on pages of 1292 bytes or
    // more: a 4-byte header and 51 cells (its most) of 24 bytes.
    static constexpr int kNodeSize = 4 + 51 * 24;

    void Add(std::span<const GeoPoint> points, std::span<const int32_t> rings, const Row& row)
    {
        GdalGeoPackage::Batch& b = batch_;
        Envelope box;
        AppendGeometryBlob(table_->geometry, table_->projection, points, rings, box, b.blobs);
        b.blobEnds.push_back(b.blobs.size());
        boxes_.push_back(box.Rounded());
        b.extent.Widen(box.minX, box.minY);
        b.extent.Widen(box.maxX, box.maxY);
        b.coordinates += points.size();
        AppendValues(row, table_->columns, b);
        if (b.Features() >= kBatchFeatures || b.coordinates >= kBatchPoints) Hand();
    }
    void Hand()
    {
        if (batch_.Features() == 0) return;
        std::unique_lock<std::mutex> lock(file_.mutex_);
        file_.changed_.wait(lock, [&] { return table_->batches.size() < kWaitingBatches || table_->done; });
        batch_.number = file_.handed_++;
        if (!table_->done) table_->batches.push_back(std::move(batch_));
        file_.changed_.notify_all();
        if (file_.spares_.empty()) {
            batch_ = GdalGeoPackage::Batch();
        } else {
            batch_ = std::move(file_.spares_.back());
            file_.spares_.pop_back();
        }
    }

    GdalGeoPackage& file_;
    std::shared_ptr<GdalGeoPackage::Table> table_;
    const std::string mainPath_;
    GdalGeoPackage::Batch batch_;
    std::vector<RTreeBox> boxes_; // of every feature, for the index
    bool ended_ = false;
};

std::unique_ptr<LayerWriter> GdalGeoPackage::OpenTable(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<GpkgTable>(def, *this);
}

} // namespace zalor

// The entry point of the GeoPackage writer module (MakeGeoPackage loads it).
extern "C" __attribute__((visibility("default"))) zalor::LayerContainer* ZalorMakeGeoPackage(const char* path)
{
    try {
        return new zalor::GdalGeoPackage(path);
    } catch (...) {
        return nullptr;
    }
}
