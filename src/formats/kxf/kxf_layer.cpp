// The KXF layer writer and the format's record.
#include "formats/kxf/kxf.h"

#include "formats/kxf/kxf_codec.h"
#include "formats/mif/mid_syntax.h"
#include "formats/staged.h"

#include <utility>

namespace zalor {

int KxfAreaClass(std::string_view theme)
{
    static constexpr std::pair<std::string_view, int> kClasses[] = {
        {"W", 23},       {"WLND", 23}, {"CNTY", 3}, {"FMCD", 4}, {"CTBNA00", 5},
        {"BLK00", 6},    {"BGP00", 7},
    };
    for (const auto& [name, code] : kClasses)
        if (name == theme) return code;
    return 0;
}

namespace {

class KxfLayer final : public StagedLayer {
public:
    explicit KxfLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), columns_(def.columns), areaClass_(KxfAreaClass(def.theme)),
          files_(Staged())
    {
        // Line files carry the county's limits, whatever the group.
        if (def.geometry == LayerGeometry::Line) headerBox_ = def.extent;
        WriteColumnBlock(files_.Mtd(), ColumnBlock::Mtd, columns_, def.geometry == LayerGeometry::Line);
    }
    bool WritePoint(GeoPoint, const Row&) override { return false; }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view cfcc, const Row& row) override
    {
        if (!WriteKxfLineRecord(files_.Kxf(), KxfLineClass(cfcc), points)) return false;
        return Stored(row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        KxfBox box;
        if (!WriteKxfAreaRecord(files_.Kxf(), points, ringSizes, areaClass_, box)) return false;
        recordsBox_.Widen(box);
        return Stored(row);
    }

private:
    // The KXF file and its MTD beside it, under the layer's temporary name.
    std::string Staged()
    {
        Stage(".KXF");
        Stage(".MTD");
        return TemporaryPath();
    }
    WriteFailures CloseFiles() override
    {
        const KxfBox box = headerBox_ ? *headerBox_ : recordsBox_;
        files_.WriteHeader(records_, &box);
        WriteFailures failures;
        if (!files_.Close()) Check(failures, false, files_.FailedPath(), files_.FailureReason());
        return failures;
    }
    bool Stored(const Row& row)
    {
        ++records_;
        line_.clear();
        AppendMidRow(line_, row, columns_);
        files_.Mtd().WriteLine(line_);
        return true;
    }

    const std::vector<Column> columns_;
    const int areaClass_;
    KxfFileSet files_;
    std::optional<KxfBox> headerBox_; // none: the box of the records written
    KxfBox recordsBox_;
    int32_t records_ = 0;
    std::string line_;
};

std::unique_ptr<LayerWriter> OpenKxf(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<KxfLayer>(def);
}

constexpr std::string_view kExtensions[] = {".KXF", ".MTD"};
constexpr std::string_view kZipped[] = {".MTD"};

} // namespace

const FormatDriver kKxfFormat = {
    .name = "kxf",
    .caption = " KXF/DBF",
    .offered = false,
    .extensions = kExtensions,
    .points = false,
    .zipped = kZipped,
    .open = OpenKxf,
};

} // namespace zalor
