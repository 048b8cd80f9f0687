// Layer files put in place as a set: temporary names, the removal of the
// temporaries of killed runs, and the check that the files of a
// shapefile layer on disk belong together.
#include "formats/shp/shp.h"
#include "formats/shp/shp_set.h"
#include "formats/staged.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace zalor;
using zalor::test::ReadFile;
using zalor::test::TempDir;
using zalor::test::WriteFile;

namespace {

std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// A point layer of `points` records as shapefiles at `base`.
void WritePoints(const std::string& base, int points)
{
    LayerDefinition def;
    def.geometry = LayerGeometry::Point;
    def.basePath = base;
    def.columns = {{"NUM", ColumnType::Integer}};
    WriteFailures failures;
    auto layer = OpenLayerWriter(kShpFormat, def, failures);
    ASSERT_TRUE(layer);
    for (int i = 0; i < points; ++i) {
        Row row;
        row.Int(i + 1);
        layer->WritePoint({-87000000 + i, 41000000}, row);
    }
    ASSERT_TRUE(layer->Close().empty());
}

// A process id that no process has: a child that has ended and been reaped.
pid_t GonePid()
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(TemporaryNames, FitWhereTheNameFits)
{
    const std::string dir = TempDir("tempnames");
    const std::string shortName = TemporaryPathFor(dir + "TGR17031A");
    EXPECT_EQ(shortName.substr(0, dir.size() + 7), dir + ".zalor-");
    EXPECT_EQ(NameOf(shortName).substr(NameOf(shortName).size() - 9), "TGR17031A");
    EXPECT_NE(TemporaryPathFor(dir + "TGR17031A"), shortName);
    // A name of 248 bytes (252 with its extension, which the file system
    // allows): the temporary name is no longer, and the layer is written.
    const std::string longName(248, 'L');
    const std::string temp = TemporaryPathFor(dir + longName);
    EXPECT_LE(NameOf(temp).size(), longName.size());
    EXPECT_EQ(NameOf(temp).substr(0, 7), ".zalor-");
    WritePoints(dir + longName, 2);
    EXPECT_TRUE(std::filesystem::exists(dir + longName + ".SHP"));
    EXPECT_EQ(ShapefileSetFault(dir + longName), "");
}

TEST(TemporaryNames, StaleOnesOfGoneProcessesAreRemovedAndNothingElse)
{
    const std::string dir = TempDir("stale");
    const std::string gone = std::to_string(GonePid());
    const std::string self = std::to_string(::getpid());
    const std::string older[] = {".zalor-" + gone + "-3-TGR17031A.SHP", ".zalor-" + gone + "-0-TGR17031.gpkg-journal",
                                 ".zalor-" + self + "-9-TGR17031B.SHP",   // this process's own
                                 ".zalor-1-0-TGR17031C.SHP",             // a process that runs (init)
                                 ".zalor-" + gone + "-TGR17031D.SHP",     // not a name of ours
                                 ".zalor-99999999999-1-TGR17031F.SHP",   // no process number
                                 ".TGR17031.gpkg.zalor-lock", "TGR17031A.SHP"};
    for (const std::string& name : older) {
        WriteFile(dir + name, "x");
        const utimbuf old{std::time(nullptr) - 3600, std::time(nullptr) - 3600};
        ::utime((dir + name).c_str(), &old);
    }
    const std::string recent = ".zalor-" + gone + "-4-TGR17031E.SHP"; // made after the run began
    WriteFile(dir + recent, "x");
    std::filesystem::create_directory(dir + ".zalor-" + gone + "-5-dir");

    EXPECT_EQ(RemoveStaleTemporaries(dir, std::time(nullptr) - 60), 2);
    EXPECT_FALSE(std::filesystem::exists(dir + older[0]));
    EXPECT_FALSE(std::filesystem::exists(dir + older[1]));
    for (std::size_t i = 2; i < std::size(older); ++i) EXPECT_TRUE(std::filesystem::exists(dir + older[i])) << older[i];
    EXPECT_TRUE(std::filesystem::exists(dir + recent));
    EXPECT_TRUE(std::filesystem::is_directory(dir + ".zalor-" + gone + "-5-dir"));
    EXPECT_EQ(RemoveStaleTemporaries(dir + "missing/", std::time(nullptr)), 0);
}

// The states a kill between the renames of a set can leave, and damaged
// files, are told apart from a whole set.
TEST(ShapefileSet, FilesThatDoNotBelongTogetherAreFound)
{
    const std::string dir = TempDir("shpset");
    WritePoints(dir + "A", 3);
    WritePoints(dir + "B", 5);
    EXPECT_EQ(ShapefileSetFault(dir + "A"), "");
    EXPECT_EQ(ShapefileSetFault(dir + "B"), "");
    const std::string a = dir + "A";
    const std::string b = dir + "B";
    auto copy = [](const std::string& from, const std::string& to) {
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    };
    // A new .DBF beside the older .SHP and .SHX.
    copy(b + ".DBF", dir + "C.DBF");
    copy(a + ".SHP", dir + "C.SHP");
    copy(a + ".SHX", dir + "C.SHX");
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "C.SHX holds 3 records, C.DBF 5");
    // A new .SHX beside the older .SHP.
    copy(b + ".SHX", dir + "C.SHX");
    copy(b + ".DBF", dir + "C.DBF");
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "C.SHX does not index C.SHP");
    // A .SHP without its .SHX or its .DBF.
    std::filesystem::remove(dir + "C.SHX");
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "its .SHP or .SHX is missing or shorter than a header");
    copy(a + ".SHX", dir + "C.SHX");
    std::filesystem::remove(dir + "C.DBF");
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "its .DBF is missing or shorter than a header");
    // Cut files.
    copy(a + ".DBF", dir + "C.DBF");
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "");
    std::filesystem::resize_file(dir + "C.DBF", std::filesystem::file_size(dir + "C.DBF") - 3);
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "C.DBF is not as long as its header says");
    std::filesystem::resize_file(dir + "C.SHP", std::filesystem::file_size(dir + "C.SHP") - 20);
    EXPECT_EQ(ShapefileSetFault(dir + "C"), "its .SHP or .SHX is not as long as its header says");
}

} // namespace
