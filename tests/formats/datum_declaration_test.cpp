// Every datum a county can be on, declared by each format, read back with
// GDAL: MIF files (longitudes and latitudes, and the Lambert projection),
// shapefiles and GeoPackage tables (longitudes and latitudes, and the
// Lambert projection).
#include "formats/gpkg/gpkg.h"
#include "formats/mif/mif.h"
#include "formats/mif/mif_syntax.h"
#include "formats/shp/shp.h"
#include "formats/shp/shp_file.h"

#include "support/recorder.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace zalor {
namespace {

struct DatumCase {
    Datum datum;
    int epsg;
    const char* mifLine;   // the geographic declaration of a MIF file
    const char* gdalDatum; // the datum's name as GDAL reads it from a MIF file
    double semiMajorAxis;
};

const DatumCase kCases[] = {
    {Datum::Nad83, 4269, "Coordsys Earth Projection 1,74", "North_American_Datum_1983", 6378137.0},
    {Datum::Nad27, 4267, "Coordsys Earth Projection 1,62", "North_American_Datum_1927", 6378206.4},
    {Datum::OldHawaiian, 4135, "Coordsys Earth Projection 1,77", "Old_Hawaiian", 6378206.4},
    {Datum::PuertoRico, 4139, "Coordsys Earth Projection 1,83", "Puerto_Rico", 6378206.4},
    {Datum::Guam1963, 4675, "Coordsys Earth Projection 1,34", "Guam_1963", 6378206.4},
    // GDAL's own name of MapInfo's datum 118.
    {Datum::AmericanSamoa1962, 4169, "Coordsys Earth Projection 1,118", "America_Samoa", 6378206.4},
};

// A line of a county in Illinois, and a point.
const std::vector<GeoPoint> kLine = {{-89700000, 40300000}, {-89512345, 40456789}, {-89400001, 40799999}};
const GeoPoint kPoint = {-89654321, 40654321};

Projection Lambert(Datum datum)
{
    Projection p;
    p.datum = datum;
    p.active = true;
    SetupLambert(p, {6370997, -89.5, 40.5});
    return p;
}

// A line layer and a point layer (named base + "L" and base + "P") on the
// projection, in `format` (in `container` for a GeoPackage).
void WriteLayers(const FormatDriver& format, const std::string& base, const Projection& projection,
                 LayerContainer* container = nullptr)
{
    for (LayerGeometry geometry : {LayerGeometry::Line, LayerGeometry::Point}) {
        LayerDefinition def;
        def.geometry = geometry;
        def.basePath = base + (geometry == LayerGeometry::Line ? "L" : "P");
        def.name = std::filesystem::path(def.basePath).filename().string(); // a GeoPackage's table
        def.columns = {{"NUM", ColumnType::Integer}};
        def.projection = projection;
        def.container = container;
        WriteFailures failures;
        auto layer = OpenLayerWriter(format, def, failures);
        ASSERT_TRUE(layer);
        Row row;
        if (geometry == LayerGeometry::Line) ASSERT_TRUE(layer->WriteLine(kLine, "A41", row.Int(1)));
        else ASSERT_TRUE(layer->WritePoint(kPoint, row.Int(1)));
        ASSERT_TRUE(layer->Close().empty());
    }
}

// A layer as GDAL reads it: its coordinate system and its coordinates.
struct ReadLayer {
    std::unique_ptr<OGRSpatialReference> srs;
    std::vector<std::array<double, 2>> points;
};

ReadLayer ReadBack(const std::string& path, const char* table = nullptr)
{
    GDALAllRegister();
    ReadLayer out;
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) return out;
    OGRLayer* layer = table ? ds->GetLayerByName(table) : ds->GetLayer(0);
    if (!layer) return out;
    if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
        out.srs.reset(srs->Clone());
        out.srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    for (auto& feature : *layer) {
        const OGRGeometry* g = feature->GetGeometryRef();
        if (const OGRLineString* line = g ? dynamic_cast<const OGRLineString*>(g) : nullptr)
            for (const OGRPoint& p : *line) out.points.push_back({p.getX(), p.getY()});
        else if (const OGRPoint* point = g ? dynamic_cast<const OGRPoint*>(g) : nullptr)
            out.points.push_back({point->getX(), point->getY()});
    }
    return out;
}

