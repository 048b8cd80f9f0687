#include "run/driver.h"
#include "support/recorder.h"
#include "tiger/zip_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace zalor {
namespace {

using test::TestSession;

TEST(Driver, RefusesWhenNothingIsSelected)
{
    TestSession t;
    t.settings.inputs = {{"/x/TGR01001.ZIP", -1}};
    RunResult r = RunConversion(t.session);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(t.recorder.warnings, std::vector<std::string>{"Please Select Features for Output!"});
    EXPECT_TRUE(t.recorder.running.empty());
    EXPECT_TRUE(t.recorder.log.empty());
}

TEST(Driver, TheAllChainsFileAloneIsASelection)
{
    TestSession t;
    t.settings.inputs = {{"/x/TGR01001.ZIP", -1}};
    t.settings.SetBox("CbY0", true);
    EXPECT_FALSE(RunConversion(t.session).refused);
    EXPECT_TRUE(t.recorder.warnings.empty() ||
                t.recorder.warnings.front() != "Please Select Features for Output!");
}

TEST(Driver, EmptyInputListWarnsAndFinishes)
{
    TestSession t;
    t.settings.SetBox("CbA1", true);
    RunResult r = RunConversion(t.session);
    EXPECT_FALSE(r.refused);
    EXPECT_EQ(r.counties, 0);
    EXPECT_EQ(t.recorder.warnings, std::vector<std::string>{"Please Select Files to Process"});
    EXPECT_EQ(t.recorder.running, (std::vector<bool>{true, false}));
    EXPECT_EQ(t.recorder.statuses.back(), "Done!");
    EXPECT_TRUE(t.recorder.Logged("Starting Process"));
    EXPECT_EQ(t.session.runStartMs, 0);
}

TEST(Driver, MissingCountyIsLoggedAndTheNextOneProcessed)
{
    std::string root = test::TempDir("driver-missing");
    TestSession t;
    t.settings.SetBox("CbA1", true);
    t.settings.SetText("Output", root);
    t.settings.inputs = {{root + "in/TGR01001.ZIP", -1}, {root + "in/TGR01003.RT1", -1}};
    RunResult r = RunConversion(t.session);
    EXPECT_EQ(r.counties, 2);
    EXPECT_EQ(r.failed, 2);
    EXPECT_TRUE(t.recorder.Logged("Begin :" + root + "in/TGR01001.ZIP|-1"));
    EXPECT_TRUE(t.recorder.Logged("Error Opening " + root + "in/TGR01001.ZIP"));
    EXPECT_TRUE(t.recorder.Logged("Error Opening " + root + "in/TGR01003.RT1"));
    EXPECT_TRUE(t.recorder.Logged("Complete :" + root + "in/TGR01003.RT1|-1"));
    EXPECT_EQ(t.recorder.errors.size(), 2u);
    EXPECT_NE(t.recorder.statuses.back(), "Done!");
    EXPECT_EQ(t.recorder.counties.front(), "[01001] ");
    // An input that is there but gives no chains says so.
    test::WriteFile(root + "TGR01005.RT1", "");
    t.settings.inputs = {{root + "TGR01005.RT1", -1}};
    t.recorder.errors.clear();
    EXPECT_EQ(RunConversion(t.session).failed, 1);
    EXPECT_EQ(t.recorder.errors,
              std::vector<std::string>{"Error Opening " + root + "TGR01005.RT1: no chains (TGR01005.RT1 is not there or holds none)"});
}

// The result names every county that failed with its errors, in input
// order, whether the counties were converted one at a time or side by side.
TEST(Driver, TheResultNamesTheFailedCountiesAndWhy)
{
    const std::string root = test::TempDir("driver-failures");
    for (unsigned jobs : {1u, 2u}) {
        TestSession t;
        t.session.jobs = jobs;
        t.settings.SetBox("CbA1", true);
        t.settings.SetText("Output", root + "out" + std::to_string(jobs) + "/");
        const std::string sample = std::string(ZALOR_SOURCE_DIR) + "/samples/TGR08901.ZIP";
        t.settings.inputs = {{root + "in/TGR01001.ZIP", -1}, {sample, -1}, {root + "in/TGR01003.RT1", -1}};
        RunResult r = RunConversion(t.session);
        EXPECT_EQ(r.failed, 2) << jobs;
        ASSERT_EQ(r.failures.size(), 2u) << jobs;
        EXPECT_EQ(r.failures[0].input, root + "in/TGR01001.ZIP");
        EXPECT_EQ(r.failures[0].county, "[01001] ");
        EXPECT_EQ(r.failures[0].errors, std::vector<std::string>{"Error Opening " + root + "in/TGR01001.ZIP"});
        EXPECT_EQ(r.failures[1].input, root + "in/TGR01003.RT1");
        EXPECT_EQ(r.failures[1].errors.size(), 1u);
        // The next run starts with none.
        t.settings.inputs = {{sample, -1}};
        EXPECT_TRUE(RunConversion(t.session).failures.empty()) << jobs;
    }
}

TEST(Driver, EmptyOutputRootIsTheCurrentDirectory)
{
    TestSession t;
    t.settings.SetBox("CbA1", true);
    t.settings.SetText("Output", "");
    EXPECT_EQ(RunConversion(t.session).outputRoot, t.settings.currentDir);
}

TEST(Driver, StopEndsTheInputLoop)
{
    std::string root = test::TempDir("driver-stop");
    TestSession t;
    t.settings.SetBox("CbA1", true);
    t.settings.SetText("Output", root);
    t.settings.inputs = {{root + "A.RT1", -1}, {root + "B.RT1", -1}, {root + "C.RT1", -1}};
    // "Stop" pressed while the second county is being started.
    t.recorder.onEvents = [&] {
        if (t.recorder.Logged("Complete :" + root + "A.RT1")) t.session.RequestStop();
    };
    RunResult r = RunConversion(t.session);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.counties, 2);
    EXPECT_FALSE(t.recorder.Logged("Error Opening " + root + "B.RT1"));
    EXPECT_FALSE(t.recorder.Logged("Begin :" + root + "C.RT1"));
    EXPECT_EQ(t.recorder.statuses.back(), "Process Aborted!");
    // The next run starts with the flag cleared.
    t.recorder.onEvents = nullptr;
    t.settings.inputs.clear();
    EXPECT_FALSE(RunConversion(t.session).stopped);
}

