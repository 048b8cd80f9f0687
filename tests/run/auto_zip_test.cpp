#include "run/auto_zip.h"

#include "support/recorder.h"
#include "tiger/record_file.h"
#include "tiger/zip_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace zalor {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(AutoZip, GathersOnlyTheCountysMapFiles)
{
    std::string dir = TempDir("autozip");
    for (const char* name : {"TGR17031A.MIF", "TGR17031A.MID", "TGR17031.MTD", "TGR17031B.mif", "TGR17031A.SHP",
                             "TGR17043A.MIF", "OTHER.MID"})
        WriteFile(dir + name, std::string("data of ") + name);
    EXPECT_TRUE(AutoZipOutputs(dir + "ZGR17031.ZIP", "TGR17031"));
    std::vector<std::string> list;
    ASSERT_EQ(TZipObj::GetZipList(dir + "ZGR17031.ZIP", list, 0), 0);
    std::sort(list.begin(), list.end());
    // The extensions are compared ignoring case.
    EXPECT_EQ(list, (std::vector<std::string>{"TGR17031.MTD", "TGR17031A.MID", "TGR17031A.MIF", "TGR17031B.mif"}));
    EXPECT_FALSE(std::filesystem::exists(dir + "TGR17031A.MIF"));
    EXPECT_FALSE(std::filesystem::exists(dir + "TGR17031.MTD"));
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR17031A.SHP"));
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR17043A.MIF"));
    EXPECT_TRUE(std::filesystem::exists(dir + "OTHER.MID"));
    TZipFile m(dir + "ZGR17031.ZIP", "TGR17031A.MIF", 4);
    EXPECT_EQ(m.Peek(100), "data of TGR17031A.MIF");
}

TEST(AutoZip, KeepsTheFilesWhenTheArchiveCannotBeWritten)
{
    std::string dir = TempDir("autozip-fail");
    WriteFile(dir + "TGR17031A.MIF", "x");
    EXPECT_TRUE(AutoZipOutputs(dir + "no-such-dir/ZGR17031.ZIP", "TGR17031")); // nothing in that directory
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR17031A.MIF"));
    std::filesystem::create_directories(dir + "ZGR17031.ZIP"); // a directory where the archive belongs
    EXPECT_FALSE(AutoZipOutputs(dir + "ZGR17031.ZIP", "TGR17031"));
    EXPECT_TRUE(std::filesystem::exists(dir + "TGR17031A.MIF"));
}

} // namespace
} // namespace zalor
