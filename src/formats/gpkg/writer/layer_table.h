// The layer's side of a table of the county's GeoPackage: its features are
// made into blobs and bound values, gathered into batches and handed to
// the file's writer thread.
#pragma once

#include "formats/gpkg/writer/geopackage_file.h"
#include "formats/gpkg/writer/row_batch.h"
#include "formats/gpkg/writer/rtree.h"
#include "formats/layer.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

class GpkgTable final : public LayerWriter {
public:
    GpkgTable(const LayerDefinition& def, GdalGeoPackage& file);
    ~GpkgTable() override;

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
    WriteFailures Close() override;
    void Discard() override;
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

    void Add(std::span<const GeoPoint> points, std::span<const int32_t> rings, const Row& row);
    // Hands the batch to the writer thread (when it holds a row).
    void Hand();

    GdalGeoPackage& file_;
    std::shared_ptr<GdalGeoPackage::Table> table_;
    const std::string mainPath_;
    RowBatch batch_;
    std::vector<RTreeBox> boxes_; // of every feature, for the index
    bool ended_ = false;
};

} // namespace zalor
