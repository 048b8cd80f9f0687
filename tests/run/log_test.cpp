#include "run/log.h"
#include "run/output_directories.h"
#include "support/recorder.h"
#include "tiger/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zalor {
namespace {

using test::TestSession;

TEST(Log, FormatThousandsAndElapsedTime)
{
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1234), "1,234");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatThousands(123456), "123,456");
    EXPECT_EQ(FormatThousands(-1), "-1");
    EXPECT_EQ(FormatThousands(-1234), "-1,234");
    EXPECT_EQ(ElapsedText(83456), "01:23.456");
    EXPECT_EQ(ElapsedText(0), "00:00.000");
    EXPECT_EQ(ElapsedText(73607), "01:13.607");
    EXPECT_EQ(ElapsedText(125 * 60000 + 1), "125:00.001");
}

TEST(Log, NamesOfPaths)
{
    EXPECT_EQ(FileNamePart("/data/tgr17031.zip"), "tgr17031.zip");
    EXPECT_EQ(DirectoryPart("/data/tgr17031.zip"), "/data/");
    EXPECT_EQ(DirectoryPart("tgr17031.zip"), "");
    EXPECT_EQ(OutputBaseName("/data/tgr17031.zip"), "TGR17031");
    EXPECT_EQ(OutputBaseName("TGR17031.RT1"), "TGR17031");
    EXPECT_EQ(OutputBaseName("/a.b/NODOT"), "NODOT");
}

TEST(Log, ListKeepsTheLast300LinesDroppingTwentyAtATime)
{
    TestSession t;
    for (int i = 1; i <= 301; ++i) t.session.report.LogLine("line " + std::to_string(i));
    const auto& list = t.session.report.Log().List();
    ASSERT_EQ(list.size(), 281u);
    EXPECT_EQ(list.front(), "21 : line 21");
    EXPECT_EQ(list.back(), "301 : line 301");
    EXPECT_EQ(t.session.report.Log().Counter(), 301);
}

TEST(Log, FileGetsTextWithoutCounterAndDisabledLogsWriteNothing)
{
    std::string dir = test::TempDir("logfile");
    TestSession t;
    t.settings.SetText("Log", dir + "ZALOR.LOG");
    t.Replan();
    t.session.report.LogLine("Starting Process");
    t.session.report.LogLine("Done");
    EXPECT_EQ(test::ReadFile(dir + "ZALOR.LOG"), "Starting Process\r\nDone\r\n");

    t.settings.SetBox("DisableLogs", true);
    t.settings.SetText("Log", dir + "OTHER.LOG");
    t.Replan();
    t.session.report.LogLine("hidden");
    EXPECT_FALSE(std::filesystem::exists(dir + "OTHER.LOG"));
    EXPECT_EQ(t.session.report.Log().Counter(), 2);
    // Replacing the last line still works with logs disabled, and writes no file.
    t.session.report.ReplaceLastLogLine("CFCC Sorting Completed ...5 ms");
    EXPECT_EQ(t.session.report.Log().List().back(), "2 : CFCC Sorting Completed ...5 ms");
    EXPECT_FALSE(std::filesystem::exists(dir + "OTHER.LOG"));
}

TEST(Log, ReplaceOnEmptyListAppends)
{
    TestSession t;
    t.session.report.ReplaceLastLogLine("x");
    ASSERT_EQ(t.session.report.Log().List().size(), 1u);
    EXPECT_EQ(t.session.report.Log().List().front(), "0 : x");
}

TEST(Log, ProgressPercentages)
{
    TestSession t;
    t.session.report.ShowProgress(1, 3);
    t.session.report.ShowProgress(3, 3);
    t.session.report.ShowProgress(5, 0);
    t.session.report.ShowProgress(3000000000LL, 4000000000LL);
    EXPECT_EQ(t.recorder.progress, (std::vector<int>{33, 100, 75}));
}

