// The shapefile layer writer and the format's record.
#include "formats/shp/shp.h"

#include "formats/shp/dbf.h"
#include "formats/shp/shp_file.h"
#include "formats/shp/shp_set.h"
#include "formats/staged.h"

#include <algorithm>
#include <cstdio>
#include <vector>

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

// The files of a layer being written: the shapes with their index, and
// the table of their rows.
class ShpFiles {
public:
    ShpFiles(const LayerDefinition& def, const std::string& shpPath, const std::string& dbfPath)
        : shp_(shpPath, ShapeType(def.geometry)), dbf_(dbfPath, Tdbx::kCreate)
    {
        std::vector<DbfFieldDescriptor> fields;
        fields.reserve(def.columns.size());
        for (const Column& c : def.columns) fields.push_back(FieldOf(c));
        dbf_.AddFields(fields);
    }
    bool WritePoint(GeoPoint p, const Row& row)
    {
        shp_.WritePointRecord(records_ + 1, p);
        return Stored(row);
    }
    bool WriteLine(std::span<const GeoPoint> points, const Row& row)
    {
        const int32_t parts[1] = {static_cast<int32_t>(points.size())};
        return shp_.WritePolyRecord(TShpFile::kPolyLine, points, records_ + 1, parts) && Stored(row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row)
    {
        return shp_.WritePolyRecord(TShpFile::kPolygon, points, records_ + 1, ringSizes) && Stored(row);
    }
    TShpFile& Shapes() { return shp_; }
    Tdbx& Table() { return dbf_; }

private:
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

    TShpFile shp_;
    Tdbx dbf_;
    int32_t records_ = 0;
    char number_[32];
};

class ShpLayer final : public StagedLayer {
public:
    explicit ShpLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), datum_(def.projection.datum), files_(def, StageAll(), TemporaryPath() + ".DBF")
    {
    }
    bool WritePoint(GeoPoint p, const Row& row) override { return files_.WritePoint(p, row); }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view, const Row& row) override
    {
        return files_.WriteLine(points, row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        return files_.WriteArea(points, ringSizes, row);
    }

private:
    // Every file of the set is named before any is created, so that a
    // creation that fails (no inode left) takes the ones made before it
    // away too; the main file first. Returns its temporary path.
    std::string StageAll()
    {
        std::string main = Stage(".SHP");
        for (const char* ext : {".SHX", ".DBF", ".PRJ", ".CPG"}) Stage(ext);
        return main;
    }
    WriteFailures CloseFiles() override
    {
        WriteFailures failures;
        TShpFile& shp = files_.Shapes();
        Tdbx& dbf = files_.Table();
        if (!shp.Close()) Check(failures, false, shp.FailedPath(), shp.FailureReason());
        Check(failures, dbf.Close(), dbf.FailedPath(), dbf.FailureReason());
        const std::string prj = WritePrjFile(shp.MainPath(), datum_);
        Check(failures, prj.empty(), ChangeFileExtension(shp.MainPath(), ".PRJ"), prj);
        const std::string cpg = WriteCpgFile(shp.MainPath());
        Check(failures, cpg.empty(), ChangeFileExtension(shp.MainPath(), ".CPG"), cpg);
        return failures;
    }

    const Datum datum_; // of the longitudes and latitudes (shapefiles are never projected)
    ShpFiles files_;
};

std::unique_ptr<LayerWriter> OpenShp(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<ShpLayer>(def);
}

// A layer written as to its files, in memory: nothing reaches the disk, and
// everything is dropped when the layer ends (its .PRJ and .CPG are texts
// of the datum and the code page only).
class MemoryShpLayer final : public LayerWriter {
public:
    explicit MemoryShpLayer(const LayerDefinition& def)
        : main_(def.basePath + ".SHP"), files_(def, std::string(), std::string())
    {
    }
    bool WritePoint(GeoPoint p, const Row& row) override { return files_.WritePoint(p, row); }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view, const Row& row) override
    {
        return files_.WriteLine(points, row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        return files_.WriteArea(points, ringSizes, row);
    }
    WriteFailures Close() override
    {
        const bool shapes = files_.Shapes().Close();
        const bool table = files_.Table().Close();
        if (shapes && table) return {};
        return {{WriteFailure::Kind::Write, main_, {}, 0}};
    }
    void Discard() override { Close(); }
    const std::string& MainPath() const override { return main_; }

private:
    std::string main_;
    ShpFiles files_;
};

std::unique_ptr<LayerWriter> OpenShpInMemory(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<MemoryShpLayer>(def);
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

const FormatDriver kShpMemoryFormat = [] {
    FormatDriver format = kShpFormat;
    format.open = OpenShpInMemory;
    return format;
}();

} // namespace zalor
