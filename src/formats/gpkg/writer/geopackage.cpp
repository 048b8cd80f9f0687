#include "formats/gpkg/gpkg.h"
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
    struct Batch;
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



namespace {

void RegisterGdal()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's messages go nowhere while it works for us: a failure is read back
// with CPLGetLastErrorMsg and reported as the other formats' are.
class QuietGdal {
public:
    QuietGdal()
    {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;

    static bool Failed() { return CPLGetLastErrorType() >= CE_Failure; }
    static std::string Message()
    {
        const char* m = CPLGetLastErrorMsg();
        return m && *m ? m : "unknown GDAL error";
    }
};

// Identifiers and texts in SQL.
std::string Quoted(std::string_view name, char quote)
{
    std::string out(1, quote);
    for (char c : name) {
        out.push_back(c);
        if (c == quote) out.push_back(quote);
    }
    out.push_back(quote);
    return out;
}
std::string Identifier(std::string_view name) { return Quoted(name, '"'); }
std::string Literal(std::string_view text) { return Quoted(text, '\''); }

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

// Runs a statement that returns no rows; false when it failed.
bool Execute(GDALDataset& ds, const std::string& sql)
{
    CPLErrorReset();
    if (OGRLayer* result = ds.ExecuteSQL(sql.c_str(), nullptr, nullptr)) ds.ReleaseResultSet(result);
    return !QuietGdal::Failed();
}

// The rows of a query, each as its column texts.
std::vector<std::vector<std::string>> Query(GDALDataset& ds, const std::string& sql)
{
    std::vector<std::vector<std::string>> rows;
    OGRLayer* result = ds.ExecuteSQL(sql.c_str(), nullptr, nullptr);
    if (!result) return rows;
    const int columns = result->GetLayerDefn()->GetFieldCount();
    while (OGRFeature* f = result->GetNextFeature()) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int k = 0; k < columns; ++k) row.emplace_back(f->GetFieldAsString(k));
        OGRFeature::DestroyFeature(f);
    }
    ds.ReleaseResultSet(result);
    return rows;
}

// A prepared statement of the dataset's SQLite connection; a failure is
// raised as a GDAL error with SQLite's message.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) Raise();
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    // Runs the statement once (its next row); false unless it gave `expected`.
    bool Step(int expected)
    {
        if (!stmt_) return false;
        const int rc = sqlite3_step(stmt_);
        if (rc != expected) {
            Raise();
            return false;
        }
        if (rc == SQLITE_DONE) sqlite3_reset(stmt_);
        return true;
    }

private:
    void Raise() const { CPLError(CE_Failure, CPLE_AppDefined, "%s", sqlite3_errmsg(db_)); }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void PutBig(std::string& out, std::size_t at, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
}

uint32_t FloatBits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// One entry of an R-tree: a box in single precision.
struct RTreeBox {
    float minX, maxX, minY, maxY;
};

RTreeBox Union(const RTreeBox& a, const RTreeBox& b)
{
    return {std::min(a.minX, b.minX), std::max(a.maxX, b.maxX), std::min(a.minY, b.minY), std::max(a.maxY, b.maxY)};
}

