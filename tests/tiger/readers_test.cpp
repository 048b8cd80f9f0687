#include "run/county_reading.h"
#include "tiger/chains.h"
#include "tiger/county.h"
#include "tiger/fields.h"
#include "tiger/record_file.h"
#include "tiger/records.h"

#include "tiger/county_files.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cctype>
#include <cstring>
#include <map>
#include <sstream>

namespace zalor {
namespace {

using namespace test;

using Files = std::map<std::string, std::string>; // extension -> contents

Rt1 Chain(int32_t tlid, const char* cfcc, int32_t fx, int32_t fy, int32_t tx, int32_t ty)
{
    Rt1 c;
    c.tlid = tlid;
    c.cfcc = cfcc;
    c.fx = fx;
    c.fy = fy;
    c.tx = tx;
    c.ty = ty;
    return c;
}

// A small county: five chains (not in identifier order), shape points,
// alternate names, polygon links, entity names and landmarks.
Files SampleCounty()
{
    Files f;
    Rt1 main = Chain(300, "A41", -87500000, 41500000, -87490000, 41500000);
    main.dirp = "N";
    main.name = "Main";
    main.type = "St";
    main.fraddl = 100, main.toaddl = 198, main.fraddr = 101, main.toaddr = 199;
    main.zipl = main.zipr = "02134";
    main.fmcdl = "12345", main.fmcdr = "12346";
    main.fpll = "00100", main.fplr = "00100";
    Rt1 river = Chain(100, "H11", -87600000, 41400000, -87550000, 41450000);
    Rt1 west = Chain(200, "B11", -87500000, 41300000, -87450000, 41350000);
    west.dirp = "W";
    Rt1 coded = Chain(123456789, "A41", -87400000, 41600000, -87390000, 41610000);
    coded.name = "Oak";
    coded.type = "Ave";
    coded.fmcdl = "12345";
    Rt1 big = Chain(1234567890, "A41", -87300000, 41700000, -87290000, 41710000);
    big.name = "Main";
    f[".RT1"] = Rt1Record(main) + Rt1Record(river) + Rt1Record(west) + Rt1Record(big) + Rt1Record(coded);
    // The address 123-45 of the coded chain is not a plain number.
    std::string& rt1 = f[".RT1"];
    rt1.replace(4 * 230 + 58, 11, Right("123-45", 11));

    std::vector<std::pair<int32_t, int32_t>> ten, three;
    for (int i = 0; i < 10; ++i) ten.push_back({-87499000 + i * 1000, 41500000 + (i % 2) * 500});
    three = {{-87489000, 41499000}, {-87488900, 41498650}, {-87488800, 41498400}};
    f[".RT2"] = Rt2Record(300, 1, ten) + Rt2Record(300, 2, three) + Rt2Record(999, 1, {{-1, 1}, {-2, 2}}) +
                Rt2Record(100, 1, {}) + Rt2Record(200, 1, {{-87480000, 41320000}, {-87470000, 41340000}});

    f[".RT5"] = Rt5Record("N", "Main", "St", "E") + Rt5Record("", "", "", "") + Rt5Record("", "Elm", "Ave", "");
    f[".RT4"] = Rt4Record(300, 1, 1, 3, 3) + Rt4Record(300, 2, 0, 2, 7) + Rt4Record(555, 1, 1, 1, 1) +
                Rt4Record(200, 1, 3, 0, 0) + Rt4Record(1234567890, 1, 3, 0, 0);
    f[".RTI"] = RtiRecord(300, 11, 12) + RtiRecord(100, 13, 14) + RtiRecord(777, 1, 2) + RtiRecord(300, 21, 22) +
                RtiRecord(1234567890, 31, 32);
    f[".RTC"] = RtcRecord('C', {{6, "17031"}}, "Cook County") + RtcRecord('C', {{6, "17043"}}, "DuPage County") +
                RtcRecord('M', {{15, "12345"}}, "Evanston Township") +
                RtcRecord('A', {{22, "9"}, {26, "1600"}}, "Chicago MSA") +
                RtcRecord('I', {{15, "05680"}, {35, "1234"}}, "Prairie Band Area") +
                RtcRecord('T', {{6, "17031"}}, "Tract") + RtcRecord('Z', {{30, "55555"}}, "Unknown After T") +
                RtcRecord('P', {{15, "14000"}}, "Chicago") + RtcRecord('Q', {{15, "14001"}}, "Unknown After P") +
                RtcRecord('P', {{15, "14002"}, {50, "123"}}, "Oak Park"); // column 52 is not the name
    f[".RT7"] = Rt7Record(1, "D43", "  Lincoln School", -87510000, 41510000) +
                Rt7Record(2, "D31", std::string(30, 'x'), -87520000, 41520000);
    return f;
}

void WriteLoose(const std::string& dir, const Files& files, bool lf, const std::string& base = "TGR17031")
{
    for (const auto& [ext, data] : files) WriteFile(dir + base + ext, lf ? LfOnly(data) : data);
}

std::string WriteZip(const std::string& dir, const Files& files)
{
    const std::string path = dir + "TGR17031.ZIP";
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [ext, data] : files) {
        zip_fileinfo info{};
        zipOpenNewFileInZip(zf, ("TGR17031" + ext).c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9);
        zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size()));
        zipCloseFileInZip(zf);
    }
    zipClose(zf, nullptr);
    return path;
}

