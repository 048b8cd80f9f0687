#include "formats/gpkg/writer/geopackage_file.h"

#include "formats/gpkg/writer/layer_table.h"
#include "formats/gpkg/writer/quiet_gdal.h"
#include "formats/gpkg/writer/sqlite_statement.h"
#include "formats/gpkg/writer/table_writer.h"
#include "formats/staged.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <map>

namespace zalor {

namespace {

// SQLite opens no file whose absolute path, with "-journal" after it, is
// longer than 512 bytes.
constexpr std::size_t kLongestPath = 512 - 8;

// Why SQLite cannot open `path` for its length; empty when it can.
std::string PathTooLong(const std::string& path)
{
    std::error_code ec;
    const std::size_t length = path.front() == '/' ? path.size() : std::filesystem::absolute(path, ec).native().size();
    if (length <= kLongestPath) return {};
    return "its path is too long for a GeoPackage (" + std::to_string(length) +
           " bytes, with the temporary name it is written under; SQLite takes at most " +
           std::to_string(kLongestPath) + "): choose a shorter output folder";
}

// Copies `from` to the new file `to`; the system's reason when it fails.
std::string CopyFile(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return std::strerror(errno);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return std::strerror(err);
    }
    std::vector<char> buffer(1 << 20);
    int err = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            err = got < 0 ? errno : 0;
            break;
        }
        ssize_t done = 0;
        while (done < got && err == 0) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno != EINTR) err = errno;
            if (put > 0) done += put;
        }
        if (err != 0) break;
    }
    ::close(in);
    if (::close(out) != 0 && err == 0) err = errno;
    return err == 0 ? std::string() : std::strerror(err);
}

// The page size of a new file for a county of that many points (0: not
// known).
int PageSizeFor(std::size_t points)
{
    // Every table takes whole pages, and so do the three tables of its
    // spatial index: a county of every layer makes some 220 of them, most
    // of them small in a small county (the sample county's file: 10 MB in
    // pages of 32 KiB, 4 MB in pages of 4 KiB). But SQLite writes a page at
    // a time, and writes of 4 KiB cost the system several times as much per
    // byte as writes of 32 KiB (the benchmark county of every layer: 5.5 s
    // against 4.3 s). So the pages grow with the county: on generated
    // counties of 3,000 to 100,000 chains these sizes took no more time than
    // pages of 32 KiB, or a few hundredths of a second more, and saved most
    // of what whole pages waste.
    constexpr struct {
        std::size_t below;
        int pageSize;
    } kPages[] = {{100000, 4096}, {400000, 8192}, {1000000, 16384}};
    if (points == 0) return 32768; // not told: a large county
    for (const auto& p : kPages)
        if (points < p.below) return p.pageSize;
    return 32768;
}

} // namespace

// What the writer thread does next: write a batch of a table, or end it.
struct GdalGeoPackage::Work {
    std::shared_ptr<Table> table;
    RowBatch batch;
    bool end = false;       // the table ends (every row written, or given up)
    bool discarded = false; // the table or the file is given up
};

GdalGeoPackage::GdalGeoPackage(std::string path) : path_(std::move(path)), lock_(path_)
{
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec)) return;
    RegisterGdal();
    QuietGdal quiet;
    const char* const drivers[] = {"GPKG", nullptr};
    GDALDataset* ds = GDALDataset::Open(path_.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers);
    if (!ds) {
        // Not a GeoPackage (or a damaged one): replaced whole, if at all.
        const std::string why = QuietGdal::Message();
        foreign_ = "not a GeoPackage that can be read" + (why.empty() ? std::string() : " (" + why + ")");
        return;
    }
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

std::unique_ptr<LayerWriter> GdalGeoPackage::OpenTable(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<GpkgTable>(def, *this);
}

void GdalGeoPackage::ExpectPoints(std::size_t points)
{
    std::lock_guard<std::mutex> lock(mutex_);
    expectedPoints_ = points;
}

// --- the tables' side ---------------------------------------------------------------

void GdalGeoPackage::Enqueue(const std::shared_ptr<Table>& table)
{
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(table);
    tables_.push_back(table);
    begun_ = true;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error& e) {
            // No writer: the table is given up, and the file with it.
            queue_.pop_back();
            table->failure = std::string("cannot start a thread: ") + e.what();
            table->done = true;
            failed_ = true;
        }
    }
    changed_.notify_all();
}

void GdalGeoPackage::HandOver(Table& table, RowBatch& batch, std::size_t waiting)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return table.batches.size() < waiting || table.done; });
    batch.number = handed_++;
    if (!table.done) table.batches.push_back(std::move(batch));
    changed_.notify_all();
    if (spares_.empty()) {
        batch = RowBatch();
    } else {
        batch = std::move(spares_.back());
        spares_.pop_back();
    }
}

std::string GdalGeoPackage::CloseTable(Table& table, PackedRTree tree, std::vector<RTreeBox> boxes, int nodeSize)
{
    std::lock_guard<std::mutex> lock(mutex_);
    table.tree = std::move(tree);
    table.boxes = std::move(boxes); // for a file whose nodes are of another size
    table.treeNodeSize = nodeSize;
    table.closed = true;
    changed_.notify_all();
    if (!table.failure.empty()) table.reported = true;
    return table.failure;
}