TEST(Log, OutputEntriesListSizesNewestFirstAndBeep)
{
    // A directory name may hold a bracket: the path is listed as it is.
    std::string dir = test::TempDir("outputs[1]");
    test::WriteFile(dir + "A.MIF", std::string(1234, 'x'));
    TestSession t;
    t.settings.SetBox("BEEP", true);
    t.Replan();
    t.session.report.AddOutputEntry(dir + "A.MIF");
    t.session.report.AddOutputEntry(dir + "A.MIF", OutputEntry::State::Kept);
    t.session.report.AddOutputEntry(dir + "MISSING.MIF");
    // A file listed twice (the same county converted twice) is listed once, as its newest entry.
    const auto& out = t.session.report.Outputs().Entries();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].path, dir + "MISSING.MIF");
    EXPECT_EQ(out[0].size, 0);
    EXPECT_EQ(out[1].path, dir + "A.MIF");
    EXPECT_EQ(out[1].size, 1234);
    EXPECT_EQ(out[1].state, OutputEntry::State::Kept);
    EXPECT_EQ(t.recorder.outputs, (std::vector<std::string>{dir + "A.MIF|1,234", dir + "A.MIF|1,234", dir + "MISSING.MIF|0"}));
    EXPECT_EQ(t.recorder.beeps, 3);
    t.settings.SetBox("BEEP", false);
    t.Replan();
    t.session.report.CompletionSignal();
    EXPECT_EQ(t.recorder.beeps, 3);
}

TEST(Log, CountyDirectorySchemes)
{
    namespace fs = std::filesystem;
    std::string root = test::TempDir("schemes");
    std::string failure;
    EXPECT_EQ(PrepareCountyDirectory(root, "TGR17031.ZIP", "Cook", DirectoryScheme::None, failure), root);
    EXPECT_EQ(PrepareCountyDirectory(root, "TGR17031.ZIP", "Cook", DirectoryScheme::State, failure), root + "17/");
    EXPECT_EQ(PrepareCountyDirectory(root, "TGR17031.ZIP", "Cook", DirectoryScheme::StateAndCounty, failure), root + "17/17031/");
    EXPECT_TRUE(fs::is_directory(root + "17/17031"));
    EXPECT_EQ(PrepareCountyDirectory(root, "TGR17031.ZIP", "Cook County", DirectoryScheme::StateAndCountyName, failure), root + "17/Cook County/");
    EXPECT_TRUE(fs::is_directory(root + "17/Cook County"));
    // A county without a name (no entity names) is named by its code.
    EXPECT_EQ(PrepareCountyDirectory(root, "TGR17031.ZIP", "", DirectoryScheme::StateAndCountyName, failure), root + "17/17031/");
    // A root without its separator gets one; a missing root level is created.
    EXPECT_EQ(PrepareCountyDirectory(root + "new", "TGR17031.ZIP", "", DirectoryScheme::None, failure), root + "new/");
    EXPECT_TRUE(fs::is_directory(root + "new"));
    EXPECT_EQ(failure, "");
}

TEST(Log, CountyNamesCannotLeaveTheOutputRoot)
{
    namespace fs = std::filesystem;
    std::string root = test::TempDir("unsafe");
    std::string failure;
    for (const char* name : {"..", "../../etc", "a/../../b", ".", "x\\..\\y", "tab\tname\n"}) {
        std::string d = PrepareCountyDirectory(root, "TGR17031.ZIP", name, DirectoryScheme::StateAndCountyName, failure);         fs::path rel = fs::weakly_canonical(d).lexically_relative(fs::weakly_canonical(root));
        EXPECT_FALSE(rel.empty()) << name;
        EXPECT_NE(rel.begin()->string(), "..") << name;
        EXPECT_EQ(d.substr(0, root.size() + 3), root + "17/") << name;
        EXPECT_EQ(std::count(d.begin() + root.size() + 3, d.end(), '/'), 1) << name;
        EXPECT_TRUE(fs::is_directory(d)) << name;
    }
    // Odd input file names cannot climb out either.
    std::string d = PrepareCountyDirectory(root, "TGR..x.ZIP", "", DirectoryScheme::StateAndCounty, failure);     EXPECT_EQ(d, root + "__/..x.Z/");
}

// A level that cannot be made fails the county with the system's reason,
// not with whatever the first file written into it would say.
TEST(Log, UncreatableDirectoryGivesItsReason)
{
    const std::string root = test::TempDir("uncreatable");
    test::WriteFile(root + "17", "a file where the state level goes");
    std::string failure;
    EXPECT_EQ(PrepareCountyDirectory(root, "TGR17031.ZIP", "Cook", DirectoryScheme::StateAndCounty, failure), "");
    EXPECT_EQ(failure, "Unable to Create Directory " + root + "17: something else is in its place");
    EXPECT_EQ(PrepareCountyDirectory(root + "17/x", "TGR17031.ZIP", "", DirectoryScheme::None, failure), "");
    EXPECT_EQ(failure, "Unable to Create Directory " + root + "17/x/: Not a directory");
    EXPECT_EQ(CreateDirectoryLevel("/proc/zalor-cannot-create"),
              "Unable to Create Directory /proc/zalor-cannot-create: No such file or directory");
}

} // namespace
} // namespace zalor
