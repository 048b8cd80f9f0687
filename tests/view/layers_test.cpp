// The layers of the viewer: the coordinate systems their files declare, the
// warning when different ones are shown together, and GeoPackages, whose
// tables are layers (read through GDAL), on the converter's own files and
// on hostile ones.
#include "view/coord_sys.h"
#include "view/drawing.h"
#include "view/readers.h"
#include "view/sample_files.h"

#include "formats/mif/mif_syntax.h"
#include "formats/shp/shp_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <string>

using namespace zalor;
using namespace zalor::view;
using zalor::test::view::SampleOutput;
using zalor::test::view::ScratchDir;
using zalor::test::view::Slurp;
using zalor::test::view::Spill;

namespace {

const SourceFile* FindTable(const DrawingModel& m, const std::string& table)
{
    for (const SourceFile& f : m.Files())
        if (f.table == table) return &f;
    return nullptr;
}

// Runs SQL on a copy of the sample GeoPackage; the copy's path.
std::string AlteredCopy(const std::string& gpkg, const std::string& dir, const std::string& sql)
{
    const std::string path = dir + "altered.gpkg";
    std::filesystem::copy_file(gpkg, path, std::filesystem::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    return path;
}

} // namespace

TEST(ViewerLayers, CoordinateSystemsInWords)
{
    EXPECT_EQ(MifCoordSysName("Coordsys Earth Projection 1,74"), "Longitude/latitude, NAD83");
    EXPECT_EQ(MifCoordSysName("CoordSys Earth Projection 1, 62 Bounds (-180, -90) (180, 90)"),
              "Longitude/latitude, NAD27");
    EXPECT_EQ(MifCoordSysName("CoordSys Earth Projection 1, 33"), "Longitude/latitude, MapInfo datum 33");
    EXPECT_EQ(MifCoordSysName("CoordSys NonEarth Units \"m\""), "Non-earth (plane) coordinates");
    EXPECT_EQ(MifCoordSysName("CoordSys Earth Projection 8, 74, \"m\", -93, 0, 0.9996, 500000, 0"),
              "MapInfo Earth Projection 8, 74, \"m\", -93, 0, 0.9996, 500000, 0");
    // The converter's Lambert declaration names its datum; its older one
    // (on MapInfo's sphere) is recognised too.
    Projection p;
    p.datum = Datum::Nad27;
    p.active = true;
    SetupLambert(p, {6370997, -89.5, 40.5});
    EXPECT_EQ(MifCoordSysName(MifCoordSysLine(p)), "Lambert azimuthal equal-area, NAD27, centre -89.5, 40.5");
    EXPECT_EQ(MifCoordSysName("CoordSys Earth Projection 29, 999, 12, -8, 160, 176, \"m\", -89.5, 40.5"),
              "Lambert azimuthal equal-area, on a sphere of 6370997 m, centre -89.5, 40.5");
    EXPECT_EQ(LambertName(Datum::Nad27, 6370997, -89.5, 40.5),
              "Lambert azimuthal equal-area, NAD27 on a sphere of 6370997 m, centre -89.5, 40.5");

    for (Datum d : {Datum::Nad83, Datum::Nad27, Datum::OldHawaiian, Datum::PuertoRico, Datum::Guam1963,
                    Datum::AmericanSamoa1962})
        EXPECT_EQ(PrjCoordSysName(PrjText(d)), GeographicName(d));
    EXPECT_EQ(PrjCoordSysName("GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\"]]"),
              "Longitude/latitude, NAD83");
    EXPECT_EQ(PrjCoordSysName("PROJCS[\"NAD_1983_UTM_Zone_15N\",GEOGCS[\"GCS_North_American_1983\"]]"),
              "NAD_1983_UTM_Zone_15N");
    EXPECT_EQ(PrjCoordSysName("GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\"]]"), "Longitude/latitude, GCS_WGS_1984");
    EXPECT_EQ(PrjCoordSysName(""), "Unrecognised .PRJ");
    EXPECT_EQ(PrjCoordSysName("GEOGCS[\"unterminated"), "Unrecognised .PRJ");
    EXPECT_EQ(PrjCoordSysName(std::string(100, '\0')), "Unrecognised .PRJ");
}

// Files of different systems shown together are named in a warning, which
// goes when one of them is hidden; files in degrees and in metres too.
TEST(ViewerLayers, WarningWhenSystemsDiffer)
{
    const std::string dir = ScratchDir("systems");
    const std::string line = "DATA\nPLINE\n2\n-89.7 40.3\n-89.5 40.4\n";
    Spill(dir + "a.MIF", "Version 300\nCoordsys Earth Projection 1,74\n" + line);
    Spill(dir + "b.MIF", "Version 300\nCoordsys Earth Projection 1,62\n" + line);
    Spill(dir + "c.MIF", "Version 300\nCoordsys Earth Projection 1,74\n" + line);
    Spill(dir + "m.MIF", "Version 300\n" + line.substr(0, 11) + "2\n100 20\n300 40\n");
    Spill(dir + "p.MIF", "Version 300\nCoordsys NonEarth Units \"m\"\nDATA\nPLINE\n2\n1000 2000\n3000 4000\n");
    DrawingModel m;
    ASSERT_TRUE(m.Load({dir + "a.MIF", dir + "b.MIF", dir + "c.MIF"}).whole);
    EXPECT_EQ(m.Files()[1].coordSys, "Longitude/latitude, NAD27");
    const std::string warning = CoordSysWarning(m);
    EXPECT_NE(warning.find("NAD83"), std::string::npos) << warning;
    EXPECT_NE(warning.find("NAD27"), std::string::npos) << warning;
    m.SetShown(1, false);
    EXPECT_EQ(CoordSysWarning(m), "");
    // No declaration (degrees, as MIF has them then) beside one: no warning.
    ASSERT_TRUE(m.Load({dir + "a.MIF", dir + "m.MIF"}).whole);
    EXPECT_EQ(m.Files()[1].coordSys, "");
    EXPECT_EQ(CoordSysWarning(m), "");
    // Metres beside degrees.
    ASSERT_TRUE(m.Load({dir + "m.MIF", dir + "p.MIF"}).whole);
    EXPECT_EQ(CoordSysWarning(m), "Layers in degrees and layers in metres are shown together");
}

class ViewerGeoPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        gpkgDir_ = SampleOutput("gpkg");
        shp_ = SampleOutput("shp");
        ASSERT_FALSE(gpkgDir_.empty() || shp_.empty()) << "zalor-cli could not convert the sample county";
        gpkg_ = gpkgDir_ + "TGR08901.gpkg";
    }
    std::string gpkgDir_, gpkg_, shp_;
};

