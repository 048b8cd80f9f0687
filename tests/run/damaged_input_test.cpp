// Damaged and hostile inputs: each is reported, none is converted as data,
// nothing is written outside the output root.
#include "run/county_reading.h"
#include "run/driver.h"
#include "run/selection.h"
#include "support/recorder.h"
#include "tiger/county_files.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace zalor {
namespace {

using namespace test;
using Files = std::map<std::string, std::string>;

Rt1 Chain(int32_t tlid, int32_t x)
{
    Rt1 c;
    c.tlid = tlid;
    c.fx = x;
    c.fy = 41000000;
    c.tx = x + 1000;
    c.ty = 41000000;
    return c;
}

// Ten chains with shape points and polygon links.
Files TenChains()
{
    Files f;
    for (int i = 1; i <= 10; ++i) {
        f[".RT1"] += Rt1Record(Chain(i, -87000000 + i * 1000));
        f[".RT2"] += Rt2Record(i, 1, {{-87000000 + i * 1000 + 500, 41000100}});
        f[".RTI"] += RtiRecord(i, i, i + 1);
    }
    return f;
}

void WriteLoose(const std::string& dir, const Files& files)
{
    for (const auto& [ext, data] : files) WriteFile(dir + "TGR17031" + ext, data);
}

std::string WriteZip(const std::string& path, const Files& files)
{
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [ext, data] : files) {
        zip_fileinfo info{};
        zipOpenNewFileInZip(zf, ("TGR17031" + ext).c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0);
        zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size()));
        zipCloseFileInZip(zf);
    }
    zipClose(zf, nullptr);
    return path;
}

// Changes a stored member's entries in the archive: `patch` gets the local
// header and the central directory entry of the member named `name`.
void PatchMember(const std::string& path, const std::string& name, void (*patch)(std::string& bytes, std::size_t at,
                                                                                  bool central))
{
    std::string z = ReadFile(path);
    for (std::size_t at = 0; (at = z.find("PK", at)) != std::string::npos; ++at) {
        const bool local = z.compare(at, 4, "PK\3\4") == 0, central = z.compare(at, 4, "PK\1\2") == 0;
        if (!local && !central) continue;
        const std::size_t nameAt = at + (local ? 30 : 46);
        if (z.compare(nameAt, name.size(), name) == 0) patch(z, at, central);
    }
    WriteFile(path, z);
}