CountySource Source(const std::string& path)
{
    const bool archive = path.size() > 4 && (path.substr(path.size() - 4) == ".ZIP");
    return CountySource{path, archive ? path : std::string()};
}

// The readers in the order the driver calls them.
void ReadCounty(Session& session, County& county, const std::string& path)
{
    ReadEntityNamesPhase(session, county, Source(path), Release());
    county.chains.Release();
    ReadChainPhases(session, county, Source(path), LayoutsOf(LayoutGroup::Census2000));
    ReadLandmarksPhase(session, county, Source(path), LayoutsOf(LayoutGroup::Census2000));
}

// Every table of a county as text.
std::string Dump(const County& county)
{
    std::ostringstream o;
    const ChainTable& t = county.chains;
    auto name = [&](NameId id) { return id ? "'" + std::string(county.names.Text(id)) + "'" : std::string("-"); };
    for (int32_t i = 1; i <= t.count(); ++i) {
        const ChainRecord& c = t[i];
        o << c.TLID << ' ' << c.Cfcc() << ' ' << name(c.NAME) << ' ' << name(c.NAME1) << ' ' << name(c.NAME2) << ' '
          << name(c.NAME3) << ' ' << c.TOADDL << ' ' << c.FRADDL << ' ' << c.FRADDR << ' ' << c.TOADDR << ' '
          << c.ZIPL << ' ' << c.ZIPR << ' ' << c.FMCDL << ' ' << c.FMCDR << ' ' << c.FPLL << ' ' << c.FPLR << ' '
          << c.polyLeft << ' ' << c.polyRight << ' ' << c.from.x << ',' << c.from.y << ' ' << c.to.x << ','
          << c.to.y << " [";
        for (const GeoPoint& p : t.Shapes(c)) o << ' ' << p.x << ',' << p.y;
        o << " ]\n";
    }
    for (std::size_t k = 1; k < county.altNames.size(); ++k) o << "alt " << k << ' ' << name(county.altNames[k]) << '\n';
    for (const auto& e : county.entityNames) o << "entity " << e.entityType << ' ' << e.entityCode << ' ' << e.entityName << '\n';
    o << "county " << county.countyName << '\n';
    o << "extent " << county.extent.minX << ' ' << county.extent.minY << ' ' << county.extent.maxX << ' '
      << county.extent.maxY << '\n';
    for (const auto& m : county.landmarks)
        o << "landmark " << m.LAND << ' ' << m.CFCC << ' ' << m.NAME << ' ' << m.location.x << ',' << m.location.y << '\n';
    return o.str();
}

const ChainRecord& ById(const County& county, int32_t tlid)
{
    int32_t i = county.chains.FindChainById(tlid);
    EXPECT_GT(i, 0) << tlid;
    return county.chains[i > 0 ? i : 1];
}

std::string NameOf(const County& county, NameId id) { return std::string(county.names.Text(id)); }

class SampleCountyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        WriteLoose(dir, SampleCounty(), false);
        ReadCounty(t.session, county, dir + "TGR17031.RT1");
    }
    std::string dir;
    TestSession t;
    County county;
};

