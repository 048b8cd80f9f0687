// The GeoPackage reader module (zalor-view-gpkg.so): every table of a
// GeoPackage that has geometries, read through GDAL into the viewer's
// model as a layer of its own, its attribute values kept beside it. Its
// one export is the entry point GpkgReader::Read calls.
#include "formats/gpkg/writer/quiet_gdal.h"
#include "view/coord_sys.h"
#include "view/drawing.h"
#include "view/gpkg/schema_check.h"
#include "view/readers.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <set>
#include <new>
#include <sys/stat.h>

namespace zalor::view {

namespace {

// More tables than this are not shown (the layer list has a line for each).
constexpr int kMaxTables = 1000;
// The attribute values a table keeps, at most.
constexpr std::size_t kMaxCells = std::size_t{512} << 20;

constexpr std::array kDatums = {Datum::Nad83,    Datum::Nad27,    Datum::OldHawaiian,
                                Datum::PuertoRico, Datum::Guam1963, Datum::AmericanSamoa1962};

// A GeoPackage's texts are UTF-8; the viewer's are single bytes (Latin-1).
// Characters beyond Latin-1 become "?".
void AppendLatin1(std::string& out, const char* utf8)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); p && *p;) {
        unsigned code = *p++;
        if (code >= 0x80) {
            const int more = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
            code &= 0x3F >> more;
            for (int i = 0; i < more && (*p & 0xC0) == 0x80; ++i) code = (code << 6) | (*p++ & 0x3F);
            if (code > 0xFF || more == 0) code = '?';
        }
        out += static_cast<char>(code);
    }
}

std::string Latin1(const char* utf8)
{
    std::string s;
    AppendLatin1(s, utf8);
    return s.substr(0, 120);
}

// The spatial reference in the words the MIF and .PRJ declarations get.
std::string SrsName(const OGRSpatialReference* srs)
{
    if (!srs) return {};
    if (srs->IsGeographic()) {
        const char* authority = srs->GetAuthorityName(nullptr);
        const char* code = srs->GetAuthorityCode(nullptr);
        if (authority && code && EQUAL(authority, "EPSG"))
            for (Datum d : kDatums)
                if (std::atoi(code) == DatumEpsg(d)) return GeographicName(d);
        return "Longitude/latitude, " + Latin1(srs->GetName());
    }
    const char* projection = srs->GetAttrValue("PROJECTION");
    const char* geographic = srs->GetAttrValue("GEOGCS");
    if (srs->IsProjected() && projection && geographic && EQUAL(projection, SRS_PT_LAMBERT_AZIMUTHAL_EQUAL_AREA))
        for (Datum d : kDatums)
            if (std::string(DatumName(d)) + " on a sphere" == geographic)
                return LambertName(d, srs->GetSemiMajor(), srs->GetProjParm(SRS_PP_LONGITUDE_OF_CENTER),
                                   srs->GetProjParm(SRS_PP_LATITUDE_OF_CENTER));
    const char* name = srs->GetName();
    return name && *name ? Latin1(name) : "Unnamed coordinate system";
}

class TableReader {
public:
    TableReader(DrawingModel& model, OGRLayer& layer, const std::string& path) : model_(model), layer_(layer), path_(path)
    {
    }
    // Reads the table as a file of the model; false with `fault` set when
    // it stopped early (the objects before stay).
    bool Read(const std::function<bool(double)>& progress, std::string& fault);
    int64_t Unsupported() const { return unsupported_; }

private:
    std::string Fault(const std::string& what) const
    {
        return path_ + ", table " + layer_.GetName() + ", row " + std::to_string(rows_ + 1) + ": " + what;
    }
    bool ReadRows(int64_t expected, const std::function<bool(double)>& progress, std::string& fault);
    bool AddGeometry(const OGRGeometry* g, std::string& fault);
    bool AddCurve(const OGRSimpleCurve& c, std::string& fault);
    bool AddPolygon(const OGRPolygon& p, std::string& fault);
    bool Empty()
    {
        model_.BeginObject(ObjectKind::Line, kMifLinePen);
        return model_.EndObject();
    }
    void AddCells(const OGRFeature& feature, SourceFile& file);

    DrawingModel& model_;
    OGRLayer& layer_;
    const std::string& path_;
    double factor_ = 1e6; // degrees to micro-degrees, or metres to millimetres
    uint32_t rows_ = 0;
    int64_t unsupported_ = 0;
};