TEST(Driver, AStoppedCountyLeavesNoGeoPackage)
{
    const std::string root = test::TempDir("driver-gpkg-stop");
    TestSession t;
    t.settings.SetBox("CbA1", true);
    t.settings.SetBox("CbAr12", true); // census tracts
    t.settings.SetRadio("RbF3");
    t.settings.SetRadio("RbD0");
    t.settings.SetText("Output", root);
    t.settings.inputs = {{std::string(ZALOR_SOURCE_DIR) + "/samples/TGR08901.ZIP", -1}};
    // "Stop" pressed when the roads are done, while the tracts are read.
    t.recorder.onEvents = [&] {
        if (t.recorder.Logged("Geographic Entities")) t.session.RequestStop();
    };
    EXPECT_TRUE(RunConversion(t.session).stopped);
    EXPECT_TRUE(t.recorder.Logged("Created..." + root + "TGR08901.gpkg:A"));
    EXPECT_TRUE(t.recorder.Logged("Incomplete, not kept: " + root + "TGR08901.gpkg (stopped)"));
    EXPECT_TRUE(std::filesystem::is_empty(root));
    EXPECT_TRUE(t.recorder.outputs.empty());
}

// Out of memory is said in words, fails the county and leaves nothing.
TEST(Driver, OutOfMemoryFailsTheCountyInWords)
{
    const std::string root = test::TempDir("driver-oom");
    TestSession t;
    t.settings.SetBox("CbA1", true);
    t.settings.SetRadio("RbF2");
    t.settings.SetRadio("RbD0");
    t.settings.SetText("Output", root);
    const std::string input = std::string(ZALOR_SOURCE_DIR) + "/samples/TGR08901.ZIP";
    t.settings.inputs = {{input, -1}};
    bool thrown = false;
    t.recorder.onEvents = [&] {
        if (!thrown && t.recorder.Logged("Sorting Complete")) {
            thrown = true;
            throw std::bad_alloc();
        }
    };
    const RunResult r = RunConversion(t.session);
    EXPECT_EQ(r.failed, 1);
    ASSERT_FALSE(t.recorder.errors.empty());
    EXPECT_EQ(t.recorder.errors[0], "Error Processing " + input + ": out of memory");
    EXPECT_TRUE(t.recorder.outputs.empty());
    EXPECT_TRUE(std::filesystem::is_empty(root));
}

