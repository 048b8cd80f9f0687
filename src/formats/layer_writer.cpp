#include "formats/layer_writer.h"

#include "formats/dbf.h"
#include "formats/kxf.h"
#include "formats/shp.h"
#include "formats/textfile.h"

#include <charconv>
#include <cstdio>

namespace zalor {

namespace {

constexpr FormatTraits kTraits[] = {
    {".MIF", true},
    {".SHP", true},
    {".KXF", false},
};

std::string ColumnLine(const Column& c, bool mif)
{
    switch (c.type) {
    case ColumnType::Integer: return c.name + " integer";
    case ColumnType::Char: return c.name + " char (" + std::to_string(c.width) + ")";
    case ColumnType::Degrees: return c.name + (mif ? " Float" : " double");
    }
    return c.name;
}

DbfFieldDescriptor FieldOf(const Column& c)
{
    constexpr int kWidestChar = 254;
    switch (c.type) {
    case ColumnType::Integer: return DbfFieldDescriptor::Make(c.name, 'N', 12);
    // Micro-degree values: room for a sign and ten digits, any 32-bit value.
    case ColumnType::Degrees: return DbfFieldDescriptor::Make(c.name, 'N', 11);
    case ColumnType::Char: break;
    }
    const int width = c.width >= 1 && c.width <= kWidestChar ? c.width : kWidestChar;
    return DbfFieldDescriptor::Make(c.name, 'C', width);
}

// The column block of a MIF ("COLUMNS n") or MTD ("FIELDS n") file.
void WriteColumnBlock(TTextFile& f, const LayerDefinition& def, bool mif)
{
    f.WriteLine((mif ? "COLUMNS " : "FIELDS ") + std::to_string(def.columns.size()));
    for (const Column& c : def.columns) f.WriteLine(ColumnLine(c, mif));
    if (def.blankLineAfterColumns) f.WriteLine("");
    f.WriteLine("DATA");
}

void AddFailure(WriteFailures& failures, bool ok, const std::string& path)
{
    if (!ok) failures.push_back({WriteFailure::Kind::Write, path, {}, 0});
}

class MifLayer final : public LayerWriter {
public:
    explicit MifLayer(const LayerDefinition& def)
        : def_(def), mif_(def.basePath + ".MIF", TTextFile::kCreate), mid_(def.basePath + ".MID", TTextFile::kCreate)
    {
        mif_.WriteMifHeader(MifCoordSysLine(def.projection));
        WriteColumnBlock(mif_, def, true);
    }
    bool WritePoint(GeoPoint p, const LayerRow& row) override
    {
        WriteMifPoint(mif_, FormatCoordinatePair(def_.projection, p));
        WriteRow(row);
        return true;
    }
    bool WriteLine(std::span<const GeoPoint> points, const LineStyle& style, const LayerRow& row) override
    {
        WriteMifPlineStart(mif_, static_cast<int64_t>(points.size()));
        for (const GeoPoint& p : points) mif_.WriteLine(FormatCoordinatePair(def_.projection, p));
        WriteMifPen(mif_, MifPen{style.penWidth, 2, style.penColour});
        WriteRow(row);
        return true;
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const LayerRow& row) override
    {
        WriteMifRegion(mif_, points, ringSizes, [this](GeoPoint p) { return FormatCoordinatePair(def_.projection, p); });
        WriteMifBrush(mif_, def_.brushColour);
        WriteRow(row);
        return true;
    }
    WriteFailures Close() override
    {
        WriteFailures failures;
        AddFailure(failures, mif_.Close(), mif_.Name());
        AddFailure(failures, mid_.Close(), mid_.Name());
        return failures;
    }
    const std::string& MainPath() const override { return mif_.Name(); }

private:
    void WriteRow(const LayerRow& row) { mid_.WriteLine(row.Mid()); }