// Each table is a layer with the objects, points and attribute values of
// the shapefile of the same layer, and the same coordinate system.
TEST_F(ViewerGeoPackage, TablesAreLayersLikeTheShapefiles)
{
    DrawingModel g;
    const LoadResult r = g.Load({gpkg_});
    ASSERT_TRUE(r.whole) << r.message;
    ASSERT_GT(g.Files().size(), 3u);
    for (const char* table : {"ALL", "W", "AN"}) {
        SCOPED_TRACE(table);
        const SourceFile* f = FindTable(g, table);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->kind, FileKind::GeoPackage);
        EXPECT_EQ(LayerName(*f), std::string("TGR08901.gpkg:") + table);
        DrawingModel s;
        ASSERT_TRUE(s.Load({shp_ + "TGR08901" + table + ".SHP"}).whole);
        EXPECT_EQ(f->coordSys, s.Files()[0].coordSys);
        EXPECT_EQ(f->coordSys, "Longitude/latitude, NAD83");
        ASSERT_EQ(f->objectCount, s.Objects().size());
        EXPECT_EQ(f->rowCount, f->objectCount);
        for (std::size_t k = 0; k < s.Objects().size(); ++k) {
            const DrawingObject &a = g.Objects()[f->firstObject + k], &b = s.Objects()[k];
            ASSERT_EQ(a.kind, b.kind) << k;
            ASSERT_EQ(a.box, b.box) << k;
            ASSERT_EQ(a.pointCount, b.pointCount) << k;
        }
        // The key columns of the last row agree.
        std::vector<Attribute> va, vb;
        ASSERT_TRUE(g.Attributes(f->firstObject + f->objectCount - 1, va));
        ASSERT_TRUE(s.Attributes(s.Objects().size() - 1, vb));
        ASSERT_EQ(va.size(), f->columns.size());
        for (const Attribute& a : va)
            for (const Attribute& b : vb)
                if (a.name == b.name && (a.name == "TLID" || a.name == "NAME" || a.name == "LANDNAME")) {
                    EXPECT_EQ(a.value, b.value) << a.name;
                }
    }
    const SourceFile* all = FindTable(g, "ALL");
    EXPECT_EQ(g.RowText(all->firstObject).rfind("1,", 0), 0u); // NUM first
}

