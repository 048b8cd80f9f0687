// The MIF layer writer and the format's record.
#include "formats/mif/mif.h"

#include "formats/mif/mid_syntax.h"
#include "formats/mif/mif_style.h"
#include "formats/mif/mif_syntax.h"
#include "formats/staged.h"

namespace zalor {

namespace {

class MifLayer final : public StagedLayer {
public:
    explicit MifLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), columns_(def.columns), brush_(BrushForTheme(def.theme)),
          projection_(def.projection), lambert_(MifLambert(def.projection)), mif_(Stage(".MIF"), TTextFile::kCreate),
          mid_(Stage(".MID"), TTextFile::kCreate)
    {
        WriteMifHeader(mif_, MifCoordSysLine(def.projection));
        // The line layers' column block ends in an empty line.
        WriteColumnBlock(mif_, ColumnBlock::Mif, columns_, def.geometry == LayerGeometry::Line);
    }
    bool WritePoint(GeoPoint p, const Row& row) override
    {
        WriteMifPoint(mif_, Pair(p));
        WriteRow(row);
        return true;
    }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view cfcc, const Row& row) override
    {
        WriteMifPlineStart(mif_, static_cast<int64_t>(points.size()));
        for (const GeoPoint& p : points) mif_.WriteLine(Pair(p));
        const Pen pen = PenForCfcc(cfcc);
        WriteMifPen(mif_, MifPen{pen.width, 2, pen.colour});
        WriteRow(row);
        return true;
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        WriteMifRegion(mif_, points, ringSizes, [this](GeoPoint p) { return Pair(p); });
        WriteMifBrush(mif_, brush_);
        WriteRow(row);
        return true;
    }

private:
    // A point's coordinates as the file has them, in a buffer of the
    // layer's own (valid until the next call): no string made per point.
    std::string_view Pair(GeoPoint p)
    {
        if (projection_.active) {
            pair_ = MifCoordinatePair(lambert_, p);
        } else {
            pair_.clear();
            AppendFixed(pair_, p.x);
            pair_.push_back(' ');
            AppendFixed(pair_, p.y);
        }
        return pair_;
    }
    void WriteRow(const Row& row)
    {
        line_.clear();
        AppendMidRow(line_, row, columns_);
        mid_.WriteLine(line_);
    }
    WriteFailures CloseFiles() override
    {
        WriteFailures failures;
        Check(failures, mif_.Close(), mif_.Name(), mif_.FailureReason());
        Check(failures, mid_.Close(), mid_.Name(), mid_.FailureReason());
        return failures;
    }

    const std::vector<Column> columns_;
    const int brush_;
    const Projection projection_;
    const EllipsoidLambert lambert_; // when the projection is active
    TTextFile mif_;
    TTextFile mid_;
    std::string pair_;
    std::string line_;
};

std::unique_ptr<LayerWriter> OpenMif(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<MifLayer>(def);
}



constexpr std::string_view kExtensions[] = {".MIF", ".MID"};

} // namespace

const FormatDriver kMifFormat = {
    .name = "mif",
    .caption = " MID/MIF",
    .extensions = kExtensions,
    .centroidSuffix = "_P",
    // Areas are numbered from 2, their centroids in degrees after the number.
    .areas = {.firstNumber = 2, .degreesAfterNumber = true, .zctaAsText = true},
    .zipped = kExtensions,
    .open = OpenMif,
    .projectionNote = MifLambertNote,
};

} // namespace zalor