TEST(FieldToIntTest, NumbersAndCodes)
{
    EXPECT_EQ(FieldToInt("  00123"), 123);
    EXPECT_EQ(FieldToInt("     "), 0);
    EXPECT_EQ(FieldToInt(""), 0);
    EXPECT_EQ(FieldToInt("-12"), -12);
    EXPECT_EQ(FieldToInt("+41500000"), 41500000);
    EXPECT_EQ(static_cast<uint32_t>(FieldToInt("123-45")), 2231105845u); // 123[45
    EXPECT_EQ(FieldToInt("123-45"), -2063861451);
    EXPECT_EQ(FieldToInt("A1"), static_cast<int32_t>(381u | 0x80000000u));
    EXPECT_EQ(FieldToInt("12:5"), 0);
    EXPECT_EQ(FieldToInt("1+2"), 0);
    EXPECT_EQ(FieldToInt("99999999999"), 0);
    EXPECT_EQ(FieldToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(FieldToInt("\t 7\r\n"), 7);
    EXPECT_LT(FieldToInt("12A"), 0); // codes have bit 31 set, so they sort first
}

TEST(NameStoreTest, OneHandlePerDistinctText)
{
    NameStore store;
    EXPECT_EQ(store.Intern(""), 0u);
    NameId main = store.Intern("Main");
    EXPECT_EQ(store.Intern("Main"), main);
    EXPECT_NE(store.Intern("MAIN"), main); // byte-wise distinct
    EXPECT_NE(store.Intern("Main "), main);
    std::string_view text = store.Text(main);
    // Many more names: handles and texts stay as they were.
    std::vector<NameId> ids;
    for (int i = 0; i < 200000; ++i) ids.push_back(store.Intern("Street " + std::to_string(i)));
    EXPECT_EQ(store.NameCount(), 200003);
    EXPECT_EQ(text.data(), store.Text(main).data());
    EXPECT_EQ(store.Text(ids[123456]), "Street 123456");
    EXPECT_EQ(store.Intern("Street 77"), ids[77]);
    EXPECT_EQ(store.Text(0), "");
    EXPECT_EQ(store.Text(999999), "");
    store.Clear();
    EXPECT_EQ(store.NameCount(), 0);
    EXPECT_EQ(store.Intern("Main"), 1u);
}

TEST_F(SampleCountyTest, ChainsAreReadInIdentifierOrder)
{
    ASSERT_EQ(county.chains.count(), 5);
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= 5; ++i) ids.push_back(county.chains[i].TLID);
    EXPECT_EQ(ids, (std::vector<int32_t>{100, 200, 300, 123456789, 1234567890}));

    const ChainRecord& main = ById(county, 300);
    EXPECT_EQ(main.Cfcc(), "A41");
    EXPECT_EQ(NameOf(county, main.NAME), "N Main St");
    EXPECT_EQ(main.FRADDL, 100);
    EXPECT_EQ(main.TOADDL, 198);
    EXPECT_EQ(main.FRADDR, 101);
    EXPECT_EQ(main.TOADDR, 199);
    EXPECT_EQ(main.ZIPL, 2134);
    EXPECT_EQ(main.FMCDL, 12345);
    EXPECT_EQ(main.FMCDR, 12346);
    EXPECT_EQ(main.FPLL, 100);
    EXPECT_EQ(main.from, (GeoPoint{-87500000, 41500000}));
    EXPECT_EQ(main.to, (GeoPoint{-87490000, 41500000}));
    EXPECT_EQ(ById(county, 100).NAME, 0u);          // no name parts: no name
    EXPECT_EQ(NameOf(county, ById(county, 200).NAME), "W "); // prefix alone keeps its blank
    EXPECT_EQ(NameOf(county, ById(county, 123456789).NAME), "Oak Ave");
    EXPECT_EQ(ById(county, 123456789).FRADDL, FieldToInt("123-45"));
    EXPECT_EQ(NameOf(county, ById(county, 1234567890).NAME), "Main"); // ten-digit identifiers

    EXPECT_TRUE(t.recorder.Logged("Reading Chains: 5"));
    EXPECT_TRUE(t.recorder.Logged("Total Chains=5"));
    EXPECT_TRUE(t.recorder.Logged("Total MCD's=3")); // 0, 12345, 12346
    EXPECT_TRUE(t.recorder.Logged("Feature Names=4")); // N Main St, W , Main, Oak Ave
    EXPECT_TRUE(t.recorder.Logged("Sorting By IDs 5"));
    EXPECT_TRUE(t.recorder.Logged("Chain Sorting Completed"));
}