    const LayerDefinition def_;
    TTextFile mif_;
    TTextFile mid_;
};

class ShpLayer final : public LayerWriter {
public:
    explicit ShpLayer(const LayerDefinition& def)
        : shp_(def.basePath + ".SHP", ShapeType(def.geometry)), dbf_(def.basePath + ".DBF", Tdbx::kCreate)
    {
        for (const Column& c : def.columns) dbf_.AddField(FieldOf(c));
    }
    bool WritePoint(GeoPoint p, const LayerRow& row) override
    {
        shp_.WritePointRecord(records_ + 1, p);
        return Stored(row);
    }
    bool WriteLine(std::span<const GeoPoint> points, const LineStyle&, const LayerRow& row) override
    {
        const int32_t parts[1] = {static_cast<int32_t>(points.size())};
        return shp_.WritePolyRecord(TShpFile::kPolyLine, points, records_ + 1, parts) && Stored(row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const LayerRow& row) override
    {
        return shp_.WritePolyRecord(TShpFile::kPolygon, points, records_ + 1, ringSizes) && Stored(row);
    }
    WriteFailures Close() override
    {
        WriteFailures failures;
        if (!shp_.Close()) failures.push_back({WriteFailure::Kind::Write, shp_.FailedPath(), {}, 0});
        AddFailure(failures, dbf_.Close(), dbf_.FailedPath());
        AddFailure(failures, WritePrjFile(shp_.MainPath()), ChangeFileExtension(shp_.MainPath(), ".PRJ"));
        return failures;
    }
    const std::string& MainPath() const override { return shp_.MainPath(); }

private:
    static int32_t ShapeType(LayerGeometry g)
    {
        switch (g) {
        case LayerGeometry::Point: return TShpFile::kPoint;
        case LayerGeometry::Line: return TShpFile::kPolyLine;
        case LayerGeometry::Area: return TShpFile::kPolygon;
        }
        return TShpFile::kPolyLine;
    }
    // The row of the record just written.
    bool Stored(const LayerRow& row)
    {
        ++records_;
        dbf_.ClearRecord();
        const std::size_t n = std::min<std::size_t>(row.Size(), static_cast<std::size_t>(dbf_.FieldCount()));
        for (std::size_t k = 0; k < n; ++k) dbf_.SetFieldText(static_cast<int>(k + 1), row.ValueAt(k, scratch_));
        dbf_.WriteRecord(records_);
        return true;
    }

    TShpFile shp_;
    Tdbx dbf_;
    int32_t records_ = 0;
    std::string scratch_;
};

class KxfLayer final : public LayerWriter {
public:
    explicit KxfLayer(const LayerDefinition& def) : def_(def), files_(def.basePath)
    {
        WriteColumnBlock(files_.Mtd(), def, false);
    }
    bool WritePoint(GeoPoint, const LayerRow&) override { return false; }
    bool WriteLine(std::span<const GeoPoint> points, const LineStyle& style, const LayerRow& row) override
    {
        if (!WriteKxfLineRecord(files_.Kxf(), style.kxfClass, points)) return false;
        return Stored(row);
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const LayerRow& row) override
    {
        KxfBox box;
        if (!WriteKxfAreaRecord(files_.Kxf(), points, ringSizes, def_.kxfAreaClass, box)) return false;
        recordsBox_.Widen(box);
        return Stored(row);
    }
    WriteFailures Close() override
    {
        const KxfBox box = def_.kxfHeaderBox ? *def_.kxfHeaderBox : recordsBox_;
        files_.WriteHeader(records_, &box);
        WriteFailures failures;
        if (!files_.Close()) failures.push_back({WriteFailure::Kind::Write, files_.FailedPath(), {}, 0});
        return failures;
    }
    const std::string& MainPath() const override { return files_.KxfPath(); }

private:
    bool Stored(const LayerRow& row)
    {
        ++records_;
        files_.Mtd().WriteLine(row.Mid());
        return true;
    }

    const LayerDefinition def_;
    KxfFileSet files_;
    KxfBox recordsBox_;
    int32_t records_ = 0;
};

} // namespace

const FormatTraits& TraitsOf(OutputFormat format) { return kTraits[static_cast<int>(format)]; }

LayerRow& LayerRow::Int(int64_t v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Plain(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

LayerRow& LayerRow::Plain(std::string_view text)
{
    Separate();
    values_.push_back({static_cast<uint32_t>(mid_.size()), static_cast<uint32_t>(text.size()), false});
    mid_.append(text);
    return *this;
}

LayerRow& LayerRow::Text(std::string_view text)
{
    Separate();
    mid_.push_back('"');
    const std::size_t at = mid_.size();
    bool quotes = false;
    for (char c : text) {
        if (c == '"') {
            mid_.push_back('"');
            quotes = true;
        }
        mid_.push_back(c);
    }
    values_.push_back({static_cast<uint32_t>(at), static_cast<uint32_t>(mid_.size() - at), quotes});
    mid_.push_back('"');
    return *this;
}

std::string_view LayerRow::ValueAt(std::size_t i, std::string& scratch) const
{
    const Value& v = values_[i];
    std::string_view text = std::string_view(mid_).substr(v.offset, v.length);
    if (!v.doubledQuotes) return text;
    scratch = UndoubleQuotes(text);
    return scratch;
}

std::string MifCoordSysLine(const Projection& p)
{
    if (!p.active) return std::string(TTextFile::kGeographicCoordSys);
    // Lambert Azimuthal Equal-Area (MapInfo projection 29) on the sphere
    // (ellipsoid 12), metres, centred on the projection's centre. MapInfo
    // knows one sphere only, of radius 6370997 m, the default radius.
    char buf[160];
    std::snprintf(buf, sizeof buf, "Coordsys Earth Projection 29, 9999, 12, 0, 0, 0, \"m\", %.10g, %.10g",
                  p.lam0 / 0.01745329252, p.phi0 / 0.01745329252);
    return buf;
}

std::unique_ptr<LayerWriter> OpenLayerWriter(const LayerDefinition& def, WriteFailures& failures)
{
    if (def.geometry == LayerGeometry::Point && !TraitsOf(def.format).points) return nullptr;
    try {
        switch (def.format) {
        case OutputFormat::Mif: return std::make_unique<MifLayer>(def);
        case OutputFormat::Shp: return std::make_unique<ShpLayer>(def);
        case OutputFormat::Kxf: return std::make_unique<KxfLayer>(def);
        }
    } catch (const FileError& e) {
        failures.push_back({WriteFailure::Kind::Create, e.Path(), e.what(), 0});
    }
    return nullptr;
}

} // namespace zalor
