#include "tiger/record_file.h"

#include "support/recorder.h"
#include "tiger/archive_files.h"
#include "tiger/county_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>

namespace zalor {
namespace {

using test::ReadAll;
using test::ReadFile;
using test::Records;
using test::TempDir;
using test::WriteArchive;
using test::WriteArchiveWithChangedByte;
using test::WriteFile;

enum class Mode { Loose, Archive, Memory };

class RecordFileModes : public ::testing::TestWithParam<Mode> {
protected:
    // Puts `bytes` where a TZipFile can read it as TGR01001.RT1 and opens it.
    TZipFile Open(const std::string& bytes, int length, const std::string& dirName)
    {
        dir_ = TempDir(dirName + "-" + std::to_string(static_cast<int>(GetParam())));
        switch (GetParam()) {
        case Mode::Archive:
            WriteArchive(dir_ + "TGR01001.ZIP", {{"TGR01001.RT1", bytes}});
            return TZipFile(dir_ + "TGR01001.ZIP", "TGR01001.RT1", length);
        case Mode::Memory:
            held_ = bytes;
            return TZipFile::InMemory(dir_ + "TGR01001.RT1", held_, length);
        case Mode::Loose: break;
        }
        WriteFile(dir_ + "TGR01001.RT1", bytes);
        return TZipFile("", dir_ + "TGR01001.RT1", length);
    }
    std::string dir_;
    std::string held_;
};

TEST_P(RecordFileModes, ExactRecordsRaiseTheEndFlagWithTheLastRead)
{
    const std::string bytes = Records(5, 230);
    TZipFile f = Open(bytes, 230, "exact");
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(f.RecordEstimate(), 5);
    int reads = 0;
    while (!f.AtEnd()) {
        std::string_view r = f.ReadRecord();
        EXPECT_EQ(r, std::string_view(bytes).substr(static_cast<std::size_t>(reads) * 230, 230));
        ++reads;
    }
    EXPECT_EQ(reads, 5);
    EXPECT_TRUE(f.ReadRecord().empty());
    EXPECT_TRUE(f.Error().empty());
}

TEST_P(RecordFileModes, EmptyFileIsAtItsEndBeforeTheFirstRead)
{
    TZipFile f = Open("", 230, "empty");
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(f.RecordEstimate(), 0);
}

TEST_P(RecordFileModes, ManyBlocksOfRecords)
{
    // Records straddle the block boundaries of the inflating buffer.
    const std::string bytes = Records(20000, 230);
    TZipFile f = Open(bytes, 230, "blocks");
    auto all = ReadAll(f);
    ASSERT_EQ(all.size(), 20000u);
    EXPECT_EQ(all[4567], bytes.substr(4567u * 230, 230));
    EXPECT_EQ(all.back(), bytes.substr(19999u * 230, 230));
}

TEST_P(RecordFileModes, LfLineEndsAreDetected)
{
    const std::string bytes = test::LfOnly(Records(7, 230));
    TZipFile f = Open(bytes, 230, "lf");
    EXPECT_TRUE(f.LfLineEnds());
    EXPECT_EQ(f.RecordLength(), 229);
    EXPECT_EQ(f.RecordEstimate(), 7);
    auto all = ReadAll(f);
    ASSERT_EQ(all.size(), 7u);
    for (const auto& r : all) {
        EXPECT_EQ(r.size(), 229u);
        EXPECT_EQ(r.back(), '\n');
    }
}

TEST_P(RecordFileModes, LastRecordWithoutLineEndIsKept)
{
    std::string bytes = Records(3, 230);
    bytes.resize(bytes.size() - 2);
    TZipFile f = Open(bytes, 230, "noend");
    auto all = ReadAll(f);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].size(), 228u);
    EXPECT_TRUE(f.Error().empty());
}

TEST_P(RecordFileModes, IncompleteLastRecordIsReportedNotParsed)
{
    std::string bytes = Records(3, 230) + "1  12345";
    TZipFile f = Open(bytes, 230, "partial");
    EXPECT_EQ(ReadAll(f).size(), 3u);
    EXPECT_FALSE(f.Error().empty());
}

TEST_P(RecordFileModes, TrailingLineEndOrEofMarkIsIgnored)
{
    TZipFile f = Open(Records(2, 230) + "\r\n\x1a", 230, "trailer");
    EXPECT_EQ(ReadAll(f).size(), 2u);
    EXPECT_TRUE(f.Error().empty());
}