TEST_F(SampleCountyTest, ShapePointsGoToTheirChains)
{
    const ChainRecord& main = ById(county, 300);
    auto pts = county.chains.Shapes(main);
    ASSERT_EQ(pts.size(), 13u); // two records of one chain, nothing collinear
    EXPECT_EQ(pts[0], (GeoPoint{-87499000, 41500000}));
    EXPECT_EQ(pts[12], (GeoPoint{-87488800, 41498400}));
    EXPECT_EQ(ById(county, 100).shapeCount, 0); // a record whose first longitude is 0
    EXPECT_EQ(county.chains.Shapes(ById(county, 200)).size(), 2u); // not mixed with the unknown chain before it
    EXPECT_EQ(ById(county, 123456789).shapeCount, 0);
    EXPECT_TRUE(t.recorder.Logged("Reading Shapes:"));
    EXPECT_TRUE(t.recorder.Logged("Total Shapes=4"));
}

TEST_F(SampleCountyTest, AlternateNamesFollowTheRt4Rules)
{
    EXPECT_EQ(NameOf(county, county.altNames[1]), "N Main St E");
    EXPECT_EQ(county.altNames[2], 0u);
    EXPECT_EQ(NameOf(county, county.altNames[3]), "Elm Ave");
    const ChainRecord& main = ById(county, 300);
    EXPECT_EQ(NameOf(county, main.NAME1), "N Main St E"); // FEAT1 0 in the second record keeps it
    EXPECT_EQ(main.NAME2, 0u);                              // number 2 names a blank record
    EXPECT_EQ(main.NAME3, 0u);                              // number 7 is beyond the names read
    EXPECT_EQ(NameOf(county, ById(county, 200).NAME1), "Elm Ave");
    EXPECT_EQ(NameOf(county, ById(county, 1234567890).NAME1), "Elm Ave"); // ten-digit identifiers
    EXPECT_EQ(ById(county, 100).NAME1, 0u);
    EXPECT_TRUE(t.recorder.Logged("Feature Names = 3"));
    EXPECT_TRUE(t.recorder.Logged("-- Complete 5"));
}

TEST_F(SampleCountyTest, PolygonLinksAndExtent)
{
    EXPECT_EQ(ById(county, 300).polyLeft, 21); // the last record wins
    EXPECT_EQ(ById(county, 300).polyRight, 22);
    EXPECT_EQ(ById(county, 100).polyLeft, 13);
    EXPECT_EQ(ById(county, 200).polyLeft, 0);
    EXPECT_EQ(ById(county, 1234567890).polyRight, 32); // ten-digit identifiers
    EXPECT_TRUE(t.recorder.Logged("Total Polygons=5"));
    EXPECT_TRUE(t.recorder.Logged("Limits=-87600000, 41300000 : -87290000, 41710000"));
}

TEST_F(SampleCountyTest, EntityNamesAndCountyName)
{
    EXPECT_EQ(county.countyName, "Cook County");
    EXPECT_EQ(county.EntityName('C', 17043), "   DuPage County");
    EXPECT_EQ(county.EntityName('M', 12345), "   Evanston Township");
    EXPECT_EQ(county.EntityName('A', 1600), "   Chicago MSA");
    EXPECT_EQ(county.EntityName('I', 1234), "   Prairie Band Area");
    EXPECT_EQ(county.EntityName('F', 5680), "   Prairie Band Area");
    EXPECT_EQ(county.EntityName('T', 0), "   Tract");
    EXPECT_EQ(county.EntityName('Z', 0), "   Unknown After T");
    EXPECT_EQ(county.EntityName('Q', 14001), "   Unknown After P");
    EXPECT_EQ(county.EntityName('P', 14002), "   Oak Park");
    EXPECT_EQ(county.EntityName('0', 0), "");
    EXPECT_TRUE(t.recorder.Logged("Reading Entity Names:"));
}

TEST_F(SampleCountyTest, Landmarks)
{
    ASSERT_EQ(county.landmarks.size(), 2u);
    EXPECT_EQ(county.landmarks[0].LAND, 1);
    EXPECT_STREQ(county.landmarks[0].CFCC, "D43");
    EXPECT_EQ(county.landmarks[0].NAME, "D43Lincoln School");
    EXPECT_EQ(county.landmarks[0].location, (GeoPoint{-87510000, 41510000}));
    EXPECT_EQ(county.landmarks[1].NAME.size(), 33u);
    EXPECT_TRUE(t.recorder.Logged("Reading Landmark Points:"));
    EXPECT_FALSE(t.recorder.Logged("Error Reading Landmarks"));
    EXPECT_TRUE(t.recorder.errors.empty());
}

