#include "formats/gpkg/writer/table_writer.h"

#include "formats/gpkg/writer/quiet_gdal.h"
#include "formats/gpkg/writer/spatial_reference.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zalor {

namespace {

// The size of the nodes of an index, the one its empty root was made with.
bool IndexNodeSize(sqlite3* db, const std::string& rtree, const std::string& table, int& nodeSize)
{
    Statement size(db, "SELECT length(data) FROM " + Identifier(rtree + "_node") + " WHERE nodeno = 1");
    if (!size.Step(SQLITE_ROW)) return false;
    nodeSize = sqlite3_column_int(size.get(), 0);
    if (nodeSize < 4 + 2 * 24 || nodeSize > 65536) { // SQLite makes 448 to 1,228 bytes
        CPLError(CE_Failure, CPLE_AppDefined, "the spatial index of %s has nodes of %d bytes", table.c_str(),
                 nodeSize);
        return false;
    }
    return true;
}

// Puts the nodes of a packed tree in place of those of an empty index.
bool WriteNodes(sqlite3* db, const std::string& rtree, const PackedRTree& tree)
{
    Statement clear(db, "DELETE FROM " + Identifier(rtree + "_node"));
    if (!clear.Step(SQLITE_DONE)) return false;
    Statement node(db, "INSERT INTO " + Identifier(rtree + "_node") + " VALUES (?, ?)");
    for (std::size_t i = 0; i * tree.nodeSize < tree.nodes.size(); ++i) {
        sqlite3_bind_int64(node.get(), 1, static_cast<sqlite3_int64>(i + 1));
        sqlite3_bind_blob(node.get(), 2, tree.nodes.data() + i * tree.nodeSize, static_cast<int>(tree.nodeSize),
                          SQLITE_STATIC);
        if (!node.Step(SQLITE_DONE)) return false;
    }
    return InsertNumbered(db, rtree + "_rowid", 1, tree.leafOfFeature) &&
           InsertNumbered(db, rtree + "_parent", 2, tree.parentOfNode);
}

} // namespace

// --- beginning the table ------------------------------------------------------------

bool TableWriter::Begin(std::string& error)
{
    CPLErrorReset();
    if (ReplaceExisting() && CreateLayer() && SetTriggersAside() && Connect() && ReadSrsId() && PrepareInserts())
        return true;
    error = QuietGdal::Message();
    return false;
}

bool TableWriter::ReplaceExisting()
{
    // A table of the same name in the file that was there is replaced.
    for (int i = 0; i < ds_.GetLayerCount(); ++i)
        if (Upper(ds_.GetLayer(i)->GetName()) == Upper(table_.name)) return ds_.DeleteLayer(i) == OGRERR_NONE;
    return true;
}

bool TableWriter::CreateLayer()
{
    OGRwkbGeometryType type = wkbLineString;
    if (table_.geometry == LayerGeometry::Point) type = wkbPoint;
    if (table_.geometry == LayerGeometry::Area) type = wkbMultiPolygon;
    const char* const options[] = {"GEOMETRY_NAME=geom", "FID=fid", "SPATIAL_INDEX=NO", nullptr};
    layer_ = ds_.CreateLayer(table_.name.c_str(), &references_.For(table_.projection), type,
                             const_cast<char**>(options));
    if (!layer_) return false;
    for (const Column& c : table_.columns) {
        OGRFieldType t = OFTString; // no width: texts are whole
        if (c.type == ColumnType::Integer) t = OFTInteger;
        if (c.type == ColumnType::Degrees) t = OFTReal;
        OGRFieldDefn field(c.name.c_str(), t);
        if (layer_->CreateField(&field) != OGRERR_NONE) return false;
    }
    return true;
}