// The written points in degrees: the line's, or the point.
std::vector<std::array<double, 2>> Written(bool line)
{
    std::vector<std::array<double, 2>> out;
    for (GeoPoint p : line ? kLine : std::vector<GeoPoint>{kPoint}) out.push_back({p.x / 1e6, p.y / 1e6});
    return out;
}

// The geographic coordinate system of the datum, with its EPSG code.
OGRSpatialReference Epsg(int code)
{
    OGRSpatialReference srs;
    srs.importFromEPSG(code);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

void ExpectDegrees(const ReadLayer& layer, const std::string& what, bool line = true)
{
    const auto expected = Written(line);
    ASSERT_EQ(layer.points.size(), expected.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(layer.points[i][0], expected[i][0], 1e-9) << what << " " << i;
        EXPECT_NEAR(layer.points[i][1], expected[i][1], 1e-9) << what << " " << i;
    }
}

// The projected coordinates carried back to the datum's longitudes and
// latitudes by GDAL, through the declared coordinate system, within a
// millimetre of the written ones.
void ExpectProjectedBack(const ReadLayer& layer, const OGRSpatialReference& geographic, const std::string& what)
{
    ASSERT_TRUE(layer.srs) << what;
    std::unique_ptr<OGRCoordinateTransformation> back(OGRCreateCoordinateTransformation(layer.srs.get(), &geographic));
    ASSERT_TRUE(back) << what;
    const auto expected = Written(true);
    ASSERT_EQ(layer.points.size(), expected.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_GT(std::fabs(layer.points[i][1]), 1000.0) << what << ": metres, not degrees";
        double x = layer.points[i][0], y = layer.points[i][1];
        ASSERT_TRUE(back->Transform(1, &x, &y)) << what;
        EXPECT_NEAR(x, expected[i][0], 1e-8) << what << " " << i;
        EXPECT_NEAR(y, expected[i][1], 1e-8) << what << " " << i;
    }
}

std::string Wkt(const OGRSpatialReference& srs)
{
    char* text = nullptr;
    srs.exportToWkt(&text);
    std::string out = text ? text : "";
    CPLFree(text);
    return out;
}

// The first four lines of a MIF file, the last the declaration.
std::string Header(const std::string& path)
{
    const std::string text = test::ReadFile(path);
    std::size_t at = 0;
    for (int i = 0; i < 4 && at != std::string::npos; ++i) at = text.find('\n', at + 1);
    return text.substr(0, at + 1);
}

TEST(DatumDeclaration, MifFilesNameTheDatum)
{
    const std::string dir = test::TempDir("datum-mif");
    for (const DatumCase& c : kCases) {
        const std::string what(DatumName(c.datum));
        Projection geographic;
        geographic.datum = c.datum;
        WriteLayers(kMifFormat, dir + "G" + std::to_string(c.epsg), geographic);
        const std::string mif = dir + "G" + std::to_string(c.epsg) + "L.MIF";
        EXPECT_TRUE(Header(mif).ends_with(std::string("\r\n") + c.mifLine + "\r\n")) << Header(mif);
        ReadLayer read = ReadBack(mif);
        ASSERT_TRUE(read.srs) << what;
        EXPECT_STREQ(read.srs->GetAttrValue("DATUM"), c.gdalDatum) << what;
        EXPECT_EQ(read.srs->GetSemiMajor(), c.semiMajorAxis) << what;
        ExpectDegrees(read, what);
        ExpectDegrees(ReadBack(dir + "G" + std::to_string(c.epsg) + "P.MIF"), what + " point", false);

        // The Lambert projection of the same datum, on its ellipsoid: its
        // longitudes and latitudes are those of the geographic files (so a
        // reader goes to NAD83 the way it does from them), and the metres go
        // back to the written points with the projection alone.
        WriteLayers(kMifFormat, dir + "L" + std::to_string(c.epsg), Lambert(c.datum));
        ReadLayer projected = ReadBack(dir + "L" + std::to_string(c.epsg) + "L.MIF");
        ASSERT_TRUE(projected.srs) << what;
        OGRSpatialReference base;
        base.CopyGeogCSFrom(projected.srs.get());
        base.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        EXPECT_TRUE(base.IsSame(read.srs.get())) << what << ": " << Wkt(base) << " against " << Wkt(*read.srs);
        double shift[7] = {};
        EXPECT_NE(projected.srs->GetTOWGS84(shift, 7), OGRERR_NONE) << what << ": tied to WGS 84";
        ExpectProjectedBack(projected, Epsg(c.epsg), what + " Lambert");
    }
    EXPECT_EQ(MifCoordSysLine(Lambert(Datum::Nad83)), "Coordsys Earth Projection 29, 74, \"m\", -89.5, 40.5");
    EXPECT_EQ(MifCoordSysLine(Lambert(Datum::Nad27)), "Coordsys Earth Projection 29, 62, \"m\", -89.5, 40.5");
}

TEST(DatumDeclaration, ShapefilesNameTheDatum)
{
    const std::string dir = test::TempDir("datum-shp");
    for (const DatumCase& c : kCases) {
        const std::string what(DatumName(c.datum));
        Projection geographic;
        geographic.datum = c.datum;
        const std::string base = dir + "S" + std::to_string(c.epsg);
        WriteLayers(kShpFormat, base, geographic);
        EXPECT_EQ(test::ReadFile(base + "L.PRJ"), PrjText(c.datum)) << what;
        ReadLayer read = ReadBack(base + "L.SHP");
        ASSERT_TRUE(read.srs) << what;
        // GDAL knows the ESRI names: the datum's own EPSG system.
        EXPECT_STREQ(read.srs->GetAuthorityCode(nullptr), std::to_string(c.epsg).c_str()) << what;
        const OGRSpatialReference epsg = Epsg(c.epsg);
        EXPECT_TRUE(read.srs->IsSame(&epsg)) << what;
        ExpectDegrees(read, what);
        // Shapefiles are in degrees whatever the projection.
        WriteLayers(kShpFormat, base + "X", Lambert(c.datum));
        EXPECT_EQ(test::ReadFile(base + "XL.PRJ"), PrjText(c.datum)) << what;
        ExpectDegrees(ReadBack(base + "XL.SHP"), what + " Lambert");
    }
    EXPECT_EQ(PrjText(Datum::Nad27),
              "GEOGCS[\"GCS_North_American_1927\",DATUM[\"D_North_American_1927\",SPHEROID[\"Clarke_1866\","
              "6378206.4,294.978698213898]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
}

// ogrinfo's summary of a table.
std::string OgrInfo(const std::string& path, const std::string& table)
{
    std::string out;
    FILE* p = ::popen(("ogrinfo -ro -so '" + path + "' " + table + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

TEST(DatumDeclaration, GeoPackageTablesNameTheDatum)
{
    const std::string dir = test::TempDir("datum-gpkg");
    for (const DatumCase& c : kCases) {
        const std::string what(DatumName(c.datum));
        const std::string path = dir + "TGR" + std::to_string(c.epsg) + ".gpkg";
        {
            std::string error;
            std::shared_ptr<LayerContainer> file = MakeGeoPackage(path, error);
            ASSERT_TRUE(file) << error;
            Projection geographic;
            geographic.datum = c.datum;
            WriteLayers(kGpkgFormat, "G", geographic, file.get());
            WriteLayers(kGpkgFormat, "X", Lambert(c.datum), file.get());
            WriteFailures failures;
            ASSERT_TRUE(file->Commit(failures));
        }
        ReadLayer read = ReadBack(path, "GL");
        ASSERT_TRUE(read.srs) << what;
        EXPECT_STREQ(read.srs->GetAuthorityCode(nullptr), std::to_string(c.epsg).c_str()) << what;
        ExpectDegrees(read, what);

        // The sphere's longitudes and latitudes are the datum's.
        ReadLayer projected = ReadBack(path, "XL");
        ASSERT_TRUE(projected.srs) << what;
        EXPECT_EQ(std::string(projected.srs->GetAttrValue("GEOGCS")), what + " on a sphere");
        OGRSpatialReference sphere;
        sphere.CopyGeogCSFrom(projected.srs.get());
        sphere.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        ExpectProjectedBack(projected, sphere, what + " Lambert");
    }
    const std::string nad27 = OgrInfo(dir + "TGR4267.gpkg", "GL");
    EXPECT_NE(nad27.find("DATUM[\"North American Datum 1927\""), std::string::npos) << nad27;
    EXPECT_NE(nad27.find("ID[\"EPSG\",4267]"), std::string::npos) << nad27;
}

} // namespace
} // namespace zalor
