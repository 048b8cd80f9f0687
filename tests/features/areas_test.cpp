#include "features/area_keys.h"
#include "tiger/area_sources.h"
#include "formats/kxf/kxf.h"
#include "formats/mif/mif.h"
#include "formats/shp/dbf.h"
#include "formats/shp/shp.h"
#include "run/county_output.h"
#include "support/recorder.h"
#include "tiger/county.h"
#include "tiger/county_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace zalor {
namespace {

using test::ReadFile;
using test::Record;

constexpr int32_t X0 = -87000000, Y0 = 41000000;

// Three unit cells side by side, polygons 1, 2, 3 from west to east; the
// outside belongs to no polygon.
struct AreaFixture : ::testing::Test {
    test::TestSession t;
    County county;
    CountyPlan job;
    std::string dir;

    void Chain(int32_t tlid, int fx, int fy, int tx, int ty, int32_t left, int32_t right)
    {
        ChainRecord& c = county.chains.Append();
        c.TLID = tlid;
        std::memcpy(c.CFCC, "A41", 3);
        c.from = {X0 + fx * 1000, Y0 + fy * 1000};
        c.to = {X0 + tx * 1000, Y0 + ty * 1000};
        c.polyLeft = left;
        c.polyRight = right;
    }
    void SetUp() override
    {
        dir = test::TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        job.source = CountySource{dir + "TGR01001.RT1", ""};
        job.baseName = "TGR01001";
        job.outputDirectory = dir;
        job.format = &kMifFormat;
        int32_t id = 1;
        for (int i = 0; i < 3; ++i) {
            Chain(id++, i, 0, i + 1, 0, i + 1, 0); // bottom, eastward: polygon on the left
            Chain(id++, i, 1, i + 1, 1, 0, i + 1); // top
        }
        for (int i = 0; i <= 3; ++i) Chain(id++, i, 0, i, 1, i, i < 3 ? i + 1 : 0);
    }
    // One RTS record per polygon: tract, block, ZCTA, water flag, water columns.
    void Rts(const std::vector<std::tuple<int, std::string, std::string, std::string, bool>>& polys)
    {
        std::string text;
        for (const auto& [poly, tract, block, zcta, water] : polys)
            text += Record(122, {{1, "S"},
                                 {6, "01001"},
                                 {16, test::Right(poly, 10)},
                                 {26, water ? "1" : "0"},
                                 {72, tract},
                                 {78, block},
                                 {96, block.substr(0, 1)},
                                 {114, zcta}});
        test::WriteFile(dir + "TGR01001.RTS", text);
    }
    // An area layer "NAME|CCCWW" (its key column and width in the records
    // of Census 2000, which the layer's name gives).
    static AreaLayerDef Def(const std::string& spec)
    {
        AreaLayerDef def;
        def.name = spec.substr(0, spec.find('|'));
        def.defaultName = def.name;
        const AreaKeySource source = AreaKeySourceOf(def.name, LayoutGroup::Census2000);
        EXPECT_EQ(source.key.first, std::stoi(spec.substr(spec.find('|') + 1, 3))) << spec;
        EXPECT_EQ(source.key.Width(), static_cast<std::size_t>(std::stoi(spec.substr(spec.find('|') + 4, 2)))) << spec;
        def.excludeWaterKey = "CbAr20";
        def.centroidKey = "CbCn3";
        return def;
    }
    // The area phase with this layer as the plan's only one.
    void WriteLayer(const AreaLayerDef& def)
    {
        t.Replan();
        t.plan.areas = {PlanAreaLayer(t.settings, def)};
        WriteAreaLayersPhase(t.session, county, job);
    }
    void Layer(const std::string& spec, bool excludeWater = false, bool polygonKeys = false, bool centroid = false)
    {
        AreaLayerDef def = Def(spec);
        def.polygonKeys = polygonKeys;
        t.settings.SetBox("CbAr20", excludeWater);
        t.settings.SetBox("CbCn3", centroid);
        WriteLayer(def);
    }
};

TEST_F(AreaFixture, NeighboursWithOneKeyDissolveIntoOneRing)
{
    Rts({{1, "000100", "1001", "60614", false},
         {2, "000100", "1002", "60614", false},
         {3, "000200", "1003", "60615", false}});
    Layer("CTBNA00|07206");
    std::string mif = ReadFile(dir + "TGR01001CTBNA00.MIF");
    EXPECT_NE(mif.find("COLUMNS 5\r\nNUM integer\r\nLon Float\r\nLat Float\r\nCTBNA00 integer\r\nNAME char (30)\r\n"
                       "DATA\r\n"),
              std::string::npos);
    // Tract 100: one clockwise ring around cells 1 and 2 (7 points, closed).
    EXPECT_NE(mif.find("Region 1\r\n7\r\n-87.000000 41.000000\r\n-87.000000 41.001000\r\n"), std::string::npos)
        << mif;
    EXPECT_NE(mif.find("BRUSH (2,0,16744496)\r\n"), std::string::npos); // the tract layer's
    // NUM starts at 2 in MIF area layers.
    EXPECT_EQ(ReadFile(dir + "TGR01001CTBNA00.MID"),
              "2,-86.999000,41.000500,100,\"\"\r\n3,-86.997500,41.000500,200,\"\"\r\n");
    EXPECT_TRUE(t.recorder.Logged("Geographic Entities [CTBNA00] "));
    EXPECT_TRUE(t.recorder.Logged("Processing CTBNA00[ 2 Objects]"));
}

TEST_F(AreaFixture, ExcludedWaterLeavesAGap)
{
    std::string water(4, ' ');
    Rts({{1, "000100", "1001", "", false}, {2, "000100", "1990", "", true}, {3, "000100", "1003", "", false}});
    Layer("CTBNA00|07206", true);
    std::string mid = ReadFile(dir + "TGR01001CTBNA00.MID");
    // Polygon 2 is water: tract 100 falls into two rings around cells 1 and 3.
    EXPECT_NE(ReadFile(dir + "TGR01001CTBNA00.MIF").find("Region 2\r\n5\r\n"), std::string::npos);
    EXPECT_EQ(mid, "2,-86.998500,41.000500,100,\"\"\r\n");
}

// Blocks and block groups of the same number in two tracts are two
// features; water is what the flag says, whatever the block number.
TEST_F(AreaFixture, BlocksAreKeyedByTractAndWaterByItsFlag)
{
    Rts({{1, "000100", "1001", "", false}, {2, "000100", "2001", "", true}, {3, "000200", "1001", "", false}});
    Layer("BLK00|07804");
    EXPECT_EQ(ReadFile(dir + "TGR01001BLK00.MID"), "2,-86.999500,41.000500,0001001001,\"\"\r\n"
                                                   "3,-86.998500,41.000500,0001002001,\"\"\r\n"
                                                   "4,-86.997500,41.000500,0002001001,\"\"\r\n");
    Layer("BGP00|09601");
    EXPECT_EQ(ReadFile(dir + "TGR01001BGP00.MID"), "2,-86.999500,41.000500,0001001,\"\"\r\n"
                                                   "3,-86.998500,41.000500,0001002,\"\"\r\n"
                                                   "4,-86.997500,41.000500,0002001,\"\"\r\n");
    Layer("BLK00|07804", true);
    EXPECT_EQ(ReadFile(dir + "TGR01001BLK00.MID"), "2,-86.999500,41.000500,0001001001,\"\"\r\n"
                                                   "3,-86.997500,41.000500,0002001001,\"\"\r\n");
}

TEST_F(AreaFixture, WaterBlocksAreOneFeaturePerPolygon)
{
    Rts({{1, "000100", "1001", "", false}, {2, "000100", "1990", "", true}, {3, "000100", "1991", "", true}});
    Layer("W|02601", false, true);
    EXPECT_EQ(ReadFile(dir + "TGR01001W.MID"), "2,-86.998500,41.000500,2,\"\"\r\n3,-86.997500,41.000500,3,\"\"\r\n");
}

TEST_F(AreaFixture, BlockSuffixesAndZctaTextsComeBack)
{
    Rts({{1, "000100", "101A", "606HH", false},
         {2, "000100", "101B", "606HH", false},
         {3, "000100", "1002", "60615", false}});
    Layer("BLK00|07804");
    // A block's key is its tract and number, in text order.
    EXPECT_EQ(ReadFile(dir + "TGR01001BLK00.MID"), "2,-86.997500,41.000500,0001001002,\"\"\r\n"
                                                   "3,-86.999500,41.000500,000100101A,\"\"\r\n"
                                                   "4,-86.998500,41.000500,000100101B,\"\"\r\n");
    EXPECT_NE(ReadFile(dir + "TGR01001BLK00.MIF").find("BLK00 char (12)\r\n"), std::string::npos);
    Layer("ZCTA5|11405");
    EXPECT_NE(ReadFile(dir + "TGR01001ZCTA5.MIF").find("ZCTA5 char (12)\r\n"), std::string::npos);
    std::string mid = ReadFile(dir + "TGR01001ZCTA5.MID");
    EXPECT_NE(mid.find(",606HH,"), std::string::npos);
    EXPECT_NE(mid.find(",60615,"), std::string::npos);

    // Shapefiles number from 1 and carry the ZCTA key as an integer.
    job.format = &kShpFormat;
    Layer("ZCTA5|11405");
    Tdbx dbf(dir + "TGR01001ZCTA5.DBF", Tdbx::kRead);
    ASSERT_TRUE(dbf.ReadRecord(1));
    EXPECT_EQ(dbf.GetFieldText(1), "1");
    std::vector<std::string> sufs;
    for (int r = 1; r <= 2; ++r) {
        ASSERT_TRUE(dbf.ReadRecord(r));
        sufs.push_back(dbf.GetFieldText(2));
    }
    EXPECT_NE(std::find(sufs.begin(), sufs.end(), std::to_string(EncodeZctaKey("606HH"))), sufs.end());
}

TEST_F(AreaFixture, CentroidLayerHasItsOwnNameAndRows)
{
    Rts({{1, "000100", "1001", "", false}, {2, "000100", "1002", "", false}, {3, "000200", "1003", "", false}});
    Layer("CTBNA00|07206", false, 0, true);
    std::string points = ReadFile(dir + "TGR01001CTBNA00_P.MIF");
    EXPECT_NE(points.find("DATA\r\nPOINT -86.999000 41.000500\r\nPOINT -86.997500 41.000500\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir + "TGR01001CTBNA00_P.MID"), ReadFile(dir + "TGR01001CTBNA00.MID"));
}

// A name filling the widest RTC name field (66 characters in the 1990s
// releases) is whole in the MID and in the DBF, whose columns hold it.
TEST_F(AreaFixture, EntityNamesLabelFeaturesWhole)
{
    Rts({{1, "000100", "1001", "", false}, {2, "000100", "1002", "", false}, {3, "000200", "1003", "", false}});
    const std::string name = "Synthetic County and the Consolidated Government of the Old Townes";
    ASSERT_EQ(name.size(), 66u);
    county.entityNames.push_back({'C', 1001, name});
    county.IndexEntityNames();
    // The county code of the records is the file code 01001.
    Layer("CNTY|00605");
    EXPECT_EQ(ReadFile(dir + "TGR01001CNTY.MID"), "2,-86.998500,41.000500,1001,\"" + name + "\"\r\n");
    EXPECT_NE(ReadFile(dir + "TGR01001CNTY.MIF").find("CNTY integer\r\nNAME char (66)\r\nDATA"), std::string::npos);

    job.format = &kShpFormat;
    Layer("CNTY|00605");
    Tdbx dbf(dir + "TGR01001CNTY.DBF", Tdbx::kRead);
    ASSERT_TRUE(dbf.ReadRecord(1));
    EXPECT_EQ(dbf.GetFieldName(5), "NAME");
    EXPECT_EQ(dbf.GetFieldText(5), name);
}

TEST_F(AreaFixture, AmericanIndianAreasAreNamedByTheirFipsCode)
{
    std::string text;
    for (int poly = 1; poly <= 3; ++poly)
        text += Record(122, {{1, "S"}, {6, "01001"}, {16, test::Right(poly, 10)}, {35, poly < 3 ? "05680" : "     "},
                             {40, poly < 3 ? "1234" : "    "}});
    test::WriteFile(dir + "TGR01001.RTS", text);
    // The entity names carry the FIPS code of each census area under 'F'.
    county.entityNames.push_back({'I', 1234, "Prairie Band Area"});
    county.entityNames.push_back({'F', 5680, "Prairie Band Area"});
    county.IndexEntityNames();
    Layer("FAIR|03505");
    EXPECT_EQ(ReadFile(dir + "TGR01001FAIR.MID"), "2,-86.999000,41.000500,5680,\"Prairie Band Area\"\r\n");
    // The census code is four characters wide; a three-character field would merge areas.
    Layer("AIR|04004");
    EXPECT_NE(ReadFile(dir + "TGR01001AIR.MID").find(",1234,"), std::string::npos);
}

TEST_F(AreaFixture, LandmarkCentroidsDoNotReplaceTheLandmarkPoints)
{
    LandmarkRecord park;
    park.LAND = 77;
    std::memcpy(park.CFCC, "D85", 3);
    park.NAME = "D85Lincoln Park";
    park.location = {X0 + 10, Y0 + 10};
    county.landmarks.push_back(park);
    test::WriteFile(dir + "TGR01001.RT8", Record(38, {{1, "8"}, {16, test::Right(1, 10)}, {26, test::Right(77, 10)}}) +
                                              Record(38, {{1, "8"}, {16, test::Right(2, 10)}, {26, test::Right(77, 10)}}));
    t.settings.SetBox("CbP8", true);
    t.settings.SetBox("CbD8", true);
    t.Replan();
    // With the default suffixes the landmark points are "DP", the landmark areas "D".
    WriteLandmarkPointsPhase(t.session, county, job);
    const std::string points = ReadFile(dir + "TGR01001DP.MIF");
    AreaLayerDef landmarks = Def("D|02610");
    landmarks.landmarkClassMask = kMaskLandmarkAreas;
    landmarks.centroidKey = "CbCn2";
    t.settings.SetBox("CbCn2", true);
    WriteLayer(landmarks);
    EXPECT_EQ(ReadFile(dir + "TGR01001DP.MIF"), points);
    EXPECT_EQ(ReadFile(dir + "TGR01001D.MID"), "2,-86.999000,41.000500,77,D85,\"Lincoln Park\"\r\n");
    EXPECT_EQ(ReadFile(dir + "TGR01001D_P.MID"), ReadFile(dir + "TGR01001D.MID"));
    // Every file written is in the output list.
    EXPECT_EQ(t.recorder.outputs.size(), 3u);
}

TEST_F(AreaFixture, KxfAreasThatCannotBeCodedFailTheCounty)
{
    Rts({{1, "000100", "1001", "", false}, {2, "000100", "1002", "", false}, {3, "000200", "1003", "", false}});
    // Cell 3 reaches out beyond what a KXF coordinate difference can hold.
    for (int32_t i = 1; i <= county.chains.count(); ++i) {
        ChainRecord& c = county.chains[i];
        for (GeoPoint* p : {&c.from, &c.to})
            if (p->x == X0 + 3000) p->x = 600000000;
    }
    job.format = &kKxfFormat;
    Layer("CTBNA00|07206");
    EXPECT_TRUE(t.recorder.Logged("Coordinates out of range in 1 areas, not written to " + dir +
                                  "TGR01001CTBNA00.KXF"));
    EXPECT_EQ(t.session.countyErrors, 1);
    // The area that could be coded is there.
    EXPECT_EQ(ReadFile(dir + "TGR01001CTBNA00.MTD").substr(ReadFile(dir + "TGR01001CTBNA00.MTD").find("DATA")),
              "DATA\r\n1,100,\"\"\r\n");
}

TEST_F(AreaFixture, SkipExistingListsTheExistingLayer)
{
    Rts({{1, "000100", "1001", "", false}});
    t.settings.SetRadio("RbE2");
    test::WriteFile(dir + "TGR01001CTBNA00.MIF", "x");
    test::WriteFile(dir + "TGR01001CTBNA00.MID", "");
    Layer("CTBNA00|07206");
    EXPECT_EQ(ReadFile(dir + "TGR01001CTBNA00.MIF"), "x");
    ASSERT_EQ(t.recorder.outputs.size(), 1u);
    EXPECT_EQ(t.recorder.outputs[0], dir + "TGR01001CTBNA00.MIF|1");
    EXPECT_TRUE(t.recorder.notices.empty());
}

TEST_F(AreaFixture, MissingRecordFileWritesNothing)
{
    Layer("CTBNA00|07206");
    EXPECT_FALSE(std::filesystem::exists(dir + "TGR01001CTBNA00.MIF"));
    EXPECT_TRUE(t.recorder.errors.empty());
}

TEST_F(AreaFixture, LandmarkPointsCutNamesAndSkipUnplacedOnes)
{
    auto add = [&](int32_t land, const char* cfcc, const std::string& name, GeoPoint at) {
        LandmarkRecord r;
        r.LAND = land;
        std::memcpy(r.CFCC, cfcc, 3);
        r.NAME = cfcc + name;
        r.location = at;
        county.landmarks.push_back(r);
    };
    add(7, "D43", "Lincoln School", {X0, Y0});
    add(8, "D43", std::string(45, 'N'), {X0 + 5, Y0 + 5});
    add(9, "D43", "Nowhere", {0, 0});
    add(10, "D61", "Not Selected", {X0, Y0});
    t.settings.SetBox("CbP4", true);
    t.Replan();
    WriteLandmarkPointsPhase(t.session, county, job);
    EXPECT_EQ(ReadFile(dir + "TGR01001DP.MID"),
              "1,7,\"D43\",\"Lincoln School\"\r\n2,8,\"D43\",\"" + std::string(40, 'N') + "\"\r\n");
    EXPECT_NE(ReadFile(dir + "TGR01001DP.MIF").find("COLUMNS 4\r\nNUM integer\r\nLAND integer\r\nCFCC char (3)\r\n"
                                                   "NAME char (30)\r\nDATA\r\nPOINT -87.000000 41.000000\r\n"),
              std::string::npos);
}

} // namespace
} // namespace zalor