bool TableReader::AddCurve(const OGRSimpleCurve& c, std::string& fault)
{
    const int n = c.getNumPoints();
    for (int i = 0; i < n; ++i) {
        const double x = std::nearbyint(c.getX(i) * factor_), y = std::nearbyint(c.getY(i) * factor_);
        if (!(x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX)) {
            fault = Fault("a coordinate out of range");
            return false;
        }
        model_.AddPoint(GeoPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)});
    }
    model_.EndPart();
    return true;
}

bool TableReader::AddPolygon(const OGRPolygon& p, std::string& fault)
{
    for (const OGRLinearRing* ring : p)
        if (!AddCurve(*ring, fault)) return false;
    return true;
}

// One object per row: points, lines and polygons, single or multiple;
// other geometries (curves, collections) leave an empty object.
bool TableReader::AddGeometry(const OGRGeometry* g, std::string& fault)
{
    if (!g || g->IsEmpty()) return Empty();
    const OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
    bool ok = true;
    switch (type) {
    case wkbPoint:
    case wkbMultiPoint: {
        model_.BeginObject(ObjectKind::Point, kMifLinePen);
        OGRLineString points; // the points in a row, to be read as one
        if (type == wkbPoint) points.addPoint(g->toPoint());
        else
            for (const OGRPoint* p : g->toMultiPoint()) points.addPoint(p);
        ok = AddCurve(points, fault);
        break;
    }
    case wkbLineString:
        model_.BeginObject(ObjectKind::Line, kMifLinePen);
        ok = AddCurve(*g->toLineString(), fault);
        break;
    case wkbMultiLineString:
        model_.BeginObject(ObjectKind::Line, kMifLinePen);
        for (const OGRLineString* line : g->toMultiLineString()) ok = ok && AddCurve(*line, fault);
        break;
    case wkbPolygon:
        model_.BeginObject(ObjectKind::Region, kMifRegionPen);
        ok = AddPolygon(*g->toPolygon(), fault);
        break;
    case wkbMultiPolygon:
        model_.BeginObject(ObjectKind::Region, kMifRegionPen);
        for (const OGRPolygon* polygon : g->toMultiPolygon()) ok = ok && AddPolygon(*polygon, fault);
        break;
    default:
        ++unsupported_;
        return Empty();
    }
    if (!ok) {
        model_.DropObject();
        return false;
    }
    if (!model_.EndObject()) {
        fault = Fault("an object with more points than can be shown");
        return false;
    }
    return true;
}

void TableReader::AddCells(const OGRFeature& feature, SourceFile& file)
{
    for (int i = 0; i < feature.GetFieldCount(); ++i) {
        if (feature.IsFieldSetAndNotNull(i)) AppendLatin1(file.cells, feature.GetFieldAsString(i));
        file.cells += '\0';
    }
    file.cellRows.push_back(file.cells.size());
}

bool TableReader::Read(const std::function<bool(double)>& progress, std::string& fault)
{
    SourceFile file;
    file.path = path_;
    file.table = Latin1(layer_.GetName());
    file.kind = FileKind::GeoPackage;
    const OGRSpatialReference* srs = layer_.GetSpatialRef();
    const bool projected = srs && srs->IsProjected();
    file.units = projected ? Units::Millimetres : Units::MicroDegrees;
    factor_ = projected ? 1e3 : 1e6;
    file.coordSys = SrsName(srs);
    file.attributePath = path_;
    OGRFeatureDefn* fields = layer_.GetLayerDefn();
    for (int i = 0; i < fields->GetFieldCount(); ++i) file.columns.push_back(Latin1(fields->GetFieldDefn(i)->GetNameRef()));
    file.cellRows.push_back(0);
    if (!model_.BeginFile(std::move(file))) {
        fault = path_ + ": too many tables";
        return false;
    }
    const int64_t expected = std::max<int64_t>(layer_.GetFeatureCount(FALSE), 1);
    bool whole = true;
    layer_.ResetReading();
    CPLErrorReset();
    try {
        whole = ReadRows(expected, progress, fault);
        // A damaged page ends the rows as if they were all read.
        if (whole && CPLGetLastErrorType() >= CE_Failure) {
            fault = Fault(QuietGdal::Message());
            whole = false;
        }
    } catch (const std::bad_alloc&) {
        model_.DropObject();
        fault = Fault("out of memory");
        whole = false;
    }
    SourceFile& done = model_.CurrentFile();
    done.rowCount = rows_;
    done.objectCount = static_cast<uint32_t>(model_.ObjectCount() - done.firstObject);
    return whole;
}