struct Damaged : ::testing::Test {
    TestSession t;
    County county;
    std::string dir;
    void SetUp() override { dir = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    void Read(const std::string& input)
    {
        const bool zip = input.size() > 4 && input.substr(input.size() - 4) == ".ZIP";
        const CountySource source{input, zip ? input : std::string()};
        NoteDuplicateMembers(t.session, source);
        ReadChainPhases(t.session, county, source, LayoutsOf(LayoutGroup::Census2000));
    }
    bool Noticed(const std::string& text) const
    {
        for (const std::string& n : t.recorder.notices)
            if (n.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(Damaged, MembersThatCannotBeReadFailTheCounty)
{
    const std::string zip = WriteZip(dir + "TGR17031.ZIP", TenChains());
    // An unknown compression method on the shape points.
    PatchMember(zip, "TGR17031.RT2", [](std::string& z, std::size_t at, bool central) {
        z[at + (central ? 10 : 8)] = 12;
    });
    // The polygon links marked as encrypted.
    PatchMember(zip, "TGR17031.RTI", [](std::string& z, std::size_t at, bool central) {
        z[at + (central ? 8 : 6)] |= 1;
    });
    Read(zip);
    EXPECT_EQ(county.chains.count(), 10);
    EXPECT_TRUE(t.recorder.Logged("Unable to Read TGR17031.RT2 in " + zip + ": compression method 12 is not supported"));
    EXPECT_TRUE(t.recorder.Logged("Unable to Read TGR17031.RTI in " + zip + ": the member is encrypted"));
    EXPECT_EQ(t.session.countyErrors, 2);
    EXPECT_EQ(t.recorder.errors.size(), 2u);
}

TEST_F(Damaged, AbsentRecordFilesAreWarningsAndTwiceNamedMembersAreSaid)
{
    Files f = TenChains();
    f.erase(".RT2");
    WriteLoose(dir, f);
    t.settings.SetBox("CbAr12", true);
    Read(dir + "TGR17031.RT1");
    EXPECT_EQ(t.session.countyErrors, 0);
    EXPECT_TRUE(Noticed("TGR17031.RT2 not found: the chains are written as straight lines"));
    EXPECT_TRUE(t.recorder.Logged("TGR17031.RT2 not found"));

    TestSession u;
    t.recorder.notices.clear();
    Files twice = TenChains();
    const std::string zip = dir + "TGR17031.ZIP";
    WriteZip(zip, twice);
    // A second member of the same name, appended.
    zipFile zf = zipOpen64(zip.c_str(), APPEND_STATUS_ADDINZIP);
    zip_fileinfo info{};
    zipOpenNewFileInZip(zf, "TGR17031.RT1", &info, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    zipWriteInFileInZip(zf, "x", 1);
    zipCloseFileInZip(zf);
    zipClose(zf, nullptr);
    county.Release();
    Read(zip);
    EXPECT_TRUE(Noticed("TGR17031.RT1 is in TGR17031.ZIP 2 times: the first named TGR17031.RT1 is read"));
    EXPECT_EQ(county.chains.count(), 10);
}

TEST_F(Damaged, RecordsOfNoKindAreCountedAndPassedOver)
{
    Files f = TenChains();
    std::string rt1 = f[".RT1"];
    rt1 += "X" + Rt1Record(Chain(11, -87000000)).substr(1);                     // wrong record type
    rt1 += Rt1Record(Chain(12, -87000000)).replace(5, 10, "   12A3456");        // a letter in the identifier
    rt1 += Rt1Record(Chain(13, -87000000)).replace(190, 10, Signed(-200000000, 10)); // 200 degrees west
    rt1 += std::string(228, ' ') + "\r\n";                                       // blank
    f[".RT1"] = rt1;
    WriteLoose(dir, f);
    Read(dir + "TGR17031.RT1");
    EXPECT_EQ(county.chains.count(), 10);
    for (int32_t i = 1; i <= county.chains.count(); ++i) EXPECT_GT(county.chains[i].from.y, 0);
    EXPECT_TRUE(Noticed("4 records of TGR17031.RT1 rejected: wrong record type (the first is record 11)"));
    EXPECT_EQ(t.session.countyErrors, 0);

    // Mostly garbage: the county fails.
    std::string junk;
    for (int i = 0; i < 30; ++i) junk += std::string(228, 'q') + "\r\n";
    f[".RT1"] += junk;
    WriteLoose(dir, f);
    TestSession u;
    County other;
    ReadChainPhases(u.session, other, CountySource{dir + "TGR17031.RT1", ""}, LayoutsOf(LayoutGroup::Census2000));
    EXPECT_TRUE(u.recorder.Logged("the file is mostly not records of its type"));
    EXPECT_EQ(u.session.countyErrors, 1);
}

TEST_F(Damaged, RecordsThatDriftAreAnError)
{
    // LF line ends, and one record a character too long: every field after
    // it would come from the wrong columns.
    Files f = TenChains();
    std::string rt1 = LfOnly(f[".RT1"]);
    rt1.insert(3 * 229 + 100, "7");
    f[".RT1"] = rt1;
    for (const auto& [ext, data] : f) WriteFile(dir + "TGR17031" + ext, ext == ".RT1" ? data : LfOnly(data));
    Read(dir + "TGR17031.RT1");
    EXPECT_EQ(county.chains.count(), 3); // the records before it
    EXPECT_TRUE(t.recorder.Logged("record 4 does not end where a record ends"));
    EXPECT_EQ(t.session.countyErrors, 1);
}

TEST_F(Damaged, UnsafeSuffixesAndSpecialFilesAreRefused)
{
    t.settings.SetBox("CbA1", true);
    t.settings.SetText("Output", dir + "out/");
    for (const char* bad : {"../../escape", "sub/A", "..", "a\\b", ""}) {
        t.settings.SetText("Asuf", bad);
        EXPECT_EQ(UnsafeOutputNames(t.settings).rfind("Roads File Suffix \"" + std::string(bad) + "\": ", 0), 0u)
            << bad;
        RunResult r = RunConversion(t.session);
        EXPECT_TRUE(r.refused) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "out"));
    t.settings.SetText("Asuf", "A.1");
    EXPECT_EQ(UnsafeOutputNames(t.settings), "");

    // A pipe given as a county, and a pipe as a record file: refused at once.
    ASSERT_EQ(::mkfifo((dir + "TGR17031.ZIP").c_str(), 0600), 0);
    t.settings.inputs = {{dir + "TGR17031.ZIP", 0}};
    RunResult r = RunConversion(t.session);
    EXPECT_EQ(r.failed, 1);
    EXPECT_TRUE(t.recorder.Logged("Error Opening " + dir + "TGR17031.ZIP: not a regular file"));
    WriteLoose(dir, TenChains());
    std::filesystem::remove(dir + "TGR17031.RT2");
    ASSERT_EQ(::mkfifo((dir + "TGR17031.RT2").c_str(), 0600), 0);
    Read(dir + "TGR17031.RT1");
    EXPECT_TRUE(t.recorder.Logged("Unable to Read " + dir + "TGR17031.RT2 is not a regular file"));
}

TEST_F(Damaged, ADirectoryLevelThatIsALinkIsNotWrittenThrough)
{
    WriteLoose(dir, TenChains());
    const std::string outside = TempDir("outside-root");
    std::filesystem::create_directories(dir + "out");
    std::filesystem::create_directory_symlink(outside, dir + "out/17");
    t.settings.SetBox("CbA4", true);
    t.settings.SetRadio("RbD1"); // out/17/
    t.settings.SetText("Output", dir + "out/");
    t.settings.inputs = {{dir + "TGR17031.RT1", 1}};
    RunResult r = RunConversion(t.session);
    EXPECT_EQ(r.failed, 1);
    EXPECT_TRUE(t.recorder.Logged("Unable to Create Directory " + dir + "out/17: a link is in its place"));
    EXPECT_TRUE(std::filesystem::is_empty(outside));
}

TEST_F(Damaged, ALogFileThatCannotBeWrittenIsAnError)
{
    t.settings.SetBox("CbA1", true);
    t.settings.SetText("Log", dir + "no-such-dir/ZALOR.LOG");
    RunResult r = RunConversion(t.session);
    EXPECT_TRUE(r.logFailed);
    ASSERT_EQ(t.recorder.errors.size(), 1u); // said once, not at every line
    EXPECT_EQ(t.recorder.errors[0].rfind("Unable to Write Log File " + dir + "no-such-dir/ZALOR.LOG", 0), 0u);
}

TEST_F(Damaged, PathsKeepTheirBarsAndFoldersNamedLikeArchives)
{
    EXPECT_EQ(EntryText({"/data|2006/TGR17031.ZIP", 1234}), "/data|2006/TGR17031.ZIP|1,234");
    // Loose files in a folder whose name ends in ".zip".
    const std::string folder = dir + "counties.zip/";
    std::filesystem::create_directories(folder);
    WriteLoose(folder, TenChains());
    t.settings.SetBox("CbA4", true);
    t.settings.SetRadio("RbD0");
    t.settings.SetText("Output", dir + "out/");
    std::filesystem::create_directories(dir + "out");
    t.settings.inputs = {{folder + "TGR17031.RT1", 1}};
    RunResult r = RunConversion(t.session);
    EXPECT_EQ(r.failed, 0);
    EXPECT_TRUE(t.recorder.Logged("Total Chains=10"));
}

} // namespace
} // namespace zalor