TEST(Readers, ArchiveLooseAndLfOnlyGiveTheSameTables)
{
    const Files files = SampleCounty();
    std::string loose = TempDir("same-loose"), lf = TempDir("same-lf"), zip = TempDir("same-zip");
    WriteLoose(loose, files, false);
    WriteLoose(lf, files, true);
    const std::string archive = WriteZip(zip, files);

    TestSession a, b, c;
    County ca, cb, cc;
    ReadCounty(a.session, ca, loose + "TGR17031.RT1");
    ReadCounty(b.session, cb, lf + "TGR17031.RT1");
    ReadCounty(c.session, cc, archive);
    const std::string expected = Dump(ca);
    EXPECT_NE(expected.find("county Cook County"), std::string::npos);
    EXPECT_EQ(Dump(cb), expected);
    EXPECT_EQ(Dump(cc), expected);
    EXPECT_TRUE(a.recorder.errors.empty());
    EXPECT_TRUE(b.recorder.errors.empty());
    EXPECT_TRUE(c.recorder.errors.empty());
    EXPECT_TRUE(b.recorder.Logged("Reading Chains: 5"));
    EXPECT_TRUE(b.recorder.Logged("-- Complete 5"));
}

TEST(Readers, LowerCaseLooseFilesAreFound)
{
    std::string dir = TempDir("lower-loose");
    Files files = SampleCounty();
    for (const auto& [ext, data] : files) {
        std::string lower = "tgr17031" + ext;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        WriteFile(dir + lower, data);
    }
    TestSession t;
    County county;
    ReadCounty(t.session, county, dir + "tgr17031.rt1");
    EXPECT_EQ(county.chains.count(), 5);
    EXPECT_EQ(ById(county, 300).shapeCount, 13);
    EXPECT_EQ(county.countyName, "Cook County");
    EXPECT_EQ(county.landmarks.size(), 2u);
}

TEST(Readers, MissingLooseRecordFilesAreSkipped)
{
    std::string dir = TempDir("missing-loose");
    WriteFile(dir + "TGR17031.RT1", SampleCounty()[".RT1"]);
    TestSession t;
    County county;
    county.countyName = "Left From Before";
    ReadCounty(t.session, county, dir + "TGR17031.RT1");
    EXPECT_EQ(county.chains.count(), 5);
    EXPECT_EQ(county.countyName, "");
    EXPECT_TRUE(t.recorder.Logged("Error Reading " + dir + "TGR17031.RTC"));
    EXPECT_TRUE(t.recorder.Logged("Error Reading Landmarks"));
    EXPECT_FALSE(t.recorder.Logged("Total Shapes="));
    EXPECT_FALSE(t.recorder.Logged("Total Polygons="));
    EXPECT_FALSE(t.recorder.Logged("Feature Names = "));
    EXPECT_FALSE(t.recorder.Logged("-- Complete"));
    EXPECT_TRUE(t.recorder.errors.empty()); // a missing record type does not fail the county

    // No RT1 at all: no chains, nothing raised.
    TestSession u;
    County none;
    ReadCounty(u.session, none, dir + "TGR99999.RT1");
    EXPECT_EQ(none.chains.count(), 0);
}

TEST(Readers, MissingArchiveMembersAreSkipped)
{
    std::string dir = TempDir("missing-member");
    const std::string archive = WriteZip(dir, {{".RT1", SampleCounty()[".RT1"]}});
    TestSession t;
    County county;
    ReadCounty(t.session, county, archive);
    EXPECT_EQ(county.chains.count(), 5);
    EXPECT_TRUE(t.recorder.Logged("Error Reading TGR17031.RTC"));
    EXPECT_TRUE(t.recorder.Logged("Error Reading Landmarks"));
    EXPECT_TRUE(t.recorder.errors.empty());
}