// The position of (x, y) (0..65535 each) along a Hilbert curve over the square.
uint32_t HilbertIndex(uint32_t x, uint32_t y)
{
    constexpr uint32_t kSide = 1u << 16;
    uint32_t d = 0;
    for (uint32_t s = kSide / 2; s > 0; s /= 2) {
        const uint32_t rx = (x & s) ? 1 : 0;
        const uint32_t ry = (y & s) ? 1 : 0;
        d += s * s * ((3 * rx) ^ ry);
        if (ry == 0) {
            if (rx == 1) {
                x = kSide - 1 - x;
                y = kSide - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

// Appends a Latin-1 text in UTF-8 (GeoPackage texts are UTF-8).
void AppendUtf8(std::string& out, std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.append(text); // most texts: ASCII is UTF-8 as it is
        return;
    }
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

// A feature's box as an R-tree entry holds it: rounded outwards to single
// precision.
RTreeBox RTreeBoxOf(double minX, double maxX, double minY, double maxY)
{
    auto down = [](double d) {
        float f = static_cast<float>(d);
        return f > d ? std::nextafter(f, -INFINITY) : f;
    };
    auto up = [](double d) {
        float f = static_cast<float>(d);
        return f < d ? std::nextafter(f, INFINITY) : f;
    };
    return {down(minX), up(maxX), down(minY), up(maxY)};
}

// The nodes of a packed R-tree in SQLite's layout over the boxes of
// features 1..n (box i - 1 is feature i's), for nodes of `nodeSize` bytes.
struct PackedRTree {
    std::string nodes;                  // one after another: node 1 (the root), 2, ...
    std::size_t nodeSize = 0;
    std::vector<int64_t> leafOfFeature; // leafOfFeature[i] holds feature i + 1
    std::vector<int64_t> parentOfNode;  // parentOfNode[k] is the parent of node k + 2
};

PackedRTree PackRTree(const std::vector<RTreeBox>& boxes, int nodeSize)
{
    // A node: a 2-byte depth (the root's only), a 2-byte cell count, then
    // cells of an 8-byte id and the four coordinates as 4-byte floats, all
    // big-endian.
    constexpr int kCell = 8 + 4 * 4;
    const std::size_t perNode = static_cast<std::size_t>(std::max(2, (nodeSize - 4) / kCell));
    PackedRTree tree;
    const std::size_t n = boxes.size();
    if (n == 0) return tree;

    // Leaves hold the features in the order of their centres along a
    // Hilbert curve over the layer's extent: neighbours share leaves.
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const RTreeBox& b : boxes) {
        x0 = std::min(x0, 0.5 * (double(b.minX) + b.maxX));
        x1 = std::max(x1, 0.5 * (double(b.minX) + b.maxX));
        y0 = std::min(y0, 0.5 * (double(b.minY) + b.maxY));
        y1 = std::max(y1, 0.5 * (double(b.minY) + b.maxY));
    }
    const double sx = x1 > x0 ? 65535.0 / (x1 - x0) : 0, sy = y1 > y0 ? 65535.0 / (y1 - y0) : 0;
    std::vector<std::pair<uint32_t, uint32_t>> order(n); // (curve position, feature index)
    for (std::size_t i = 0; i < n; ++i) {
        const RTreeBox& b = boxes[i];
        const auto gx = static_cast<uint32_t>((0.5 * (double(b.minX) + b.maxX) - x0) * sx);
        const auto gy = static_cast<uint32_t>((0.5 * (double(b.minY) + b.maxY) - y0) * sy);
        order[i] = {HilbertIndex(std::min(gx, 65535u), std::min(gy, 65535u)), static_cast<uint32_t>(i)};
    }
    std::sort(order.begin(), order.end());

    // Levels from the leaves up; each entry is (id, box), the ids of a
    // level's entries being the node numbers of the level below.
    struct Entry {
        int64_t id;
        RTreeBox box;
    };
    std::vector<std::vector<Entry>> levels(1);
    levels[0].reserve(n);
    for (const auto& [key, i] : order) levels[0].push_back({static_cast<int64_t>(i) + 1, boxes[i]});
    while (levels.back().size() > perNode) {
        const std::vector<Entry>& below = levels.back();
        std::vector<Entry> above;
        for (std::size_t at = 0; at < below.size(); at += perNode) {
            RTreeBox box = below[at].box;
            for (std::size_t k = at + 1; k < std::min(below.size(), at + perNode); ++k) box = Union(box, below[k].box);
            above.push_back({0, box});
        }
        levels.push_back(std::move(above));
    }
    // Node numbers: the root is 1, then each level's nodes from the top down.
    const std::size_t depth = levels.size() - 1; // levels below the root
    std::vector<int64_t> first(levels.size());   // first node number of the nodes made of each level's entries
    first[depth] = 1;
    int64_t next = 2;
    for (std::size_t l = depth; l-- > 0;) {
        first[l] = next;
        next += static_cast<int64_t>((levels[l].size() + perNode - 1) / perNode);
    }
    for (std::size_t l = 1; l < levels.size(); ++l)
        for (std::size_t k = 0; k < levels[l].size(); ++k) levels[l][k].id = first[l - 1] + static_cast<int64_t>(k);

    tree.nodeSize = static_cast<std::size_t>(nodeSize);
    tree.nodes.assign(static_cast<std::size_t>(next - 1) * tree.nodeSize, '\0');
    tree.parentOfNode.assign(static_cast<std::size_t>(next - 2), 0);
    tree.leafOfFeature.assign(n, 0);
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const std::vector<Entry>& entries = levels[l];
        for (std::size_t at = 0, k = 0; at < entries.size(); at += perNode, ++k) {
            const int64_t number = first[l] + static_cast<int64_t>(k);
            const std::size_t cells = std::min(perNode, entries.size() - at);
            std::string& node = tree.nodes;
            const std::size_t base = static_cast<std::size_t>(number - 1) * tree.nodeSize;
            if (number == 1) PutBig(node, base, depth, 2);
            PutBig(node, base + 2, cells, 2);
            for (std::size_t c = 0; c < cells; ++c) {
                const Entry& e = entries[at + c];
                const std::size_t o = base + 4 + c * kCell;
                PutBig(node, o, static_cast<uint64_t>(e.id), 8);
                PutBig(node, o + 8, FloatBits(e.box.minX), 4);
                PutBig(node, o + 12, FloatBits(e.box.maxX), 4);
                PutBig(node, o + 16, FloatBits(e.box.minY), 4);
                PutBig(node, o + 20, FloatBits(e.box.maxY), 4);
                if (l == 0) tree.leafOfFeature[static_cast<std::size_t>(e.id - 1)] = number;
                else tree.parentOfNode[static_cast<std::size_t>(e.id - 2)] = number;
            }
        }
    }
    return tree;
}

// The box of a feature's coordinates.
struct Box {
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    void Widen(double x, double y)
    {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    RTreeBox Rounded() const { return RTreeBoxOf(minX, maxX, minY, maxY); }
};

// Degrees (the double nearest to the micro-degrees as a decimal), or the
// Lambert projection.
OGRRawPoint Coordinates(const Projection& projection, GeoPoint p)
{
    OGRRawPoint out;
    if (!projection.active) {
        out.x = p.x / 1e6;
        out.y = p.y / 1e6;
    } else {
        ProjectLambert(projection, p.x * 0.000001, p.y * 0.000001, out.x, out.y);
    }
    return out;
}

// Little-endian values of a geometry blob.
void AppendU32(std::string& out, uint32_t v)
{
    char b[4];
    for (char& c : b) {
        c = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    out.append(b, 4);
}
void PutDouble(char* at, double d)
{
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &v, sizeof v);
    } else {
        for (int i = 0; i < 8; ++i) {
            at[i] = static_cast<char>(v & 0xFF);
            v >>= 8;
        }
    }
}

// Appends the points' coordinates (last to first when `reversed`) and
// widens `box` by them; the blob grows once for them all.
void AppendPoints(const Projection& projection, std::span<const GeoPoint> points, bool reversed, Box& box,
                  std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + 16 * points.size());
    char* at = out.data() + start;
    for (std::size_t k = 0; k < points.size(); ++k, at += 16) {
        const OGRRawPoint p = Coordinates(projection, points[reversed ? points.size() - 1 - k : k]);
        PutDouble(at, p.x);
        PutDouble(at + 8, p.y);
        box.Widen(p.x, p.y);
    }
}

// The rings of an area as a multipolygon. They come with outer rings
// clockwise and holes counter-clockwise, as in shapefiles; each hole goes
// into the polygon of the ring around it (as GDAL reads a shapefile's
// polygons) and every ring is turned, so that outer rings run
// counter-clockwise as a GeoPackage has them. The multipolygon is
// appended to `wkb`.
void AppendMultiPolygon(const Projection& projection, std::span<const GeoPoint> points,
                        std::span<const int32_t> ringSizes, Box& box, std::string& wkb)
{
    if (ringSizes.size() == 1) {
        // One ring (most areas): a multipolygon of one polygon, written
        // straight away, turned.
        wkb.push_back('\x01');
        AppendU32(wkb, 6); // MultiPolygon
        AppendU32(wkb, 1);
        wkb.push_back('\x01');
        AppendU32(wkb, 3); // Polygon
        AppendU32(wkb, 1);
        const std::size_t size = std::min(static_cast<std::size_t>(std::max(ringSizes[0], 0)), points.size());
        AppendU32(wkb, static_cast<uint32_t>(size));
        AppendPoints(projection, points.first(size), true, box, wkb);
        return;
    }
    std::vector<OGRGeometry*> rings;
    rings.reserve(ringSizes.size());
    std::size_t at = 0;
    for (int32_t size : ringSizes) {
        auto* ring = new OGRLinearRing();
        ring->setNumPoints(size, FALSE);
        for (int32_t i = 0; i < size; ++i) {
            const OGRRawPoint p = Coordinates(projection, points[at + static_cast<std::size_t>(i)]);
            ring->setPoint(i, p.x, p.y);
            box.Widen(p.x, p.y);
        }
        at += static_cast<std::size_t>(size);
        auto* polygon = new OGRPolygon();
        polygon->addRingDirectly(ring);
        rings.push_back(polygon);
    }
    const char* const options[] = {"METHOD=ONLY_CCW", nullptr};
    int valid = 0;
    std::unique_ptr<OGRGeometry> organized(OGRGeometryFactory::organizePolygons(
        rings.data(), static_cast<int>(rings.size()), &valid, const_cast<const char**>(options)));
    if (wkbFlatten(organized->getGeometryType()) == wkbPolygon) {
        auto multi = std::make_unique<OGRMultiPolygon>();
        multi->addGeometryDirectly(organized.release());
        organized = std::move(multi);
    }
    for (OGRPolygon* polygon : *organized->toMultiPolygon())
        for (OGRLinearRing* ring : *polygon) ring->reversePoints();
    const std::size_t start = wkb.size();
    wkb.resize(start + organized->WkbSize());
    organized->exportToWkb(wkbNDR, reinterpret_cast<unsigned char*>(wkb.data() + start), wkbVariantIso);
}

// The header of a GeoPackage geometry blob: "GP", version 0, the flags
// (little-endian, an xy envelope unless the geometry is a point), the
// coordinate system's id (put in by the writer thread, which knows it) and
// the envelope.
constexpr std::size_t kSrsIdAt = 4;
std::size_t AppendBlobHeader(std::string& out, bool envelope)
{
    const std::size_t start = out.size();
    out.push_back('G');
    out.push_back('P');
    out.push_back('\0');
    out.push_back(static_cast<char>(envelope ? 0x03 : 0x01));
    AppendU32(out, 0);
    if (envelope) out.append(32, '\0');
    return start;
}
void PutEnvelope(std::string& out, std::size_t blob, const Box& box)
{
    char* at = out.data() + blob + 8;
    for (double d : {box.minX, box.maxX, box.minY, box.maxY}) {
        PutDouble(at, d);
        at += 8;
    }
}

} // namespace

