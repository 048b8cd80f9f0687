#include "formats/gpkg/writer/layer_table.h"

#include "formats/gpkg/writer/blob.h"

namespace zalor {

GpkgTable::GpkgTable(const LayerDefinition& def, GdalGeoPackage& file)
    : file_(file), table_(std::make_shared<GdalGeoPackage::Table>()), mainPath_(file.TablePath(def.name))
{
    table_->name = def.name;
    table_->geometry = def.geometry;
    table_->columns = def.columns;
    table_->projection = def.projection;
    file_.Enqueue(table_);
}

GpkgTable::~GpkgTable()
{
    if (!ended_) Discard();
}

WriteFailures GpkgTable::Close()
{
    Hand();
    PackedRTree tree = PackRTree(boxes_, kNodeSize);
    const std::string failure = file_.CloseTable(*table_, std::move(tree), std::move(boxes_), kNodeSize);
    ended_ = true;
    if (failure.empty()) return {};
    return {{WriteFailure::Kind::Write, mainPath_, failure, 0}};
}

void GpkgTable::Discard()
{
    file_.DiscardTable(*table_);
    ended_ = true;
}

void GpkgTable::Add(std::span<const GeoPoint> points, std::span<const int32_t> rings, const Row& row)
{
    RowBatch& b = batch_;
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

void GpkgTable::Hand()
{
    if (batch_.Features() == 0) return;
    file_.HandOver(*table_, batch_, kWaitingBatches);
}

} // namespace zalor
