#include "tiger/zip_archive.h"

#include "support/recorder.h"
#include "tiger/archive_files.h"
#include "tiger/record_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>

namespace zalor {
namespace {

using test::ReadAll;
using test::ReadFile;
using test::Records;
using test::TempDir;
using test::WriteArchive;
using test::WriteArchiveWithChangedByte;
using test::WriteFile;

// Writes `text` gzip-compressed to `path`.
void WriteGzip(const std::string& path, const std::string& text)
{
    gzFile g = gzopen(path.c_str(), "wb");
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(gzwrite(g, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
    ASSERT_EQ(gzclose(g), Z_OK);
}

TEST(ZipHelpers, MaskMatching)
{
    EXPECT_TRUE(ZipMaskMatches("TGR17031.RT1", ""));
    EXPECT_TRUE(ZipMaskMatches("TGR17031.RT1", "*.*"));
    EXPECT_TRUE(ZipMaskMatches("TGR17031.RT1", "*"));
    EXPECT_TRUE(ZipMaskMatches("TGR17031.RT1", "*.RT?"));
    EXPECT_TRUE(ZipMaskMatches("tgr17031.rt1", "TGR?????.RT*"));
    EXPECT_TRUE(ZipMaskMatches("TGR17031.RTC", "TGR*.rtc"));
    EXPECT_FALSE(ZipMaskMatches("TGR17031.RT1", "*.RT"));
    EXPECT_FALSE(ZipMaskMatches("TGR17031.RT10", "*.RT?"));
    EXPECT_FALSE(ZipMaskMatches("TGR1703.RT1", "TGR?????.*"));
    EXPECT_FALSE(ZipMaskMatches("README", "*.TXT"));
}

TEST(ZipObj, ListsMembersWithSizes)
{
    std::string dir = TempDir("zip-list");
    const std::string rt1 = Records(10, 230), rt2 = Records(3, 210);
    WriteArchive(dir + "TGR17031.ZIP", {{"TGR17031.RT1", rt1}, {"TGR17031.RT2", rt2}, {"README.TXT", "hello"}});
    std::vector<std::string> list;
    ASSERT_EQ(TZipObj::GetZipList(dir + "TGR17031.ZIP>*.RT?", list, 3), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].substr(0, 13), "TGR17031.RT1|");
    EXPECT_EQ(list[0].substr(list[0].rfind('|')), "|2300");
    EXPECT_EQ(list[1].substr(list[1].rfind('|')), "|630");
    list.clear();
    ASSERT_EQ(TZipObj::GetZipList(dir + "TGR17031.ZIP", list, 4), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].back(), '%');
    EXPECT_EQ(TZipObj::GetZipList(dir + "MISSING.ZIP", list, 0), 1);
}

TEST(ZipObj, OpenChoosesByExtension)
{
    std::string dir = TempDir("zip-open");
    WriteArchive(dir + "a.zip", {{"ONE.TXT", "first"}, {"TWO.TXT", "second"}});
    TZipObj z;
    ASSERT_EQ(z.Open(dir + "a.zip"), 0); // lower-case .zip: the archive, first member
    char buf[16];
    EXPECT_EQ(z.Read(buf, sizeof buf), 5);
    EXPECT_EQ(z.Position(), 5);
    z.Close();
    ASSERT_EQ(z.Open(dir + "a.zip>TWO.TXT"), 0);
    EXPECT_EQ(z.Size(), 6);
    EXPECT_EQ(std::string(buf, static_cast<std::size_t>(z.Read(buf, sizeof buf))), "second");
    z.Close();
    EXPECT_EQ(z.Open(dir + "notes.txt"), 0); // nothing opened
    EXPECT_EQ(z.Read(buf, sizeof buf), -1);
}

TEST(ZipObj, ExtractZipFileKeepsMembersInsideTheTarget)
{
    std::string dir = TempDir("zip-extract");
    std::filesystem::create_directories(dir + "out");
    WriteArchive(dir + "a.zip", {{"../evil.txt", "escape"}, {"sub/inner.txt", "inner"}});
    EXPECT_EQ(TZipObj::ExtractZipFile(dir + "a.zip", "../evil.txt", dir + "out"), 0);
    EXPECT_EQ(ReadFile(dir + "out/evil.txt"), "escape");
    EXPECT_FALSE(std::filesystem::exists(dir + "evil.txt"));
    EXPECT_EQ(TZipObj::ExtractZipFile(dir + "a.zip", "sub/inner.txt", dir + "out/"), 0);
    EXPECT_EQ(ReadFile(dir + "out/inner.txt"), "inner");
    EXPECT_NE(TZipObj::ExtractZipFile(dir + "a.zip", "missing.txt", dir + "out"), 0);
}

TEST(ZipObj, GzipReadingAndExtraction)
{
    std::string dir = TempDir("zip-gz");
    const std::string text = Records(500, 54);
    WriteGzip(dir + "DATA.RT5.gz", text);

    TZipObj z;
    ASSERT_EQ(z.Open(dir + "DATA.RT5.gz"), 0);
    std::string got(text.size() + 10, '\0');
    int64_t n = 0, r;
    while ((r = z.Read(got.data() + n, 1000)) > 0) n += r;
    EXPECT_EQ(got.substr(0, static_cast<std::size_t>(n)), text);
    EXPECT_EQ(z.Position(), static_cast<int64_t>(text.size()));
    z.Close();

    EXPECT_EQ(TZipObj::ExtractGzFile(dir + "DATA.RT5.gz", ""), 0); // the name without .gz
    EXPECT_EQ(ReadFile(dir + "DATA.RT5"), text);
    EXPECT_EQ(TZipObj::ExtractGzFile(dir + "DATA.RT5.gz", dir + "copy.txt"), 0);
    EXPECT_EQ(ReadFile(dir + "copy.txt"), text);
    EXPECT_EQ(TZipObj::ExtractGzFile(dir + "missing.gz", dir + "x"), 1);
    EXPECT_EQ(TZipObj::ExtractGzFile(dir + "copy.txt", ""), 2); // would overwrite its own input
}

TEST(ZipObj, WritesDeflatedMembersUnderTheirFileNames)
{
    std::string dir = TempDir("zip-write");
    const std::string data = Records(1000, 230); // more than one 64 KiB chunk
    WriteFile(dir + "TGR01001A.MIF", data);
    TZipObj z;
    ASSERT_EQ(z.OpenZip(dir + "Z.ZIP"), 0);
    EXPECT_EQ(z.AddFileToZip(dir + "TGR01001A.MIF"), 0);
    EXPECT_NE(z.AddFileToZip(dir + "missing.MIF"), 0);
    EXPECT_EQ(z.CloseZip(), 0);
    std::vector<std::string> list;
    ASSERT_EQ(TZipObj::GetZipList(dir + "Z.ZIP", list, 3), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].substr(0, list[0].find('|')), "TGR01001A.MIF");
    TZipFile f(dir + "Z.ZIP", "TGR01001A.MIF", 230);
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(ReadAll(f).size(), 1000u);
}

TEST(ZipObj, ExtractionThatFailsLeavesNoFile)
{
    std::string dir = TempDir("zip-extract-damaged");
    WriteArchiveWithChangedByte(dir + "A.ZIP", "TGR01001.RT5", Records(50, 54), 100);
    std::filesystem::create_directories(dir + "out");
    EXPECT_EQ(TZipObj::ExtractZipFile(dir + "A.ZIP", "TGR01001.RT5", dir + "out"), 2); // the CRC check fails
    EXPECT_FALSE(std::filesystem::exists(dir + "out/TGR01001.RT5"));

    const std::string text = Records(500, 54);
    WriteGzip(dir + "DATA.RT5.gz", text);
    std::string gz = ReadFile(dir + "DATA.RT5.gz");
    gz[gz.size() - 8] ^= 1; // the CRC-32 in the trailer: the data fails its check
    WriteFile(dir + "DATA.RT5.gz", gz);
    EXPECT_EQ(TZipObj::ExtractGzFile(dir + "DATA.RT5.gz", dir + "out/DATA.RT5"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir + "out/DATA.RT5"));
}

// Archives are read through a window of the file: members lying anywhere
// in an archive many windows long read whole, in any order.
TEST(ZipArchiveReading, MembersAcrossManyWindowsReadWhole)
{
    const std::string dir = TempDir("zip-windows");
    std::vector<std::pair<std::string, std::string>> members;
    for (int i = 0; i < 5; ++i) // stored: 5 x 46 KB, the archive about 230 KB
        members.emplace_back("TGR0100" + std::to_string(i) + ".RT1", Records(200, 230, static_cast<char>('a' + i)));
    WriteArchive(dir + "A.ZIP", members, 0);
    ASSERT_GT(ReadFile(dir + "A.ZIP").size(), 3u * 65536u);
    for (int i : {4, 0, 2, 3, 1}) {
        const auto& [name, data] = members[static_cast<std::size_t>(i)];
        TZipObj z;
        ASSERT_EQ(z.Open(dir + "A.ZIP>" + name), 0) << name;
        std::string got(data.size() + 100, '\0');
        std::size_t n = 0;
        for (int64_t r; (r = z.Read(got.data() + n, 7000)) > 0;) n += static_cast<std::size_t>(r);
        EXPECT_EQ(got.substr(0, n), data) << name;
    }
    std::vector<std::string> list;
    ASSERT_EQ(TZipObj::GetZipList(dir + "A.ZIP", list, 2), 0);
    EXPECT_EQ(list.size(), members.size());
}

// A directory entry whose extra field reaches past the end of the archive:
// what lies beyond the end reads as nothing, and the member, whose own
// header is sound, reads whole.
TEST(ZipArchiveReading, DirectoryReachingPastTheEnd)
{
    const std::string dir = TempDir("zip-past-end");
    const std::string data = Records(3, 230);
    WriteArchive(dir + "A.ZIP", {{"TGR01001.RT1", data}});
    std::string zip = ReadFile(dir + "A.ZIP");
    const std::size_t central = zip.find(std::string("PK\x01\x02", 4));
    ASSERT_NE(central, std::string::npos);
    zip[central + 30] = zip[central + 31] = static_cast<char>(0xFF); // its extra field: 65535 bytes
    WriteFile(dir + "A.ZIP", zip);
    TZipFile f(dir + "A.ZIP", "TGR01001.RT1", 230);
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(ReadAll(f).size(), 3u);
    EXPECT_EQ(f.Error(), "");
}

} // namespace
} // namespace zalor
