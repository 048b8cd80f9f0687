// The shapefile layer writer and the format's record.
#include "formats/shp/shp.h"

#include "formats/shp/dbf.h"
#include "formats/shp/shp_file.h"
#include "formats/shp/shp_set.h"
#include "formats/staged.h"

#include <algorithm>
#include <cstdio>

namespace zalor {

namespace {

DbfFieldDescriptor FieldOf(const Column& c)
{
    constexpr int kWidestChar = 254;
    switch (c.type) {
    case ColumnType::Integer: return DbfFieldDescriptor::Make(c.name, 'N', 12);
    // Micro-degree values: room for a sign and ten digits, any 32-bit value.
    case ColumnType::Degrees: return DbfFieldDescriptor::Make(c.name, 'N', 11);
    case ColumnType::Char:
    case ColumnType::Code: break;
    }
    const int width = c.width >= 1 && c.width <= kWidestChar ? c.width : kWidestChar;
    return DbfFieldDescriptor::Make(c.name, 'C', width);
}

int32_t ShapeType(LayerGeometry g)
{
    switch (g) {
    case LayerGeometry::Point: return TShpFile::kPoint;
    case LayerGeometry::Line: return TShpFile::kPolyLine;
    case LayerGeometry::Area: return TShpFile::kPolygon;
    }
    return TShpFile::kPolyLine;
}

class ShpLayer final : public StagedLayer {
public:
    explicit ShpLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), datum_(def.projection.datum), shp_(StageAll(), ShapeType(def.geometry)),
          dbf_(TemporaryPath() + ".DBF", Tdbx::kCreate)
    {
        for (const Column& c : def.columns) dbf_.AddField(FieldOf(c));
    }
    bool WritePoint(GeoPoint p, const Row& row) override
    {
        shp_.WritePointRecord(records_ + 1, p);
        return Stored(row);
    }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view, const Row& row) override
    {
        const int32_t parts[1] = {static_cast<int32_t>(points.size())};
        return shp_.WritePolyRecord(TShpFile::kPolyLine, points, records_ + 1, parts) && Stored(row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        return shp_.WritePolyRecord(TShpFile::kPolygon, points, records_ + 1, ringSizes) && Stored(row);
    }

private:
    // Every file of the set is named before any is created, so that a
    // creation that fails (no inode left) takes the ones made before it
    // away too. Returns the main file's temporary path.
    std::string StageAll()
    {
        std::string main = Stage(".SHP");
        for (const char* ext : {".SHX", ".DBF", ".PRJ", ".CPG"}) Stage(ext);
        return main;
    }
    WriteFailures CloseFiles() override
    {
        WriteFailures failures;
        if (!shp_.Close()) Check(failures, false, shp_.FailedPath(), shp_.FailureReason());
        Check(failures, dbf_.Close(), dbf_.FailedPath(), dbf_.FailureReason());
        const std::string prj = WritePrjFile(shp_.MainPath(), datum_);
        Check(failures, prj.empty(), ChangeFileExtension(shp_.MainPath(), ".PRJ"), prj);
        const std::string cpg = WriteCpgFile(shp_.MainPath());
        Check(failures, cpg.empty(), ChangeFileExtension(shp_.MainPath(), ".CPG"), cpg);
        return failures;
    }
    // The row of the record just written: each value as the text of its field.
    bool Stored(const Row& row)
    {
        ++records_;
        dbf_.ClearRecord();
        const std::size_t n = std::min<std::size_t>(row.Size(), static_cast<std::size_t>(dbf_.FieldCount()));
        for (std::size_t k = 0; k < n; ++k) dbf_.SetFieldText(static_cast<int>(k + 1), ValueText(row, k));
        dbf_.WriteRecord(records_);
        return true;
    }
    std::string_view ValueText(const Row& row, std::size_t k)
    {
        switch (row.KindAt(k)) {
        case Value::Kind::Null: return {};
        case Value::Kind::Integer: return std::string_view(number_, FormatInteger(row.IntAt(k), number_));
        case Value::Kind::Real:
            return std::string_view(number_,
                                    static_cast<std::size_t>(std::snprintf(number_, sizeof number_, "%.15g", row.RealAt(k))));
        case Value::Kind::Text: return row.TextAt(k);
        }
        return {};
    }

    const Datum datum_; // of the longitudes and latitudes (shapefiles are never projected)
    TShpFile shp_;
    Tdbx dbf_;
    int32_t records_ = 0;
    char number_[32];
};

std::unique_ptr<LayerWriter> OpenShp(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<ShpLayer>(def);
}

constexpr std::string_view kExtensions[] = {".SHP", ".SHX", ".DBF", ".PRJ", ".CPG"};

} // namespace

const FormatDriver kShpFormat = {
    .name = "shp",
    .caption = " SHP/DBF/SHX",
    .extensions = kExtensions,
    // Areas are numbered from 1; the DBF's key column is "SUF", followed by
    // the centroid in micro-degrees.
    .areas = {.firstNumber = 1, .centroidAfterKey = true, .keyNamedSuf = true},
    .open = OpenShp,
    .setFault = ShapefileSetFault,
};

} // namespace zalor