void GdalGeoPackage::DiscardTable(Table& table)
{
    std::lock_guard<std::mutex> lock(mutex_);
    table.discarded = true;
    changed_.notify_all();
}

// --- the writer thread --------------------------------------------------------------

void GdalGeoPackage::Run()
{
    QuietGdal quiet;
    // The tables being written, each by its writer. The rows of every
    // table go in as they come, in the order they were handed over, so
    // that no layer waits while the thread waits on a slower layer's next
    // rows; the whole file is one transaction.
    std::map<const Table*, std::unique_ptr<TableWriter>> writers;
    for (;;) {
        Work work;
        if (!NextWork(work)) break;
        std::unique_ptr<TableWriter>& writer = writers[work.table.get()];
        std::string error;
        const bool given = Failed(error); // the file failed before
        const bool ok = !work.discarded && !given && DoWork(work, writer, error);
        if (!work.end) Recycle(std::move(work.batch));
        if (!ok) NoteFailure(*work.table, work.discarded, given, error);
        if (!work.end) continue;
        writers.erase(work.table.get());
        EndTable(*work.table);
    }
    writers.clear();
    EndFile();
    references_.Clear();
}

bool GdalGeoPackage::NextWork(Work& work)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = queue_.end();
    changed_.wait(lock, [&] { return (it = Pick()) != queue_.end() || (finishing_ && queue_.empty()); });
    if (it == queue_.end()) return false;
    work.table = *it;
    work.end = Ending(*work.table);
    work.discarded = work.table->discarded || discarding_;
    if (work.end) {
        queue_.erase(it);
    } else {
        work.batch = std::move(work.table->batches.front());
        work.table->batches.pop_front();
        changed_.notify_all();
    }
    return true;
}

std::deque<std::shared_ptr<GdalGeoPackage::Table>>::iterator GdalGeoPackage::Pick()
{
    auto found = queue_.end();
    for (auto t = queue_.begin(); t != queue_.end(); ++t) {
        if (Ending(**t)) return t;
        if (!(*t)->batches.empty() &&
            (found == queue_.end() || (*t)->batches.front().number < (*found)->batches.front().number))
            found = t;
    }
    return found;
}

bool GdalGeoPackage::Ending(const Table& t) const
{
    return t.discarded || discarding_ || (t.closed && t.batches.empty());
}

bool GdalGeoPackage::DoWork(Work& work, std::unique_ptr<TableWriter>& writer, std::string& error)
{
    if (!writer) {
        if (!Open(error) || !BeginFile(error)) return false;
        writer = std::make_unique<TableWriter>(*dataset_, references_, *work.table);
        if (!writer->Begin(error)) return false;
    }
    if (work.end ? writer->Finish() : writer->Write(work.batch)) return true;
    error = QuietGdal::Message();
    return false;
}

void GdalGeoPackage::NoteFailure(Table& table, bool discarded, bool given, const std::string& error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true; // a file with a table missing is not kept
    if (!discarded && !given) {
        table.failure = error.empty() ? "unknown GDAL error" : error;
        failedBecause_ = "not written, as another table of the file was not";
    } else if (!discarded && table.failure.empty()) {
        table.failure = error; // none when a stop gave the file up
    }
}

void GdalGeoPackage::EndTable(Table& table)
{
    std::lock_guard<std::mutex> lock(mutex_);
    table.tree = {};
    table.boxes = {};
    table.batches.clear();
    table.done = true;
    changed_.notify_all();
}

void GdalGeoPackage::Recycle(RowBatch&& batch)
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
    if (const std::string tooLong = PathTooLong(temp_); !tooLong.empty()) {
        error = path_ + ": " + tooLong;
        temp_.clear();
        return false;
    }
    if (existingIsGeoPackage_) {
        if (const std::string failure = CopyFile(path_, temp_); !failure.empty()) {
            error = path_ + ": " + failure;
            RemoveTemporary(); // the part copied before the disk filled
            return false;
        }
    }
    // The file is not in place before it is complete, and one that fails
    // is removed, never rolled back: it needs no journal and no syncs. (A
    // journal in memory held every page of the tables an update replaces:
    // a second run into the same file took 950 MB.)
    CPLSetThreadLocalConfigOption("OGR_SQLITE_JOURNAL", "OFF");
    CPLSetThreadLocalConfigOption("OGR_SQLITE_SYNCHRONOUS", "OFF");
    std::size_t points = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        points = expectedPoints_;
    }
    const std::string pageSize = "page_size=" + std::to_string(PageSizeFor(points));
    CPLSetThreadLocalConfigOption("OGR_SQLITE_PRAGMA", pageSize.c_str());
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

// --- completing the file ------------------------------------------------------------

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
    if (!dataset_) {
        lock_.Release();
        return !failed_;
    }
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
    lock_.Release();
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
    lock_.Release();
}

} // namespace zalor