bool TableReader::ReadRows(int64_t expected, const std::function<bool(double)>& progress, std::string& fault)
{
    for (OGRFeatureUniquePtr feature(layer_.GetNextFeature()); feature; feature.reset(layer_.GetNextFeature())) {
        if ((rows_ & 1023) == 0 && !progress(std::min(1.0, double(rows_) / double(expected)))) {
            fault = path_ + ": reading stopped";
            return false;
        }
        SourceFile& current = model_.CurrentFile();
        if (rows_ == UINT32_MAX || current.cells.size() > kMaxCells) {
            fault = Fault("more rows or values than can be shown");
            return false;
        }
        if (!AddGeometry(feature->GetGeometryRef(), fault)) return false;
        AddCells(*feature, current);
        ++rows_;
    }
    return true;
}

void Note(std::string& fault, const std::string& line)
{
    if (!fault.empty()) fault += '\n';
    fault += line;
}

void ReadTables(GDALDataset& ds, const std::string& path, const std::set<std::string>& notRead, DrawingModel& model,
                const FileProgress& progress, std::string& fault)
{
    struct stat st;
    const double size = ::stat(path.c_str(), &st) == 0 ? double(st.st_size) : 0;
    const int count = ds.GetLayerCount();
    if (count > kMaxTables) Note(fault, path + ": " + std::to_string(count) + " tables; the first " +
                                            std::to_string(kMaxTables) + " are shown");
    for (int i = 0; i < count && i < kMaxTables; ++i) {
        OGRLayer* layer = ds.GetLayer(i);
        if (!layer || layer->GetGeomType() == wkbNone) continue;
        std::string lower = layer->GetName();
        for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (notRead.count(lower)) {
            Note(fault, path + ", table " + Latin1(layer->GetName()) + ": a view or virtual table; not read");
            continue;
        }
        TableReader table(model, *layer, path);
        std::string tableFault;
        const bool whole = table.Read([&](double part) {
            return !progress || progress(int64_t(size * (i + part) / std::min(count, kMaxTables)));
        }, tableFault);
        if (!whole) Note(fault, tableFault);
        if (table.Unsupported() > 0)
            Note(fault, path + ", table " + Latin1(layer->GetName()) + ": " + std::to_string(table.Unsupported()) +
                            " rows of geometries that cannot be shown");
        if (whole && tableFault.empty() && progress && !progress(int64_t(size * (i + 1) / std::min(count, kMaxTables))))
            return;
    }
}

} // namespace

void ReadGeoPackage(const std::string& path, DrawingModel& model, const FileProgress& progress, std::string& fault)
{
    std::set<std::string> notRead;
    if (!CheckGeoPackageSchema(path, notRead, fault)) return;
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    QuietGdal quiet;
    // Only this file is looked at: no listing of its directory.
    CPLConfigOptionSetter noListing("GDAL_DISABLE_READDIR_ON_OPEN", "EMPTY_DIR", true);
    const char* const drivers[] = {"GPKG", nullptr};
    const char* const options[] = {"LIST_ALL_TABLES=NO", nullptr};
    GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, options, nullptr));
    if (!ds) {
        fault = path + ": not a GeoPackage GDAL can read (" + QuietGdal::Message() + ")";
        return;
    }
    const std::size_t before = model.Files().size();
    try {
        ReadTables(*ds, path, notRead, model, progress, fault);
    } catch (const std::bad_alloc&) {
        model.DropObject();
        Note(fault, path + ": out of memory after " + std::to_string(model.ObjectCount()) + " objects");
    }
    if (model.Files().size() == before && fault.empty()) fault = path + ": no table with geometries";
}

} // namespace zalor::view

extern "C" __attribute__((visibility("default"))) void ZalorReadGeoPackage(const std::string& path,
                                                                          zalor::view::DrawingModel& model,
                                                                          const zalor::view::FileProgress& progress,
                                                                          std::string& fault)
{
    try {
        zalor::view::ReadGeoPackage(path, model, progress, fault);
    } catch (const std::exception& e) {
        fault = path + ": " + e.what();
    }
}