bool TableWriter::SetTriggersAside()
{
    // The spatial index is made on the empty table. Its triggers and
    // GDAL's feature count triggers (an update of the count for every
    // row) are kept aside while the rows go in; the index is then filled
    // in one pass, and the count set once.
    const std::string& name = table_.name;
    const std::string rtree = "rtree_" + name + "_geom_";
    if (!Execute(ds_, "SELECT CreateSpatialIndex(" + Literal(name) + ", 'geom')")) return false;
    bool indexed = false;
    for (auto& trigger :
         Query(ds_, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = " + Literal(name))) {
        indexed = indexed || trigger[0].compare(0, rtree.size(), rtree) == 0;
        if (!Execute(ds_, "DROP TRIGGER " + Identifier(trigger[0]))) return false;
        triggers_.emplace_back(std::move(trigger[0]), std::move(trigger[1]));
    }
    if (!indexed) {
        CPLError(CE_Failure, CPLE_AppDefined, "the spatial index of %s has no triggers", name.c_str());
        return false;
    }
    return true;
}

bool TableWriter::Connect()
{
    db_ = static_cast<sqlite3*>(ds_.GetInternalHandle("SQLITE_HANDLE"));
    if (db_) return true;
    CPLError(CE_Failure, CPLE_AppDefined, "no SQLite connection for %s", table_.name.c_str());
    return false;
}

bool TableWriter::ReadSrsId()
{
    Statement srs(db_, "SELECT srs_id FROM gpkg_geometry_columns WHERE lower(table_name) = lower(" +
                           Literal(table_.name) + ")");
    if (!srs.Step(SQLITE_ROW)) {
        if (!QuietGdal::Failed())
            CPLError(CE_Failure, CPLE_AppDefined, "%s has no coordinate system", table_.name.c_str());
        return false;
    }
    uint32_t id = static_cast<uint32_t>(sqlite3_column_int(srs.get(), 0));
    for (char& c : srsId_) {
        c = static_cast<char>(id & 0xFF);
        id >>= 8;
    }
    return true;
}

bool TableWriter::PrepareInserts()
{
    OGRFeatureDefn* defn = layer_->GetLayerDefn();
    if (defn->GetFieldCount() != static_cast<int>(table_.columns.size())) {
        CPLError(CE_Failure, CPLE_AppDefined, "%s: the columns were not made", table_.name.c_str());
        return false;
    }
    // Rows go in many to a statement where they can: each statement has
    // its own cost (the table's AUTOINCREMENT bookkeeping among it), a row
    // little more. SQLite numbers the rows 1, 2, ... of the new table
    // itself: appended so, a row needs no search for its place.
    const int values = defn->GetFieldCount() + 1;
    std::string head = "INSERT INTO " + Identifier(table_.name) + " (\"geom\"";
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
    return !QuietGdal::Failed();
}

// --- the rows -----------------------------------------------------------------------

bool TableWriter::Write(RowBatch& batch)
{
    using Kind = RowBatch::Value::Kind;
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
                                      static_cast<int>(v.text.end - v.text.begin), SQLITE_STATIC);
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

// --- completing the table -----------------------------------------------------------

bool TableWriter::Finish()
{
    insert_.reset();
    insertMany_.reset();
    CPLErrorReset();
    if (layer_->SyncToDisk() != OGRERR_NONE || QuietGdal::Failed()) return false;
    return CheckNumbering() && WriteCountAndExtent() && WriteIndex();
}

bool TableWriter::CheckNumbering()
{
    // The index refers to features by their numbers 1, 2, ..., n.
    Statement last(db_, "SELECT max(\"fid\") FROM " + Identifier(table_.name));
    if (!last.Step(SQLITE_ROW)) return false;
    if (sqlite3_column_int64(last.get(), 0) != static_cast<sqlite3_int64>(rows_)) {
        CPLError(CE_Failure, CPLE_AppDefined, "the rows of %s were not numbered 1 to %zu", table_.name.c_str(), rows_);
        return false;
    }
    return true;
}

bool TableWriter::WriteCountAndExtent()
{
    // GDAL has not seen the rows: their count and extent are put in here.
    const std::string name = Literal(table_.name);
    bool counted = false; // a file made elsewhere may keep no counts
    {
        Statement counts(db_, "SELECT 1 FROM sqlite_master WHERE name = 'gpkg_ogr_contents'");
        counted = counts.get() && sqlite3_step(counts.get()) == SQLITE_ROW;
    }
    if (counted && !Execute(ds_, "UPDATE gpkg_ogr_contents SET feature_count = " + std::to_string(rows_) +
                                     " WHERE lower(table_name) = lower(" + name + ")"))
        return false;
    if (rows_ == 0) return true;
    char extent[200];
    std::snprintf(extent, sizeof extent, "min_x = %.17g, min_y = %.17g, max_x = %.17g, max_y = %.17g", extent_.minX,
                  extent_.minY, extent_.maxX, extent_.maxY);
    return Execute(ds_, std::string("UPDATE gpkg_contents SET ") + extent + " WHERE lower(table_name) = lower(" +
                            name + ")");
}

bool TableWriter::WriteIndex()
{
    if (rows_ > 0 && !FillIndex()) return false;
    return RestoreTriggers();
}

bool TableWriter::FillIndex()
{
    // GDAL 3.6 fills an index one row at a time through SQLite's R-tree
    // (slower than writing the table); its nodes are written here at
    // once, in the connection and the transaction of the dataset.
    const std::string rtree = "rtree_" + table_.name + "_geom";
    auto* db = static_cast<sqlite3*>(ds_.GetInternalHandle("SQLITE_HANDLE"));
    if (!db) {
        CPLError(CE_Failure, CPLE_AppDefined, "no SQLite connection for the spatial index of %s", table_.name.c_str());
        return false;
    }
    int nodeSize = 0;
    if (!IndexNodeSize(db, rtree, table_.name, nodeSize)) return false;
    if (table_.boxes.size() != rows_) {
        CPLError(CE_Failure, CPLE_AppDefined, "%s: %zu rows but %zu boxes", table_.name.c_str(), rows_,
                 table_.boxes.size());
        return false;
    }
    if (table_.treeNodeSize == nodeSize && table_.tree.leafOfFeature.size() == rows_)
        return WriteNodes(db, rtree, table_.tree);
    return WriteNodes(db, rtree, PackRTree(table_.boxes, nodeSize)); // the file has nodes of another size
}

bool TableWriter::RestoreTriggers()
{
    for (const auto& [trigger, sql] : triggers_) {
        // GDAL may have made its own again when the table was synced.
        Statement there(db_, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = " + Literal(trigger));
        if (!there.get()) return false;
        if (sqlite3_step(there.get()) == SQLITE_ROW) continue;
        if (!Execute(ds_, sql)) return false;
    }
    return true;
}

} // namespace zalor