INSTANTIATE_TEST_SUITE_P(ArchiveLooseAndMemory, RecordFileModes, ::testing::Values(Mode::Loose, Mode::Archive, Mode::Memory),
                         [](const auto& info) {
                             return info.param == Mode::Archive ? "Archive" : info.param == Mode::Memory ? "Memory" : "Loose";
                         });

TEST(RecordFile, MemberLookupPrefersExactCase)
{
    std::string dir = TempDir("member-case");
    WriteArchive(dir + "A.ZIP", {{"tgr17031.rt1", Records(1, 10, 'a')}, {"TGR17031.RT1", Records(1, 10, 'b')}});
    TZipFile exact(dir + "A.ZIP", "TGR17031.RT1", 10);
    ASSERT_FALSE(exact.OpenFailed());
    EXPECT_EQ(exact.ReadRecord().substr(0, 8), "bbbbbbbb");
    EXPECT_EQ(exact.Name(), "TGR17031.RT1");

    WriteArchive(dir + "B.ZIP", {{"tgr17031.rt1", Records(1, 10, 'a')}});
    TZipFile other(dir + "B.ZIP", "TGR17031.RT1", 10);
    ASSERT_FALSE(other.OpenFailed());
    EXPECT_EQ(other.ReadRecord().substr(0, 8), "aaaaaaaa");
    EXPECT_EQ(other.Name(), "tgr17031.rt1");

    EXPECT_TRUE(TZipFile(dir + "B.ZIP", "TGR17031.RT2", 10).OpenFailed());
    EXPECT_TRUE(TZipFile(dir + "MISSING.ZIP", "TGR17031.RT1", 10).OpenFailed());
    WriteFile(dir + "BROKEN.ZIP", "PK\x03\x04 this is no archive");
    EXPECT_TRUE(TZipFile(dir + "BROKEN.ZIP", "TGR17031.RT1", 10).OpenFailed());
}

TEST(RecordFile, ArchiveNameWithMemberOverridesTheFileName)
{
    std::string dir = TempDir("member-arrow");
    WriteArchive(dir + "archive.zip", {{"ANY.RT7", Records(2, 76)}, {"TGR17031.RT7", Records(5, 76)}});
    TZipFile f(dir + "archive.zip>ANY.RT7", "TGR17031.RT1", 76);
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(f.Name(), "ANY.RT7");
    EXPECT_EQ(ReadAll(f).size(), 2u);

    TZipFile g = OpenRecordFile(CountySource{dir + "archive.zip", dir + "archive.zip>ANY.RT7"}, ".RT2", 76);
    ASSERT_FALSE(g.OpenFailed());
    EXPECT_EQ(g.Name(), "ANY.RT7");
}

TEST(RecordFile, DamagedMemberIsReported)
{
    std::string dir = TempDir("member-crc");
    WriteArchiveWithChangedByte(dir + "A.ZIP", "TGR01001.RT5", Records(50, 54), 100);
    TZipFile f(dir + "A.ZIP", "TGR01001.RT5", 54);
    ASSERT_FALSE(f.OpenFailed());
    ReadAll(f);
    EXPECT_NE(f.Error().find("damaged"), std::string::npos);
}

TEST(RecordFile, MemberShorterThanItsStatedSizeIsReported)
{
    std::string dir = TempDir("member-short");
    WriteArchive(dir + "A.ZIP", {{"TGR01001.RT5", Records(10, 54)}}, 0);
    std::string zip = ReadFile(dir + "A.ZIP");
    auto setSize = [&](std::size_t at) { // 1080 little-endian over the stated 540
        ASSERT_EQ(static_cast<unsigned char>(zip[at]) | static_cast<unsigned char>(zip[at + 1]) << 8, 540);
        zip[at] = static_cast<char>(1080 & 0xFF);
        zip[at + 1] = static_cast<char>(1080 >> 8);
    };
    setSize(22);                                      // local header
    setSize(zip.find(std::string("PK\x01\x02", 4)) + 24); // central directory
    WriteFile(dir + "A.ZIP", zip);
    TZipFile f(dir + "A.ZIP", "TGR01001.RT5", 54);
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(f.RecordEstimate(), 20);
    EXPECT_EQ(ReadAll(f).size(), 10u);
    EXPECT_FALSE(f.Error().empty());
}