TEST(Readers, EntityRecordLengthFollowsTheFirstLine)
{
    std::string dir = TempDir("rtc-length");
    // 110-character records: record length 112.
    std::string rtc;
    for (const char* n : {"Cook County", "Second"}) {
        std::string r = RtcRecord('C', {{6, "17031"}}, n);
        rtc += r.substr(0, 110) + "\r\n";
    }
    WriteFile(dir + "TGR17031.RTC", rtc);
    TestSession t;
    County county;
    ReadEntityNamesPhase(t.session, county, Source(dir + "TGR17031.RT1"), Release());
    ASSERT_EQ(county.entityNames.size(), 2u);
    EXPECT_EQ(county.entityNames[1].entityName, "Second");
    EXPECT_EQ(county.countyName, "Second"); // every record of the county itself sets it

    // No line end within the first 228 bytes: an error, no names.
    WriteFile(dir + "TGR17031.RTC", std::string(1000, 'C'));
    TestSession u;
    ReadEntityNamesPhase(u.session, county, Source(dir + "TGR17031.RT1"), Release());
    EXPECT_TRUE(county.entityNames.empty());
    EXPECT_EQ(county.countyName, "");
    EXPECT_TRUE(u.recorder.Logged("Error Reading " + dir + "TGR17031.RTC"));

    // An empty file holds no names and is no error.
    WriteFile(dir + "TGR17031.RTC", "");
    TestSession v;
    ReadEntityNamesPhase(v.session, county, Source(dir + "TGR17031.RT1"), Release());
    EXPECT_TRUE(county.entityNames.empty());
    EXPECT_TRUE(v.recorder.errors.empty());
}