// --- the county's file ----------------------------------------------------------

// Rows of one table on their way to the writer thread.
// The layer's side makes the geometry blobs and the values as they are
// bound, so that the writer thread has only the rows to insert.
struct GdalGeoPackage::Batch {
    struct Value { // 16 bytes: a batch holds one for each column of each row
        struct Span {
            uint32_t begin, end; // of a text in `text`
        };
        union {
            int64_t integer = 0;
            double real;
            Span text;
        };
        enum class Kind : uint8_t { Null, Integer, Real, Text } kind = Kind::Null;
    };
    std::string blobs;               // of every feature, one after another
    std::vector<std::size_t> blobEnds; // where each feature's blob ends (one area may pass 4 GB)
    Box extent;                      // of them all
    std::string text;                // the texts, in UTF-8
    std::vector<Value> values;       // one per column of each feature
    std::size_t coordinates = 0;     // held
    uint64_t number = 0;             // in the order of handing over

    std::size_t Features() const { return blobEnds.size(); }
    // Empties the batch for new rows; what it has grown to stays.
    void Clear()
    {
        blobs.clear();
        blobEnds.clear();
        extent = Box();
        text.clear();
        values.clear();
        coordinates = 0;
        number = 0;
    }
};

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
    Box extent_;
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

// Inserts the pairs (first + i, values[i]) into a table of two columns,
// many rows to a statement (one statement a row took most of the index's
// time: there is a row for every feature).
bool InsertNumbered(sqlite3* db, const std::string& table, int64_t first, const std::vector<int64_t>& values)
{
    constexpr std::size_t kRows = 256;
    const std::string head = "INSERT INTO " + Identifier(table) + " VALUES (?, ?)";
    std::string many = head;
    for (std::size_t r = 1; r < kRows; ++r) many += ", (?, ?)";
    Statement one(db, head), all(db, many);
    for (std::size_t at = 0; at < values.size();) {
        Statement& insert = values.size() - at >= kRows ? all : one;
        const std::size_t rows = &insert == &all ? kRows : 1;
        for (std::size_t r = 0; r < rows; ++r, ++at) {
            sqlite3_bind_int64(insert.get(), static_cast<int>(2 * r + 1), first + static_cast<int64_t>(at));
            sqlite3_bind_int64(insert.get(), static_cast<int>(2 * r + 2), values[at]);
        }
        if (!insert.Step(SQLITE_DONE)) return false;
    }
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
        Box box;
        std::string& out = b.blobs;
        const bool point = table_->geometry == LayerGeometry::Point;
        const std::size_t blob = AppendBlobHeader(out, !point);
        if (table_->geometry == LayerGeometry::Area) {
            AppendMultiPolygon(table_->projection, points, rings, box, out);
        } else {
            out.push_back('\x01'); // little-endian
            if (point) {
                AppendU32(out, 1); // Point
            } else {
                AppendU32(out, 2); // LineString
                AppendU32(out, static_cast<uint32_t>(points.size()));
            }
            AppendPoints(table_->projection, points, false, box, out);
        }
        if (!point) PutEnvelope(out, blob, box);
        b.blobEnds.push_back(out.size());
        boxes_.push_back(box.Rounded());
        b.extent.Widen(box.minX, box.minY);
        b.extent.Widen(box.maxX, box.maxY);
        b.coordinates += points.size();
        const std::vector<Column>& columns = table_->columns;
        for (std::size_t k = 0; k < columns.size(); ++k) b.values.push_back(BoundValue(row, k, columns[k], b.text));
        if (b.Features() >= kBatchFeatures || b.coordinates >= kBatchPoints) Hand();
    }
    // Value k of the row as it is bound to its column: texts in UTF-8,
    // degree columns (micro-degrees in the row) as degrees.
    static GdalGeoPackage::Batch::Value BoundValue(const Row& row, std::size_t k, const Column& column,
                                                   std::string& text)
    {
        using Bound = GdalGeoPackage::Batch::Value;
        Bound v;
        if (k >= row.Size() || row.KindAt(k) == Value::Kind::Null) return v;
        if (column.IsText()) {
            char number[24];
            const std::string_view value = row.KindAt(k) == Value::Kind::Text
                                               ? row.TextAt(k)
                                               : std::string_view(number, FormatInteger(row.IntAt(k), number));
            v.kind = Bound::Kind::Text;
            v.text.begin = static_cast<uint32_t>(text.size());
            AppendUtf8(text, value);
            v.text.end = static_cast<uint32_t>(text.size());
            return v;
        }
        if (row.KindAt(k) == Value::Kind::Real) {
            v.kind = Bound::Kind::Real;
            v.real = row.RealAt(k);
        } else if (row.KindAt(k) == Value::Kind::Integer) {
            const int64_t n = row.IntAt(k);
            if (column.type == ColumnType::Degrees) {
                v.kind = Bound::Kind::Real;
                v.real = static_cast<double>(n) / 1e6; // micro-degrees, as in the shapefile's table
            } else {
                v.kind = Bound::Kind::Integer;
                v.integer = n;
            }
        }
        return v;
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
