// The writer thread's side of one table: the table made through GDAL, its
// rows inserted through prepared statements of GDAL's SQLite connection,
// then its count, extent and spatial index.
#pragma once

#include "formats/gpkg/writer/blob.h"
#include "formats/gpkg/writer/geopackage_file.h"
#include "formats/gpkg/writer/row_batch.h"
#include "formats/gpkg/writer/sqlite_statement.h"

#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class GDALDataset;
class OGRLayer;

namespace zalor {

class SpatialReferences;

class TableWriter {
public:
    // `ds` is the file's open dataset, in its transaction.
    TableWriter(GDALDataset& ds, SpatialReferences& references, const GdalGeoPackage::Table& table)
        : ds_(ds), references_(references), table_(table)
    {
    }
    ~TableWriter()
    {
        insert_.reset();
        insertMany_.reset();
    }
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    // Makes the table (replacing one of the same name) with its spatial
    // index and prepares its inserts; false with the reason when it failed.
    bool Begin(std::string& error);
    // Inserts the batch's rows; false with the reason as GDAL's error.
    bool Write(RowBatch& batch);
    // Completes the table: its count, extent, index and triggers; false
    // with the reason as GDAL's error.
    bool Finish();

private:
    // The steps of Begin, each false with the reason as GDAL's error.
    bool ReplaceExisting();
    bool CreateLayer();
    bool SetTriggersAside();
    bool Connect();
    bool ReadSrsId();
    bool PrepareInserts();
    // The steps of Finish.
    bool CheckNumbering();
    bool WriteCountAndExtent();
    bool WriteIndex();
    bool FillIndex();
    bool RestoreTriggers();

    GDALDataset& ds_;
    SpatialReferences& references_;
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
    std::size_t rows_ = 0;                                      // written
    Envelope extent_;
};

} // namespace zalor