// The record files of a county held in memory convert as the same files
// on disk do, and no file beside the input is read in their place.
TEST(Driver, ACountyHeldInMemoryConvertsAsItsFiles)
{
    const std::string root = test::TempDir("driver-memory");
    const std::string sample = std::string(ZALOR_SOURCE_DIR) + "/samples/TGR08901.ZIP";
    std::vector<std::string> members;
    ASSERT_EQ(TZipObj::GetZipList(sample, members, 0), 0);
    std::map<std::string, std::string> bytes; // by extension
    for (const std::string& member : members) {
        TZipObj zip;
        ASSERT_EQ(zip.OpenUnZip(sample, member), 0);
        std::string& data = bytes[member.substr(member.find('.'))];
        data.resize(static_cast<std::size_t>(zip.Size()));
        ASSERT_EQ(zip.ReadUnZip(data.data(), data.size()), zip.Size());
    }
    ASSERT_TRUE(bytes.contains(".RT1"));
    std::filesystem::create_directories(root + "in");
    for (const auto& [extension, data] : bytes) test::WriteFile(root + "in/TGR08901" + extension, data);

    auto convert = [&](const std::string& out, const CountySource* held) {
        TestSession t;
        t.settings.SetBox("CbA1", true);
        t.settings.SetBox("CbAr12", true);
        t.settings.SetRadio("RbF2");
        t.settings.SetRadio("RbD0");
        t.settings.SetText("Output", root + out);
        t.settings.inputs = {{root + "in/TGR08901.RT1", -1}};
        t.Replan();
        County county;
        if (held) ProcessCounty(t.session, county, *held);
        else ProcessCounty(t.session, county, root + "in/TGR08901.RT1");
        EXPECT_TRUE(t.recorder.errors.empty()) << out;
        return t.recorder.outputs.size();
    };
    const std::size_t written = convert("disk/", nullptr);
    EXPECT_EQ(written, 2u); // the roads and the tracts
    // On disk the shape points are gone: the county in memory still has them.
    std::filesystem::remove(root + "in/TGR08901.RT2");
    const RecordFilesInMemory files(bytes.begin(), bytes.end());
    const CountySource held{root + "in/TGR08901.RT1", "", &files};
    EXPECT_EQ(convert("memory/", &held), written);
    std::size_t compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root + "disk")) {
        if (!entry.is_regular_file()) continue;
        const std::string relative = std::filesystem::relative(entry.path(), root + "disk").string();
        EXPECT_EQ(test::ReadFile(entry.path().string()), test::ReadFile(root + "memory/" + relative)) << relative;
        ++compared;
    }
    EXPECT_GT(compared, 2u);
}

TEST(Driver, BeepsForCompletionTwice)
{
    TestSession t;
    t.settings.SetBox("CbA1", true);
    t.settings.SetBox("BEEP", true);
    RunConversion(t.session);
    EXPECT_EQ(t.recorder.beeps, 2);
}

TEST(Driver, AutoZipArchiveNames)
{
    EXPECT_EQ(AutoZipArchiveName("/data/TGR17031.ZIP"), "ZGR17031.ZIP");
    EXPECT_EQ(AutoZipArchiveName("/data/tgr17031.zip"), "ZGR17031.ZIP");
    EXPECT_EQ(AutoZipArchiveName("/data/tgr17031.rt1"), "ZGR17031.ZIP");
}

} // namespace
} // namespace zalor
