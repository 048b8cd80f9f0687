#include "formats/layer_writer.h"

#include "formats/dbf.h"
#include "formats/gpkg.h"
#include "formats/kxf.h"
#include "formats/shp.h"
#include "formats/textfile.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace zalor {

namespace {

constexpr FormatTraits kTraits[] = {
    {".MIF", true},
    {".SHP", true},
    {".KXF", false},
    {".gpkg", true, true},
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

// The files of one layer are written under temporary names in their
// directory and renamed into place only when every one of them is
// complete, so that no output is ever half-written under its own name (a
// link in its place is replaced, never written through).
class StagedLayer : public LayerWriter {
public:
    explicit StagedLayer(const std::string& basePath) : final_(basePath), temp_(TemporaryPathFor(basePath)) {}
    ~StagedLayer() override
    {
        if (!done_) RemoveTemporaries();
    }

    WriteFailures Close() override
    {
        WriteFailures failures = CloseFiles();
        done_ = true;
        if (failures.empty()) {
            for (const std::string& ext : extensions_)
                if (std::rename((temp_ + ext).c_str(), (final_ + ext).c_str()) != 0)
                    failures.push_back({WriteFailure::Kind::Write, final_ + ext, std::strerror(errno), 0});
        }
        if (!failures.empty()) RemoveTemporaries();
        return failures;
    }
    void Discard() override
    {
        CloseFiles();
        done_ = true;
        RemoveTemporaries();
    }
    const std::string& MainPath() const override { return main_; }

protected:
    // The temporary path of the layer's file with this extension; the first
    // one named is the main file.
    std::string Stage(const char* ext)
    {
        if (extensions_.empty()) main_ = final_ + ext;
        extensions_.emplace_back(ext);
        return temp_ + ext;
    }
    // Closes every file; the failures name the files by their final names.
    virtual WriteFailures CloseFiles() = 0;
    void Check(WriteFailures& failures, bool ok, const std::string& path) const
    {
        if (!ok) failures.push_back({WriteFailure::Kind::Write, FinalName(path), {}, 0});
    }
    std::string FinalName(const std::string& text) const
    {
        const std::size_t at = text.find(temp_);
        return at == std::string::npos ? text : text.substr(0, at) + final_ + text.substr(at + temp_.size());
    }
    const std::string& TemporaryPath() const { return temp_; }

private:
    void RemoveTemporaries()
    {
        for (const std::string& ext : extensions_) std::remove((temp_ + ext).c_str());
    }

    std::string final_;
    std::string temp_;
    std::string main_;
    std::vector<std::string> extensions_;
    bool done_ = false;
};

class MifLayer final : public StagedLayer {
public:
    explicit MifLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), def_(def), mif_(Stage(".MIF"), TTextFile::kCreate),
          mid_(Stage(".MID"), TTextFile::kCreate)
    {
        mif_.WriteMifHeader(MifCoordSysLine(def.projection));
        projection_.R = kMifSphereRadius;
        WriteColumnBlock(mif_, def, true);
    }
    bool WritePoint(GeoPoint p, const LayerRow& row) override
    {
        WriteMifPoint(mif_, Pair(p));
        WriteRow(row);
        return true;
    }
    bool WriteLine(std::span<const GeoPoint> points, const LineStyle& style, const LayerRow& row) override
    {
        WriteMifPlineStart(mif_, static_cast<int64_t>(points.size()));
        for (const GeoPoint& p : points) mif_.WriteLine(Pair(p));
        WriteMifPen(mif_, MifPen{style.penWidth, 2, style.penColour});
        WriteRow(row);
        return true;
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const LayerRow& row) override
    {
        WriteMifRegion(mif_, points, ringSizes, [this](GeoPoint p) { return Pair(p); });
        WriteMifBrush(mif_, def_.brushColour);
        WriteRow(row);
        return true;
    }

private:
    // A point's coordinates as the file has them, in a buffer of the
    // layer's own (valid until the next call): no string made per point.
    std::string_view Pair(GeoPoint p)
    {
        if (projection_.active) {
            pair_ = MifCoordinatePair(projection_, p);
        } else {
            pair_.clear();
            AppendFixed(pair_, p.x);
            pair_.push_back(' ');
            AppendFixed(pair_, p.y);
        }
        return pair_;
    }

    WriteFailures CloseFiles() override
    {
        WriteFailures failures;
        Check(failures, mif_.Close(), mif_.Name());
        Check(failures, mid_.Close(), mid_.Name());
        return failures;
    }
    void WriteRow(const LayerRow& row) { mid_.WriteLine(row.Mid()); }

    const LayerDefinition def_;
    Projection projection_ = def_.projection;
    TTextFile mif_;
    TTextFile mid_;
    std::string pair_;
};

class ShpLayer final : public StagedLayer {
public:
    explicit ShpLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), shp_(Stage(".SHP"), ShapeType(def.geometry)), dbf_(Stage(".DBF"), Tdbx::kCreate)
    {
        Stage(".SHX");
        Stage(".PRJ");
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

private:
    WriteFailures CloseFiles() override
    {
        WriteFailures failures;
        if (!shp_.Close()) Check(failures, false, shp_.FailedPath());
        Check(failures, dbf_.Close(), dbf_.FailedPath());
        Check(failures, WritePrjFile(shp_.MainPath()), ChangeFileExtension(shp_.MainPath(), ".PRJ"));
        return failures;
    }
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

class KxfLayer final : public StagedLayer {
public:
    explicit KxfLayer(const LayerDefinition& def) : StagedLayer(def.basePath), def_(def), files_(Staged())
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
        const KxfBox box = def_.kxfHeaderBox ? *def_.kxfHeaderBox : recordsBox_;
        files_.WriteHeader(records_, &box);
        WriteFailures failures;
        if (!files_.Close()) Check(failures, false, files_.FailedPath());
        return failures;
    }
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

std::string TemporaryPathFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + ".zalor-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name;
}

LayerRow& LayerRow::Int(int64_t v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Plain(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

namespace {

// A control character (a line end, a NUL) would break the row's line in a
// MID or MTD file: it is written as a space, in the DBF alike.
char Printable(char c) { return static_cast<unsigned char>(c) < 32 || c == 127 ? ' ' : c; }

} // namespace

// Appends `text` with its control characters made spaces.
void AppendPrintable(std::string& out, std::string_view text)
{
    const std::size_t at = out.size();
    out.append(text);
    for (std::size_t i = at; i < out.size(); ++i) out[i] = Printable(out[i]);
}

LayerRow& LayerRow::Plain(std::string_view text)
{
    Separate();
    values_.push_back({static_cast<uint32_t>(mid_.size()), static_cast<uint32_t>(text.size()), false});
    AppendPrintable(mid_, text);
    return *this;
}

LayerRow& LayerRow::Text(std::string_view text)
{
    Separate();
    mid_.push_back('"');
    const std::size_t at = mid_.size();
    const bool quotes = text.find('"') != std::string_view::npos;
    if (!quotes) {
        AppendPrintable(mid_, text); // the usual case: one copy
    } else {
        for (char c : text) {
            if (c == '"') mid_.push_back('"');
            mid_.push_back(Printable(c));
        }
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
    // Lambert Azimuthal Equal-Area (projection 29) on the sphere (ellipsoid
    // 12) of a datum of its own (999) whose centre is that of WGS 84 (no
    // shift), in metres, about the projection's centre. The points are put
    // on that sphere as the datum says (MifCoordinatePair).
    char buf[160];
    std::snprintf(buf, sizeof buf, "Coordsys Earth Projection 29, 999, 12, 0, 0, 0, \"m\", %.10g, %.10g",
                  p.lam0 / 0.01745329252, p.phi0 / 0.01745329252);
    return buf;
}

namespace {

// The latitude, on the MIF sphere, of the point where the normal of the
// WGS 84 ellipsoid at the geodetic latitude `degrees` (the NAD83 one to
// well under a metre) meets the sphere. Every point of that normal has the
// geodetic latitude `degrees`, so readers of the declared datum, which
// share the sphere's centre with the ellipsoid's, carry the point back to
// it.
double SphereLatitude(double degrees)
{
    constexpr double kA = 6378137.0;
    constexpr double kF = 1 / 298.257223563;
    constexpr double kE2 = kF * (2 - kF);
    constexpr double kDegree = 0.017453292519943295;
    const double phi = degrees * kDegree;
    const double s = std::sin(phi), c = std::cos(phi);
    const double n = kA / std::sqrt(1 - kE2 * s * s);
    // In the meridian plane, with the unit normal u = (c, s) and v = (s, -c)
    // across it, the ellipsoid point (p, z) is along * u + across * v; the
    // normal's points (along + h) * u + across * v meet the sphere at this h.
    const double p = n * c, z = n * (1 - kE2) * s;
    const double along = p * c + z * s;
    const double across = p * s - z * c;
    const double h = std::sqrt(kMifSphereRadius * kMifSphereRadius - across * across) - along;
    return std::atan2(z + h * s, p + h * c) / kDegree;
}

} // namespace

std::string MifCoordinatePair(const Projection& p, GeoPoint pt)
{
    if (!p.active) return FormatCoordinatePair(p, pt);
    double x = 0, y = 0;
    ProjectLambert(p, pt.x * 0.000001, SphereLatitude(pt.y * 0.000001), x, y);
    return FormatGeneral15(x) + " " + FormatGeneral15(y);
}

std::unique_ptr<LayerWriter> OpenLayerWriter(const LayerDefinition& def, WriteFailures& failures)
{
    if (def.geometry == LayerGeometry::Point && !TraitsOf(def.format).points) return nullptr;
    try {
        switch (def.format) {
        case OutputFormat::Mif: return std::make_unique<MifLayer>(def);
        case OutputFormat::Shp: return std::make_unique<ShpLayer>(def);
        case OutputFormat::Kxf: return std::make_unique<KxfLayer>(def);
        case OutputFormat::Gpkg: return def.table.file ? def.table.file->OpenTable(def, failures) : nullptr;
        }
    } catch (const FileError& e) {
        // Named by the file's own name, not the temporary one it was to be written under.
        std::string detail = e.what();
        const std::string path = def.basePath + std::string(e.Path()).substr(e.Path().find_last_of('.'));
        const std::size_t at = detail.find(e.Path());
        if (at != std::string::npos) detail.replace(at, e.Path().size(), path);
        failures.push_back({WriteFailure::Kind::Create, path, detail, 0});
    }
    return nullptr;
}

} // namespace zalor
