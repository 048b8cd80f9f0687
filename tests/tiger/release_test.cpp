#include "tiger/area_sources.h"
#include "tiger/county_release.h"
#include "tiger/layouts.h"
#include "tiger/release.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace zalor {
namespace {

using test::TempDir;
using test::WriteFile;

struct CodeCase {
    const char* code;
    bool known;
    LayoutGroup group;
    const char* name;
};

TEST(ReleaseOfCode, NamesEachReleaseByItsCode)
{
    const CodeCase cases[] = {
        {"0000", true, LayoutGroup::Tiger1990, "TIGER/Line Precensus Files, 1990"},
        {"0003", true, LayoutGroup::Tiger1990, "TIGER/Line Files, 1990"},
        {"0005", true, LayoutGroup::Tiger1990, "TIGER/Line 1992"},
        {"0021", true, LayoutGroup::Tiger1994, "TIGER/Line 1994"},
        {"0024", true, LayoutGroup::Tiger1994, "TIGER/Line 1995"},
        {"0697", true, LayoutGroup::Tiger1994, "TIGER/Line 1997"},
        {"1298", true, LayoutGroup::Tiger1994, "TIGER/Line 1998"},
        {"0499", true, LayoutGroup::Tiger1994, "TIGER/Line 1998"},
        {"0700", true, LayoutGroup::Tiger1999, "TIGER/Line 1999"},
        {"0696", false, LayoutGroup::Tiger2004, "TIGER/Line"},
        {"1198", false, LayoutGroup::Tiger2004, "TIGER/Line"},
        {"1000", true, LayoutGroup::Census2000, "TIGER/Line Redistricting Census 2000"},
        {"0301", true, LayoutGroup::Census2000, "TIGER/Line Census 2000"},
        {"9999", true, LayoutGroup::Census2000, "TIGER/Line UA Census 2000"},
        {"1002", true, LayoutGroup::Tiger2002, "TIGER/Line 2002"},
        {"1203", true, LayoutGroup::Tiger2003, "TIGER/Line 2003"},
        {"0404", true, LayoutGroup::Tiger2004, "TIGER/Line 2004 First Edition"},
        {"1004", true, LayoutGroup::Tiger2004, "TIGER/Line 2004 Second Edition"},
        {"0505", true, LayoutGroup::Tiger2004, "TIGER/Line 2005 First Edition"},
        {"0206", true, LayoutGroup::Tiger2004, "TIGER/Line 2006 First Edition"},
        {"0806", true, LayoutGroup::Tiger2006Second, "TIGER/Line 2006 Second Edition"},
        {"0107", false, LayoutGroup::Tiger2004, "TIGER/Line"},
        {"1306", false, LayoutGroup::Tiger2004, "TIGER/Line"},
        {"12a4", false, LayoutGroup::Tiger2004, "TIGER/Line"},
        {"    ", false, LayoutGroup::Tiger2004, "TIGER/Line"},
    };
    for (const CodeCase& c : cases) {
        bool known = !c.known;
        const Release r = ReleaseOfCode(c.code, known);
        EXPECT_EQ(known, c.known) << c.code;
        EXPECT_EQ(r.group, c.group) << c.code;
        EXPECT_EQ(r.name, c.name) << c.code;
        EXPECT_EQ(r.Text(), std::string(c.name) + " (version " + c.code + ")");
    }
}

TEST(ReleaseOfCode, TheLengthsOverruleTheFamilyButKeepThe108thCd)
{
    bool known = false;
    const Release cd108 = ReleaseInGroup(ReleaseOfCode("0303", known), LayoutGroup::Census2000);
    EXPECT_EQ(cd108.group, LayoutGroup::Census2000);
    EXPECT_EQ(cd108.name, "TIGER/Line 108th CD Census 2000");
    const Release late = ReleaseInGroup(ReleaseOfCode("0301", known), LayoutGroup::Tiger2004);
    EXPECT_TRUE(NewLayouts(late.group));
    EXPECT_EQ(late.code, "0301");
}

TEST(ReleaseOfVintage, TakesTheYearsOfTheReleases)
{
    Release r;
    ASSERT_TRUE(ReleaseOfVintage("2000", r));
    EXPECT_EQ(r.group, LayoutGroup::Census2000);
    ASSERT_TRUE(ReleaseOfVintage("2002", r));
    EXPECT_EQ(r.group, LayoutGroup::Tiger2002);
    ASSERT_TRUE(ReleaseOfVintage("2003", r));
    EXPECT_EQ(r.group, LayoutGroup::Tiger2003);
    ASSERT_TRUE(ReleaseOfVintage("2005", r));
    EXPECT_EQ(r.group, LayoutGroup::Tiger2004);
    ASSERT_TRUE(ReleaseOfVintage("2006", r));
    EXPECT_EQ(r.Text(), "TIGER/Line 2006 Second Edition (version 0806)");
    ASSERT_TRUE(ReleaseOfVintage("1990", r));
    EXPECT_EQ(r.Text(), "TIGER/Line Files, 1990 (version 0003)");
    ASSERT_TRUE(ReleaseOfVintage("1998", r));
    EXPECT_EQ(r.group, LayoutGroup::Tiger1994);
    ASSERT_TRUE(ReleaseOfVintage("1999", r));
    EXPECT_EQ(r.group, LayoutGroup::Tiger1999);
    for (const char* bad : {"1989", "1993", "1996", "2001", "2007", "", "06", "2006 "})
        EXPECT_FALSE(ReleaseOfVintage(bad, r)) << bad;
}

TEST(ReleaseDatum, NAD27BeforeNineteenNinetyFiveAndLocalDatumsLonger)
{
    bool known = false;
    const Release y1990 = ReleaseOfCode("0003", known), y1994 = ReleaseOfCode("0021", known),
                  y1995 = ReleaseOfCode("0024", known), y1999 = ReleaseOfCode("0700", known),
                  y2000 = ReleaseOfCode("0301", known), y2006 = ReleaseOfCode("0806", known);
    EXPECT_EQ(ReleaseDatum(y1990, 17), Datum::Nad27);
    EXPECT_EQ(ReleaseDatum(y1994, 2), Datum::Nad27); // Alaska
    EXPECT_EQ(ReleaseDatum(y1990, 15), Datum::OldHawaiian);
    EXPECT_EQ(ReleaseDatum(y1990, 72), Datum::PuertoRico);
    EXPECT_EQ(ReleaseDatum(y1990, 66), Datum::Guam1963);
    EXPECT_EQ(ReleaseDatum(y1990, 60), Datum::AmericanSamoa1962);
    EXPECT_EQ(ReleaseDatum(y1995, 17), Datum::Nad83);
    EXPECT_EQ(ReleaseDatum(y1995, 72), Datum::Nad83);
    EXPECT_EQ(ReleaseDatum(y1995, 15), Datum::OldHawaiian);
    EXPECT_EQ(ReleaseDatum(y1999, 69), Datum::Guam1963);
    EXPECT_EQ(ReleaseDatum(y2000, 15), Datum::Nad83);
    EXPECT_EQ(ReleaseDatum(y2006, 0), Datum::Nad83);
    // A 1990 code read by the lengths of 2002: those files are on NAD83.
    EXPECT_EQ(ReleaseDatum(ReleaseInGroup(y1990, LayoutGroup::Tiger2004), 17), Datum::Nad83);
}

// Every layer's key lies inside its records in every release, or the
// release says why it has none.
TEST(AreaKeySources, EveryLayerHasAKeyInsideItsRecordsOrAReason)
{
    const char* themes[] = {"W",      "WLND",   "D",     "KGL",     "CNTY",  "FMCD",  "FSMCD",   "FPL",   "CMSAMSA",
                            "PMSA",   "FCCITY", "FAIR",  "AIR",     "TRUST", "ANRC",  "CTBNA00", "BLK00", "BGP00",
                            "CDCU",   "VTD00",  "POLYID", "ZCTA5",  "CBSA",  "CSA",   "METDIV",  "SLDU",  "SLDL",
                            "FAIR90", "FMCD90", "FPL90", "CTBNA90", "BLK90", "AIR90", "CD106",   "CD108", "SDELM",
                            "SDSEC",  "SDUNI",  "TAZ",   "UA",      "URBFLAG", "CTPP"};
    for (int g = 0; g < kLayoutGroups; ++g) {
        const LayoutGroup group = static_cast<LayoutGroup>(g);
        const RecordLayouts& layouts = LayoutsOf(group);
        for (const char* theme : themes) {
            const AreaKeySource s = AreaKeySourceOf(theme, group);
            SCOPED_TRACE(std::string(theme) + " in " + std::string(GroupName(group)));
            if (!s.Present()) {
                EXPECT_FALSE(s.absent.empty());
                continue;
            }
            const int length = layouts.Length(s.records->type);
            ASSERT_GT(length, 0);
            ASSERT_FALSE(s.key.Empty());
            EXPECT_LE(s.key.first, s.key.last);
            EXPECT_LE(s.key.last, length);
        }
    }
    // The fields the old readers got wrong: each key is its whole field.
    EXPECT_EQ(AreaKeySourceOf("AIR", LayoutGroup::Census2000).key.Width(), 4u);
    EXPECT_EQ(AreaKeySourceOf("FPL90", LayoutGroup::Census2000).key.first, 36);
    EXPECT_NE(AreaKeySourceOf("STHOUSE", LayoutGroup::Census2000).key.first,
              AreaKeySourceOf("STSENATE", LayoutGroup::Census2000).key.first);
    // Census 2000 areas from the Census 2000 codes, current ones from RTA.
    EXPECT_EQ(AreaKeySourceOf("BLK00", LayoutGroup::Tiger2004).records->type, 'S');
    EXPECT_EQ(AreaKeySourceOf("FPL", LayoutGroup::Tiger2004).field, "PLACECU");
    EXPECT_EQ(AreaKeySourceOf("W", LayoutGroup::Tiger2006Second).records->type, 'P');
    EXPECT_TRUE(AreaKeySourceOf("PMSA", LayoutGroup::Tiger2003).census2000Only);
    EXPECT_EQ(AreaKeySourceOf("KGL", LayoutGroup::Tiger2002).absent, "no key geographic locations (RT9)");
    // The 1990s: no RTS in 1990 and 1992, the county and polygons from RTA;
    // the columns no real file has confirmed are said.
    EXPECT_EQ(AreaKeySourceOf("FPL", LayoutGroup::Tiger1990).absent, "no current codes (RTS)");
    EXPECT_EQ(AreaKeySourceOf("W", LayoutGroup::Tiger1990).absent, "no polygon water flag (RTS)");
    EXPECT_EQ(AreaKeySourceOf("CNTY", LayoutGroup::Tiger1990).records->type, 'A');
    EXPECT_EQ(AreaKeySourceOf("POLYID", LayoutGroup::Tiger1990).records->type, 'A');
    EXPECT_EQ(AreaKeySourceOf("FPL90", LayoutGroup::Tiger1990).key.first, 36);
    EXPECT_EQ(AreaKeySourceOf("STHOUSE", LayoutGroup::Tiger1994).key.first, 91);
    EXPECT_EQ(AreaKeySourceOf("STHOUSE", LayoutGroup::Tiger1994).key.Width(), 6u);
    EXPECT_EQ(AreaKeySourceOf("BGP00", LayoutGroup::Tiger1994).absent, "no block groups");
    EXPECT_FALSE(AreaKeySourceOf("CD106", LayoutGroup::Tiger1994).Present());
    EXPECT_TRUE(AreaKeySourceOf("CD106", LayoutGroup::Tiger1999).Present());
    EXPECT_EQ(AreaKeySourceOf("SDUNI", LayoutGroup::Tiger1999).uncertain, "RTA after column 50");
    EXPECT_TRUE(AreaKeySourceOf("SDUNI", LayoutGroup::Census2000).uncertain.empty());
    EXPECT_EQ(LayoutsOf(LayoutGroup::Tiger1994).Field('C', "NAME").first, 47);
    EXPECT_EQ(LayoutsOf(LayoutGroup::Census2000).Field('C', "NAME").first, 53);
}

TEST(RecordLayouts, LengthsOfBothFamilies)
{
    const RecordLayouts& old = LayoutsOf(LayoutGroup::Census2000);
    const RecordLayouts& young = LayoutsOf(LayoutGroup::Tiger2006Second);
    const std::pair<char, std::pair<int, int>> lengths[] = {
        {'1', {228, 228}}, {'2', {208, 208}}, {'5', {52, 56}},   {'A', {98, 210}},
        {'C', {112, 122}}, {'I', {52, 127}},  {'S', {120, 168}}, {'9', {88, 0}},
    };
    for (const auto& [type, want] : lengths) {
        EXPECT_EQ(old.Length(type), want.first) << type;
        EXPECT_EQ(young.Length(type), want.second) << type;
    }
    EXPECT_EQ(old.RecordLength('1'), 230);
    EXPECT_TRUE(old.Field('1', "NOSUCHFIELD").Empty());
    EXPECT_EQ(RecordTypeOf(".RT5"), '5');
    EXPECT_EQ(RecordTypeOf(".rta"), 'A');
}

// --- a county's release from its files ----------------------------------------------

std::string Lines(int n, int length, const std::string& head, const char* end = "\r\n")
{
    std::string line = head + std::string(static_cast<std::size_t>(length) - head.size(), ' ');
    std::string out;
    for (int i = 0; i < n; ++i) out += line + end;
    return out;
}

class CountyFiles : public ::testing::Test {
protected:
    void SetUp() override { dir_ = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    void Put(const std::string& ext, const std::string& bytes)
    {
        WriteFile(dir_ + "TGR01001" + ext, bytes);
        held_[ext] = bytes;
    }
    void Remove(const std::string& ext)
    {
        std::remove((dir_ + "TGR01001" + ext).c_str());
        held_.erase(ext);
    }
    void Rt1(const std::string& code) { Put(".RT1", Lines(3, 228, "1" + code)); }
    // The release of the files; the same files held in memory give the same.
    CountyRelease Detect()
    {
        const CountyRelease loose = DetectRelease(CountySource{dir_ + "TGR01001.RT1", ""});
        RecordFilesInMemory files(held_.begin(), held_.end());
        const CountyRelease held = DetectRelease(CountySource{dir_ + "TGR01001.RT1", "", &files});
        EXPECT_EQ(held.found, loose.found);
        EXPECT_EQ(held.release.Text(), loose.release.Text());
        EXPECT_EQ(held.error, loose.error);
        EXPECT_EQ(held.notes, loose.notes);
        return loose;
    }
    std::string dir_;
    std::map<std::string, std::string> held_;
};

TEST_F(CountyFiles, CodeAndLengthsThatAgree)
{
    Rt1("0806");
    Put(".RT5", Lines(2, 56, "5"));
    Put(".RTI", Lines(2, 127, "I", "\n")); // LF line ends
    Put(".RTS", Lines(2, 168, "S", "\r")); // CR line ends
    const CountyRelease r = Detect();
    EXPECT_TRUE(r.found);
    EXPECT_TRUE(r.error.empty()) << r.error;
    EXPECT_TRUE(r.notes.empty());
    EXPECT_EQ(r.release.group, LayoutGroup::Tiger2006Second);
    EXPECT_EQ(r.release.Text(), "TIGER/Line 2006 Second Edition (version 0806)");
}

TEST_F(CountyFiles, TheLengthsDecideAndTheNoteSaysSo)
{
    Rt1("0806");
    Put(".RT5", Lines(2, 52, "5"));
    Put(".RT9", Lines(1, 88, "9"));
    const CountyRelease r = Detect();
    EXPECT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(r.release.group, LayoutGroup::Census2000);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("0806"), std::string::npos) << r.notes[0];
    EXPECT_NE(r.notes[0].find("TGR01001.RT5"), std::string::npos) << r.notes[0];
}

TEST_F(CountyFiles, AnUnknownCodeIsReadByTheLengthsWithANote)
{
    Rt1("7777");
    Put(".RTI", Lines(2, 127, "I"));
    const CountyRelease r = Detect();
    EXPECT_TRUE(r.error.empty()) << r.error;
    EXPECT_TRUE(NewLayouts(r.release.group));
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("7777, which names no known release"), std::string::npos) << r.notes[0];
}