TEST_F(ViewerGeoPackage, HostileFilesAreRefusedWithAMessage)
{
    const std::string dir = ScratchDir("hostile-gpkg");
    DrawingModel m;
    // Not a database at all, and an empty file.
    Spill(dir + "text.gpkg", "these are not the bytes of a database\n");
    Spill(dir + "empty.GPKG", "");
    LoadResult r = m.Load({dir + "text.gpkg", dir + "empty.GPKG", dir + "missing.gpkg"});
    EXPECT_FALSE(r.whole);
    EXPECT_NE(r.message.find("text.gpkg: not a GeoPackage"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("empty.GPKG"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("missing.gpkg"), std::string::npos) << r.message;
    // A database that is no GeoPackage.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "other.gpkg").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    r = m.Load({dir + "other.gpkg"});
    EXPECT_FALSE(r.whole);
    EXPECT_NE(r.message.find("other.gpkg"), std::string::npos) << r.message;
    EXPECT_TRUE(m.Empty());
    // Cut in half: whatever is read is kept, the rest is named.
    const std::string bytes = Slurp(gpkg_);
    Spill(dir + "cut.gpkg", bytes.substr(0, bytes.size() / 2));
    r = m.Load({dir + "cut.gpkg"});
    EXPECT_FALSE(r.whole);
    EXPECT_NE(r.message.find("cut.gpkg"), std::string::npos) << r.message;
    // A table that is an endless view is not read; the others are.
    const auto start = std::chrono::steady_clock::now();
    const std::string endless = AlteredCopy(
        gpkg_, dir,
        "CREATE VIEW endless AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
        "SELECT i AS fid, NULL AS geom FROM n;"
        "INSERT INTO gpkg_contents (table_name, data_type, identifier, srs_id) VALUES ('endless', 'features', "
        "'endless', 4269);"
        "INSERT INTO gpkg_geometry_columns VALUES ('endless', 'geom', 'GEOMETRY', 4269, 0, 0);");
    r = m.Load({endless});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_NE(r.message.find("table endless: a view or virtual table; not read"), std::string::npos) << r.message;
    EXPECT_NE(FindTable(m, "ALL"), nullptr);
    EXPECT_EQ(FindTable(m, "endless"), nullptr);
    // The GeoPackage's own contents table a view: the file is not read.
    const std::string contents = AlteredCopy(
        gpkg_, dir, "ALTER TABLE gpkg_contents RENAME TO real_contents;"
                    "CREATE VIEW gpkg_contents AS SELECT * FROM real_contents;");
    r = m.Load({contents});
    EXPECT_FALSE(r.whole);
    EXPECT_NE(r.message.find("gpkg_contents is a view"), std::string::npos) << r.message;
    EXPECT_TRUE(m.Empty());
}