TEST(OpenRecordFileTest, LooseFilesAreFoundWhateverTheirCase)
{
    std::string dir = TempDir("loose-case");
    WriteFile(dir + "tgr17031.rt1", Records(1, 230));
    WriteFile(dir + "tgr17031.rt2", Records(2, 210));
    const CountySource loose{dir + "tgr17031.rt1", ""};
    TZipFile f = OpenRecordFile(loose, ".RT2", 210);
    ASSERT_FALSE(f.OpenFailed());
    f.SetValidator(nullptr); // the records are placeholders
    EXPECT_EQ(f.Name(), dir + "tgr17031.rt2");
    EXPECT_EQ(ReadAll(f).size(), 2u);
    // The exact name wins over other spellings.
    WriteFile(dir + "tgr17031.RT2", Records(3, 210));
    TZipFile g = OpenRecordFile(loose, ".RT2", 210);
    EXPECT_EQ(g.Name(), dir + "tgr17031.RT2");
    // A missing loose file is an open failure, not an error thrown.
    EXPECT_TRUE(OpenRecordFile(loose, ".RT7", 76).OpenFailed());
    // A directory of that name is no record file.
    std::filesystem::create_directories(dir + "tgr17031.RT8");
    TZipFile h = OpenRecordFile(loose, ".RT8", 38);
    EXPECT_TRUE(h.OpenFailed());
    EXPECT_EQ(h.OpenError(), dir + "tgr17031.RT8 is not a regular file");
}

TEST(OpenRecordFileTest, FilesInMemoryAreTheOnlyOnesRead)
{
    const std::string dir = TempDir("held");
    WriteFile(dir + "TGR01001.RT2", Records(2, 210));
    const std::string rt1 = Records(3, 230);
    const RecordFilesInMemory files = {{".RT1", rt1}};
    const CountySource county{dir + "TGR01001.RT1", "", &files};
    TZipFile f = OpenRecordFile(county, ".RT1", 230);
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(f.Name(), dir + "TGR01001.RT1");
    EXPECT_EQ(f.RecordEstimate(), 3);
    EXPECT_EQ(f.Peek(230), std::string_view(rt1).substr(0, 230));
    // The file on disk beside it is not the county's.
    TZipFile g = OpenRecordFile(county, ".RT2", 210);
    EXPECT_TRUE(g.OpenFailed());
    EXPECT_TRUE(g.OpenError().empty());
}

TEST(OpenRecordFileTest, ArchiveMemberFromUpperCasedBaseName)
{
    std::string dir = TempDir("archive-base");
    WriteArchive(dir + "tgr17031.zip", {{"TGR17031.RTS", Records(3, 122)}});
    TZipFile f = OpenRecordFile(CountySource{dir + "tgr17031.zip", dir + "tgr17031.zip"}, ".RTS", 122);
    ASSERT_FALSE(f.OpenFailed());
    f.SetValidator(nullptr); // the records are placeholders
    EXPECT_EQ(f.Name(), "TGR17031.RTS");
    EXPECT_EQ(ReadAll(f).size(), 3u);
}

} // namespace
} // namespace zalor

namespace zalor {
namespace {

// An archive that cannot be opened is said as such, not as a missing
// record file: out of file descriptors, and a file that is no archive.
TEST(RecordFileOpen, AnArchiveThatCannotBeOpenedIsNoMissingMember)
{
    const std::string dir = test::TempDir("archive-open");
    const std::string zip = dir + "TGR01001.ZIP";
    test::WriteArchive(zip, {{"TGR01001.RT1", std::string(228, '1') + "\r\n"}});
    const CountySource county{zip, zip};
    {
        rlimit old{};
        ::getrlimit(RLIMIT_NOFILE, &old);
        rlimit none = old;
        none.rlim_cur = 3; // stdin, stdout and stderr
        ::setrlimit(RLIMIT_NOFILE, &none);
        TZipFile file = OpenRecordFile(county, ".RT1", 230);
        ::setrlimit(RLIMIT_NOFILE, &old);
        EXPECT_TRUE(file.OpenFailed());
        EXPECT_NE(file.OpenError().find("TGR01001.RT1 in " + zip), std::string::npos) << file.OpenError();
        EXPECT_NE(file.OpenError().find(std::strerror(EMFILE)), std::string::npos) << file.OpenError();
    }
    test::WriteFile(zip, "this is no archive\n");
    TZipFile file = OpenRecordFile(county, ".RT1", 230);
    EXPECT_TRUE(file.OpenFailed());
    EXPECT_NE(file.OpenError().find("no ZIP archive"), std::string::npos) << file.OpenError();
    // A member that is not there is a missing file, not an error.
    test::WriteArchive(zip, {{"TGR01001.RT1", std::string(228, '1') + "\r\n"}});
    TZipFile missing = OpenRecordFile(county, ".RT2", 210);
    EXPECT_TRUE(missing.OpenFailed());
    EXPECT_TRUE(missing.OpenError().empty()) << missing.OpenError();
}

} // namespace
} // namespace zalor