TEST_F(CountyFiles, MixedReleasesAndUnknownLengthsAreErrors)
{
    Rt1("0301");
    Put(".RT5", Lines(2, 52, "5"));
    Put(".RTI", Lines(2, 127, "I"));
    CountyRelease r = Detect();
    EXPECT_NE(r.error.find("different releases"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("TGR01001.RTI (records of 127 characters)"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("TGR01001.RT5 (records of 52 characters)"), std::string::npos) << r.error;

    Put(".RTI", Lines(2, 60, "I"));
    r = Detect();
    EXPECT_EQ(r.error, "TGR01001.RTI has records of 60 characters, which no TIGER/Line release has (version code 0301)");

    // An RT9 (before 2002 only) beside an RTB (from 2002 only).
    Put(".RTI", Lines(2, 52, "I"));
    Put(".RT9", Lines(1, 88, "9"));
    Put(".RTB", Lines(1, 98, "B"));
    Remove(".RT5");
    Remove(".RTI");
    r = Detect();
    EXPECT_NE(r.error.find("TGR01001.RTB"), std::string::npos) << r.error;
}

TEST_F(CountyFiles, NoChainFileLeavesTheDecisionToTheChainReader)
{
    Put(".RT5", Lines(2, 56, "5"));
    EXPECT_FALSE(Detect().found);
    Put(".RT1", "Copyright 2006 by a re-issuer\r\n" + Lines(2, 228, "10806"));
    const CountyRelease r = Detect();
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.release.group, LayoutGroup::Tiger2006Second);
}

} // namespace
} // namespace zalor