TEST(Readers, LongChainsKeepEveryShapePoint)
{
    std::string dir = TempDir("long-chain");
    WriteFile(dir + "TGR01001.RT1", Rt1Record(Chain(5, "A41", -80000000, 40000000, -79000000, 40000000)));
    std::string rt2;
    int n = 0;
    for (int rec = 0; rec < 6000; ++rec) {
        std::vector<std::pair<int32_t, int32_t>> pts;
        for (int k = 0; k < 10; ++k, ++n) pts.push_back({-80000000 + n * 10, 40000000 + (n % 2) * 10});
        rt2 += Rt2Record(5, rec % 1000, pts);
    }
    WriteFile(dir + "TGR01001.RT2", rt2);
    TestSession t;
    County county;
    ReadChainPhases(t.session, county, Source(dir + "TGR01001.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_EQ(county.chains[1].shapeCount, 60000);
    EXPECT_TRUE(t.recorder.Logged("Total Shapes=1"));
}

TEST(Readers, DamagedShapeFileKeepsCompleteChainsOnly)
{
    std::string dir = TempDir("rt2-damaged");
    WriteFile(dir + "TGR01001.RT1", Rt1Record(Chain(1, "A41", -1, 1, -2, 2)) + Rt1Record(Chain(2, "A41", -1, 1, -2, 2)));
    WriteFile(dir + "TGR01001.RT2", Rt2Record(1, 1, {{-5, 5}}) + Rt2Record(2, 1, {{-6, 6}}) + "2 1006 trunc");
    TestSession t;
    County county;
    ReadChainPhases(t.session, county, Source(dir + "TGR01001.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_EQ(county.chains[1].shapeCount, 1);
    EXPECT_EQ(county.chains[2].shapeCount, 0);
    EXPECT_TRUE(t.recorder.Logged("Error Reading Shape File!"));
    EXPECT_EQ(t.session.countyErrors, 1);
}

TEST(Readers, PrecisionAppliesToEveryCoordinate)
{
    std::string dir = TempDir("precision");
    WriteLoose(dir, SampleCounty(), false);
    TestSession t;
    t.settings.SetText("DIG", "4");
    t.Replan();
    County county;
    ReadCounty(t.session, county, dir + "TGR17031.RT1");
    EXPECT_EQ(ById(county, 300).shapeCount, 13);
    EXPECT_EQ(county.chains.Shapes(ById(county, 300))[12], (GeoPoint{-87488800, 41498400}));
    EXPECT_EQ(county.chains.Shapes(ById(county, 300))[0], (GeoPoint{-87499000, 41500000}));
    WriteFile(dir + "TGR17031.RT7", Rt7Record(1, "D43", "X", -87654321, 41599999));
    ReadLandmarksPhase(t.session, county, Source(dir + "TGR17031.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_EQ(county.landmarks[0].location, (GeoPoint{-87654300, 41599900}));
}

TEST(Readers, StopDuringChainsStillTotalsAndOrders)
{
    std::string dir = TempDir("stop-chains");
    std::string rt1;
    for (int i = 600; i > 0; --i) rt1 += Rt1Record(Chain(i, "A41", -1, 1, -2, 2));
    WriteFile(dir + "TGR01001.RT1", rt1);
    TestSession t;
    t.recorder.onEvents = [&] {
        if (t.recorder.statuses.size() >= 3) t.session.RequestStop(); // after record 257
    };
    County county;
    ReadChainPhases(t.session, county, Source(dir + "TGR01001.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_GT(county.chains.count(), 0);
    EXPECT_LT(county.chains.count(), 600);
    EXPECT_TRUE(t.recorder.Logged("Total Chains=" + std::to_string(county.chains.count())));
    EXPECT_TRUE(t.recorder.Logged("Feature Names=0"));
    EXPECT_TRUE(t.recorder.Logged("Chain Sorting Completed"));
    EXPECT_LT(county.chains[1].TLID, county.chains[2].TLID);
}

TEST(Readers, McdCodesGatherAcrossCounties)
{
    std::string dir = TempDir("mcd");
    WriteLoose(dir, SampleCounty(), false);
    TestSession t;
    County county;
    ReadChainPhases(t.session, county, Source(dir + "TGR17031.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_EQ(t.session.mcdCodes.Count(), 3);
    ReadChainPhases(t.session, county, Source(dir + "TGR17031.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_EQ(t.session.mcdCodes.Count(), 3);
    Rt1 other = Chain(1, "A41", -1, 1, -2, 2);
    other.fmcdl = "99999";
    WriteFile(dir + "TGR17043.RT1", Rt1Record(other));
    ReadChainPhases(t.session, county, Source(dir + "TGR17043.RT1"), LayoutsOf(LayoutGroup::Census2000));
    EXPECT_EQ(t.session.mcdCodes.Count(), 4);
}

TEST(Sorting, OrdersAreDeterministic)
{
    TestSession t;
    County county;
    auto add = [&](int32_t tlid, const char* cfcc, int32_t mcd, int32_t x, int32_t y) {
        ChainRecord& c = county.chains.Append();
        c.TLID = tlid;
        std::memcpy(c.CFCC, cfcc, 3);
        c.FMCDL = mcd;
        c.from = {x, y};
    };
    add(1, "B11", 5, -10, 3);
    add(2, "A41", 5, -10, 2);
    add(3, "H11", FieldToInt("X1"), -20, 9);
    add(4, "A41", 2, -30, 1);
    add(5, "A15", 5, -10, 2);
    auto order = [&] {
        std::vector<int32_t> ids;
        for (int32_t i = 1; i <= county.chains.count(); ++i) ids.push_back(county.chains[i].TLID);
        return ids;
    };
    t.settings.SetRadio("RbO4");
    t.Replan();
    OrderChainsPhase(t.session, county);
    EXPECT_EQ(order(), (std::vector<int32_t>{5, 2, 4, 1, 3})); // equal codes keep their order
    EXPECT_TRUE(t.recorder.Logged("Sorting By CFCC 5"));
    ASSERT_FALSE(t.recorder.log.empty());
    EXPECT_EQ(t.recorder.log.back().rfind("~1 : CFCC Sorting Completed ...", 0), 0u);
    EXPECT_EQ(t.recorder.log.back().substr(t.recorder.log.back().size() - 3), " ms");

    SortChainsById(county.chains);
    EXPECT_EQ(order(), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    t.settings.SetRadio("RbO3");
    t.Replan();
    OrderChainsPhase(t.session, county);
    EXPECT_EQ(order(), (std::vector<int32_t>{3, 4, 2, 5, 1})); // a coded MCD is negative: first
    EXPECT_TRUE(t.recorder.Logged("MCD Sorting Completed"));
    SortChainsById(county.chains);
    t.settings.SetRadio("RbO2");
    t.Replan();
    OrderChainsPhase(t.session, county);
    EXPECT_EQ(order(), (std::vector<int32_t>{4, 3, 2, 5, 1}));
    EXPECT_TRUE(t.recorder.Logged("Sorting Spatially 5"));
}

TEST(Sorting, SequentialLookupsAgreeWithTheBinarySearch)
{
    County county;
    for (int32_t id : {1, 2, 2, 3, 5, 8}) county.chains.Append().TLID = id;
    ChainFinder finder(county.chains);
    for (int32_t id : {1, 2, 3, 5, 8, 8, 7, 1, 3, 2, 9})
        EXPECT_EQ(finder.Find(id), county.chains.FindChainById(id)) << id;
}

} // namespace
} // namespace zalor
