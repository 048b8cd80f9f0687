#include "formats/kxf/kxf.h"
#include "formats/kxf/kxf_codec.h"
#include "formats/mif/mif.h"
#include "formats/shp/dbf.h"
#include "formats/shp/shp.h"
#include "run/county_output.h"
#include "support/recorder.h"
#include "tiger/county.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>

namespace zalor {
namespace {

using test::ReadFile;

void AddChain(County& county, int32_t tlid, const char* cfcc, GeoPoint from, GeoPoint to,
              std::vector<GeoPoint> shapes = {}, const char* name = "")
{
    ChainRecord& c = county.chains.Append();
    c.TLID = tlid;
    std::memcpy(c.CFCC, cfcc, 3);
    c.from = from;
    c.to = to;
    c.NAME = county.names.Intern(name);
    county.chains.SetShapes(c, shapes);
}

struct LineFixture : ::testing::Test {
    test::TestSession t;
    County county;
    CountyPlan job;
    std::string dir;

    void SetUp() override
    {
        dir = test::TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        job.source = CountySource{"/in/tgr01001.zip", "/in/tgr01001.zip"};
        job.baseName = "TGR01001";
        job.outputDirectory = dir;
        job.format = &kMifFormat;
        AddChain(county, 100, "A41", {-87000000, 41000000}, {-87001000, 41000000}, {}, "Main St");
        AddChain(county, 101, "A41", {-87001000, 41000000}, {-87001000, 41001000}, {{-87000500, 41000500}},
                 "NE Martin Luther King Jr Memorial Blvd");
        AddChain(county, 102, "H11", {-87002000, 41000000}, {-87002000, 41000000}, {{-87003000, 41001000}});
        AddChain(county, 103, "D43", {-87001000, 41001000}, {-87004000, 41004000});
        county.extent = {-87004000, 41000000, -87000000, 41004000};
    }
    // The line group `mask` of the settings as they are now, as base + `suffix`.
    void Write(int mask, const std::string& suffix)
    {
        for (LineGroupPlan group : t.Replan().lineGroups) {
            if (group.mask != mask) continue;
            group.suffix = suffix;
            WriteLineGroupPhase(t.session, county, job, group);
        }
    }
};

TEST_F(LineFixture, EmptySelectionWritesAndLogsNothing)
{
    Write(1, "A");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_TRUE(t.recorder.log.empty());
    EXPECT_TRUE(t.recorder.outputs.empty());
}

TEST_F(LineFixture, MifRoadFileByteForByte)
{
    t.settings.SetBox("CbA4", true);
    Write(1, "A");
    EXPECT_EQ(ReadFile(dir + "TGR01001A.MIF"),
              "Version 450\r\nCharset \"WindowsLatin1\"\r\nDelimiter \",\"\r\nCoordsys Earth Projection 1,74\r\n"
              "COLUMNS 5\r\nNUM integer\r\nTLID integer\r\nCFCC char (3)\r\nNAME char (41)\r\nNAME1 char (41)\r\n"
              "\r\nDATA\r\n"
              "PLINE\r\n2\r\n-87.000000 41.000000\r\n-87.001000 41.000000\r\nPEN (1,2,128)\r\n"
              "PLINE\r\n3\r\n-87.001000 41.000000\r\n-87.000500 41.000500\r\n-87.001000 41.001000\r\nPEN (1,2,128)\r\n");
    EXPECT_EQ(ReadFile(dir + "TGR01001A.MID"), "1,100,\"A41\",\"Main St\",\"\"\r\n"
                                               "2,101,\"A41\",\"NE Martin Luther King Jr Memorial Blvd\",\"\"\r\n");
    EXPECT_TRUE(t.recorder.Logged("Saving .../in/tgr01001.zip"));
    EXPECT_TRUE(t.recorder.Logged("Created..." + dir + "TGR01001A.MIF"));
    ASSERT_EQ(t.recorder.outputs.size(), 1u);
    EXPECT_EQ(t.recorder.outputs[0].substr(0, dir.size() + 13), dir + "TGR01001A.MIF");
    EXPECT_EQ(t.recorder.statuses.front(), "Creating... TGR01001A.MIF");
}

TEST_F(LineFixture, SelectionWithoutChainsWritesTheHeadsOnly)
{
    t.settings.SetBox("CbB1", true);
    Write(2, "B");
    std::string mif = ReadFile(dir + "TGR01001B.MIF");
    EXPECT_EQ(mif.substr(mif.size() - 6), "DATA\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR01001B.MID"));
    EXPECT_EQ(ReadFile(dir + "TGR01001B.MID"), "");
}

TEST_F(LineFixture, NumOnlyWhenEveryFieldIsOff)
{
    t.settings.SetBox("CbA4", true);
    for (const char* q : {"CbQ01", "CbQ02", "CbQ03", "CbQ04"}) t.settings.SetBox(q, false);
    Write(1, "A");
    EXPECT_NE(ReadFile(dir + "TGR01001A.MIF").find("COLUMNS 1\r\nNUM integer\r\n\r\nDATA\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir + "TGR01001A.MID"), "1\r\n2\r\n");
}

TEST_F(LineFixture, NodesAreNumberedInOrderAndWritten)
{
    t.settings.SetBox("CbY0", true);
    t.settings.SetBox("CbQ47", true);
    for (const char* q : {"CbQ38", "CbQ39", "CbQ40", "CbQ41"}) t.settings.SetBox(q, false);
    Write(255, "ALL");
    // Chains 2 and 4 share nodes with earlier ones; chain 3 is closed on itself.
    EXPECT_EQ(ReadFile(dir + "TGR01001ALL.MID"), "1,1,2\r\n2,2,3\r\n3,4,4\r\n4,3,5\r\n");
    std::string nodes = ReadFile(dir + "TGR01001ALLN.MIF");
    EXPECT_NE(nodes.find("COLUMNS 1\r\nNODE integer\r\nDATA\r\nPOINT -87.000000 41.000000\r\n"
                         "POINT -87.001000 41.000000\r\nPOINT -87.001000 41.001000\r\n"
                         "POINT -87.002000 41.000000\r\nPOINT -87.004000 41.004000\r\n"),
              std::string::npos);
    EXPECT_EQ(ReadFile(dir + "TGR01001ALLN.MID"), "1\r\n2\r\n3\r\n4\r\n5\r\n");
    ASSERT_EQ(t.recorder.outputs.size(), 2u);
    EXPECT_EQ(t.recorder.outputs[1].substr(0, dir.size() + 16), dir + "TGR01001ALLN.MIF");
}

TEST_F(LineFixture, LandmarkLineCfccBoxGivesNodesToo)
{
    t.settings.SetBox("CbZ4", true);
    for (const char* q : {"CbQ27", "CbQ31", "CbQ32"}) t.settings.SetBox(q, false);
    Write(8, "DL");
    EXPECT_NE(ReadFile(dir + "TGR01001DL.MIF").find("COLUMNS 4\r\nNUM integer\r\nFNODE integer\r\nTNODE integer\r\n"
                                                   "CFCC char (3)\r\n\r\nDATA"),
              std::string::npos);
    EXPECT_EQ(ReadFile(dir + "TGR01001DL.MID"), "1,1,2,\"D43\"\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR01001DLN.MIF"));
}

TEST_F(LineFixture, SkipExistingFilesListsTheExistingFile)
{
    t.settings.SetBox("CbA4", true);
    t.settings.SetRadio("RbE2");
    test::WriteFile(dir + "TGR01001A.MIF", "old");
    test::WriteFile(dir + "TGR01001A.MID", "");
    Write(1, "A");
    EXPECT_EQ(ReadFile(dir + "TGR01001A.MIF"), "old");
    ASSERT_EQ(t.recorder.outputs.size(), 1u);
    EXPECT_EQ(t.recorder.outputs[0], dir + "TGR01001A.MIF|3");
    EXPECT_FALSE(t.recorder.Logged("Created..."));
}

// A set of which a file is missing (a run killed while putting the files
// in place, or a file removed since) is not kept: it is written again.
TEST_F(LineFixture, SkipExistingWritesAnIncompleteSetAgain)
{
    t.settings.SetBox("CbA4", true);
    t.settings.SetRadio("RbE2");
    test::WriteFile(dir + "TGR01001A.MIF", "old");
    Write(1, "A");
    EXPECT_NE(ReadFile(dir + "TGR01001A.MIF"), "old");
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR01001A.MID"));
    ASSERT_EQ(t.recorder.notices.size(), 1u);
    EXPECT_EQ(t.recorder.notices[0],
              dir + "TGR01001A.MIF is not kept: its .MID is missing or not a file; it is written again");
}

// A name as long as a chain record's name fields can make it (prefix, 30
// characters and type) is whole in the table, which declares its code page.
TEST_F(LineFixture, ShapefileHoldsTheLongestNameWholeAndDeclaresLatin1)
{
    job.format = &kShpFormat;
    t.settings.SetBox("CbA4", true);
    Write(1, "A");
    Tdbx dbf(dir + "TGR01001A.DBF", Tdbx::kRead);
    ASSERT_TRUE(dbf.ReadRecord(2));
    EXPECT_EQ(dbf.GetFieldText(4), "NE Martin Luther King Jr Memorial Blvd");
    EXPECT_EQ(dbf.Field(4).Length(), 41);
    EXPECT_EQ(dbf.GetFieldText(2), "101");
    EXPECT_EQ(dbf.LanguageDriver(), Tdbx::kLatin1Driver);
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR01001A.SHX"));
    EXPECT_NE(ReadFile(dir + "TGR01001A.PRJ").find("North_American_1983"), std::string::npos);
    EXPECT_EQ(ReadFile(dir + "TGR01001A.CPG"), "88591");
}

TEST_F(LineFixture, KxfHeaderHoldsTheCountyLimits)
{
    job.format = &kKxfFormat;
    t.settings.SetBox("CbH1", true);
    t.settings.SetBox("CbQ18", true); // CFCC on the hydrography page
    Write(64, "H");
    std::string kxf = ReadFile(dir + "TGR01001H.KXF");
    KxfHeader h;
    ASSERT_TRUE(DecodeKxfHeader({reinterpret_cast<const unsigned char*>(kxf.data()), kxf.size()}, h));
    EXPECT_EQ(h.recordCount, 1);
    EXPECT_EQ(h.box.minX, -87004000);
    EXPECT_EQ(h.box.maxY, 41004000);
    EXPECT_EQ(ReadFile(dir + "TGR01001H.MTD"), "FIELDS 2\r\nNUM integer\r\nCFCC char (3)\r\n\r\nDATA\r\n1,\"H11\"\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "TGR01001HN.MIF"));
}

// Writes beyond a file size limit fail (EFBIG) instead of ending the process.
TEST_F(LineFixture, WriteFailuresFailTheCountyAndLeaveNoFiles)
{
    t.settings.SetBox("CbA4", true);
    test::WriteFile(dir + "TGR01001A.MIF", "an older file");
    {
        test::FileSizeLimit limit(100); // the MIF file's head alone is longer
        Write(1, "A");
    }
    ASSERT_FALSE(t.recorder.errors.empty());
    EXPECT_EQ(t.recorder.errors[0], "Error Writing " + dir + "TGR01001A.MIF: File too large");
    EXPECT_EQ(t.session.countyErrors, 1);
    // Nothing half-written: the older file is untouched, no temporary file is left, nothing is listed.
    EXPECT_EQ(ReadFile(dir + "TGR01001A.MIF"), "an older file");
    EXPECT_FALSE(std::filesystem::exists(dir + "TGR01001A.MID"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
    EXPECT_TRUE(t.recorder.outputs.empty());
    EXPECT_TRUE(t.recorder.Logged("Incomplete, not kept: " + dir + "TGR01001A.MIF"));
    EXPECT_FALSE(t.recorder.Logged("Created..."));
}

TEST_F(LineFixture, AnOutputThatIsALinkIsReplacedNotWrittenThrough)
{
    t.settings.SetBox("CbA4", true);
    const std::string outside = test::TempDir("outside-the-root") + "victim";
    test::WriteFile(outside, "keep me");
    std::filesystem::create_symlink(outside, dir + "TGR01001A.MID");
    Write(1, "A");
    EXPECT_TRUE(t.recorder.errors.empty());
    EXPECT_EQ(ReadFile(outside), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(dir + "TGR01001A.MID"));
    EXPECT_EQ(ReadFile(dir + "TGR01001A.MID").substr(0, 6), "1,100,");
}

TEST_F(LineFixture, StopDuringALayerRemovesItsFiles)
{
    t.settings.SetBox("CbA4", true);
    t.recorder.onEvents = [&] { t.session.RequestStop(); }; // at the first progress report
    Write(1, "A");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_TRUE(t.recorder.outputs.empty());
    EXPECT_TRUE(t.recorder.Logged("Incomplete, not kept: " + dir + "TGR01001A.MIF (stopped)"));
}

TEST_F(LineFixture, StopRequestedWritesNothing)
{
    t.settings.SetBox("CbA4", true);
    t.session.RequestStop();
    Write(1, "A");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

} // namespace
} // namespace zalor
