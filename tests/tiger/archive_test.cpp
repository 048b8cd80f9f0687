#include "tiger/record_file.h"
#include "tiger/zip_archive.h"

#include "support/recorder.h"
#include "tiger/county_files.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <tuple>

namespace zalor {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Writes an archive with the given members (name, bytes), stored or deflated.
void WriteArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members,
                  int method = Z_DEFLATED)
{
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr);
    for (const auto& [name, data] : members) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                        method ? 6 : 0, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// Every record of a file, read the way the readers do (end tested first).
std::vector<std::string> ReadAll(TZipFile& f)
{
    std::vector<std::string> out;
    while (!f.AtEnd()) out.emplace_back(f.ReadRecord());
    return out;
}

std::string Records(int n, int length, char fill = 'x')
{
    std::string s;
    for (int i = 0; i < n; ++i) s += std::string(static_cast<std::size_t>(length - 2), static_cast<char>(fill + i % 3)) + "\r\n";
    return s;
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
    gzFile g = gzopen((dir + "DATA.RT5.gz").c_str(), "wb");
    ASSERT_NE(g, nullptr);
    gzwrite(g, text.data(), static_cast<unsigned>(text.size()));
    gzclose(g);

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

// --- record reading ---------------------------------------------------------------

class RecordFileModes : public ::testing::TestWithParam<bool> {
protected:
    // Puts `bytes` where a TZipFile can read it as TGR01001.RT1 and opens it.
    TZipFile Open(const std::string& bytes, int length, const std::string& dirName)
    {
        dir_ = TempDir(dirName + (GetParam() ? "-zip" : "-loose"));
        if (GetParam()) {
            WriteArchive(dir_ + "TGR01001.ZIP", {{"TGR01001.RT1", bytes}});
            return TZipFile(dir_ + "TGR01001.ZIP", "TGR01001.RT1", length);
        }
        WriteFile(dir_ + "TGR01001.RT1", bytes);
        return TZipFile("", dir_ + "TGR01001.RT1", length);
    }
    std::string dir_;
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

INSTANTIATE_TEST_SUITE_P(ArchiveAndLoose, RecordFileModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Archive" : "Loose"; });

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
    const std::string data = Records(50, 54);
    WriteArchive(dir + "A.ZIP", {{"TGR01001.RT5", data}}, 0); // stored: the bytes appear as they are
    std::string zip = ReadFile(dir + "A.ZIP");
    std::size_t at = zip.find(data.substr(0, 52));
    ASSERT_NE(at, std::string::npos);
    zip[at + 100] = '#';
    WriteFile(dir + "A.ZIP", zip);
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

// --- large members: inflated ahead of the reader, on a thread ---------------------

// Records of varied digits (they do not deflate to almost nothing), enough
// for several inflation blocks.
std::string LargeRecords(int n, int length = 230)
{
    std::string s;
    s.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(length));
    uint32_t x = 12345;
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < length - 2; ++c) {
            x = x * 1103515245u + 12345u;
            s.push_back(static_cast<char>('0' + (x >> 16) % 10));
        }
        s += "\r\n";
    }
    return s;
}

void PutLe32(std::string& bytes, std::size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t GetLe32(const std::string& bytes, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

class LargeMember : public ::testing::Test {
protected:
    static constexpr int kRecords = 20000; // 4.6 MB
    void SetUp() override { data_ = LargeRecords(kRecords); }
    std::string Zip(const std::string& name, const std::string& data, int method = Z_DEFLATED)
    {
        dir_ = TempDir(name);
        WriteArchive(dir_ + "A.ZIP", {{"TGR01001.RT1", data}}, method);
        return dir_ + "A.ZIP";
    }
    std::string data_;
    std::string dir_;
};

TEST_F(LargeMember, RecordsArriveInOrderAcrossBlocks)
{
    TZipFile f(Zip("large-order", data_), "TGR01001.RT1", 230);
    ASSERT_FALSE(f.OpenFailed());
    EXPECT_EQ(f.Peek(5), data_.substr(0, 5));
    std::size_t at = 0;
    int n = 0;
    while (!f.AtEnd()) {
        std::string_view r = f.ReadRecord();
        ASSERT_EQ(r, std::string_view(data_).substr(at, 230)) << "record " << n;
        at += r.size();
        ++n;
    }
    EXPECT_EQ(n, kRecords);
    EXPECT_TRUE(f.Error().empty());
}

TEST_F(LargeMember, LfLineEndsAreDetected)
{
    TZipFile f(Zip("large-lf", test::LfOnly(data_)), "TGR01001.RT1", 230);
    EXPECT_TRUE(f.LfLineEnds());
    EXPECT_EQ(f.RecordEstimate(), kRecords);
    auto all = ReadAll(f);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kRecords));
    EXPECT_EQ(all.back().size(), 229u);
    EXPECT_TRUE(f.Error().empty());
}

TEST_F(LargeMember, ReaderMayStopOrMoveWhileInflating)
{
    const std::string zip = Zip("large-stop", data_);
    {
        TZipFile f(zip, "TGR01001.RT1", 230);
        f.ReadRecord(); // then dropped with most of the member still to come
    }
    TZipFile g(zip, "TGR01001.RT1", 230);
    for (int i = 0; i < 5000; ++i) g.ReadRecord();
    g.Close(); // the thread ends here, not with the object

    // Moved to another owner half-way: the rest follows in order.
    TZipFile a(zip, "TGR01001.RT1", 230);
    for (int i = 0; i < 7000; ++i) a.ReadRecord();
    TZipFile b = std::move(a);
    EXPECT_EQ(b.ReadRecord(), std::string_view(data_).substr(7000u * 230, 230));
    TZipFile c(zip, "TGR01001.RT1", 230);
    c.ReadRecord();
    c = std::move(b); // drops c's own member
    int rest = 0;
    while (!c.AtEnd()) {
        c.ReadRecord();
        ++rest;
    }
    EXPECT_EQ(rest, kRecords - 7001);
    EXPECT_TRUE(c.Error().empty());
}

TEST_F(LargeMember, DamageDeepInsideIsReportedAfterTheLastRecord)
{
    std::string zip = ReadFile(Zip("large-crc", data_, 0)); // stored: the bytes appear as they are
    const std::size_t at = zip.find(data_.substr(0, 228));
    ASSERT_NE(at, std::string::npos);
    zip[at + 3'500'000] = '#';
    WriteFile(dir_ + "A.ZIP", zip);
    TZipFile f(dir_ + "A.ZIP", "TGR01001.RT1", 230);
    EXPECT_EQ(ReadAll(f).size(), static_cast<std::size_t>(kRecords));
    EXPECT_NE(f.Error().find("CRC"), std::string::npos);
}

TEST_F(LargeMember, BrokenCompressedDataEndsTheRecords)
{
    std::string zip = ReadFile(Zip("large-broken", data_));
    // The compressed data follows the local header, its name and its extra field.
    const std::size_t payload = 30 + (GetLe32(zip, 26) & 0xFFFF) + (GetLe32(zip, 28) & 0xFFFF);
    ASSERT_LT(payload + 200'000, zip.size());
    for (std::size_t i = 0; i < 64; ++i) zip[payload + 100'000 + i] = static_cast<char>(0xFF);
    WriteFile(dir_ + "A.ZIP", zip);
    TZipFile f(dir_ + "A.ZIP", "TGR01001.RT1", 230);
    const auto all = ReadAll(f);
    EXPECT_NE(f.Error().find("damaged"), std::string::npos) << f.Error();
    EXPECT_LE(all.size(), static_cast<std::size_t>(kRecords));
}

// A member whose stated CRC-32 or size (in both the local header and the
// central directory) differs from its data, stored and deflated, small
// (inflated by the reader) and large (inflated ahead).
class MisstatedMember : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    void SetUp() override
    {
        std::tie(method_, records_) = GetParam();
        data_ = LargeRecords(records_);
    }
    // Writes the member with `crc` added to its CRC and `sizeDelta` to its size.
    std::string Write(const std::string& name, uint32_t crcDelta, int64_t sizeDelta)
    {
        const std::string dir = TempDir(name);
        WriteArchive(dir + "A.ZIP", {{"TGR01001.RT1", data_}}, method_);
        std::string zip = ReadFile(dir + "A.ZIP");
        const std::size_t central = zip.find(std::string("PK\x01\x02", 4));
        EXPECT_EQ(GetLe32(zip, 22), data_.size());
        EXPECT_EQ(GetLe32(zip, central + 24), data_.size());
        for (std::size_t at : {std::size_t(14), central + 16}) PutLe32(zip, at, GetLe32(zip, at) + crcDelta);
        for (std::size_t at : {std::size_t(22), central + 24})
            PutLe32(zip, at, static_cast<uint32_t>(static_cast<int64_t>(data_.size()) + sizeDelta));
        WriteFile(dir + "A.ZIP", zip);
        return dir + "A.ZIP";
    }
    int method_ = 0;
    int records_ = 0;
    std::string data_;
};

TEST_P(MisstatedMember, WrongCrcIsReportedAfterEveryRecord)
{
    TZipFile f(Write("misstated-crc", 1, 0), "TGR01001.RT1", 230);
    const auto all = ReadAll(f);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(records_));
    EXPECT_EQ(all.back(), data_.substr(data_.size() - 230));
    EXPECT_NE(f.Error().find("CRC"), std::string::npos) << f.Error();
}

TEST_P(MisstatedMember, DataLongerThanItsSizeIsCutThere)
{
    TZipFile f(Write("misstated-long", 0, -2300), "TGR01001.RT1", 230);
    EXPECT_EQ(f.RecordEstimate(), records_ - 10);
    EXPECT_EQ(ReadAll(f).size(), static_cast<std::size_t>(records_ - 10));
    EXPECT_NE(f.Error().find("CRC"), std::string::npos) << f.Error(); // the data is not what was stored
}

TEST_P(MisstatedMember, DataShorterThanItsSizeIsReported)
{
    TZipFile f(Write("misstated-short", 0, 2300), "TGR01001.RT1", 230);
    EXPECT_EQ(f.RecordEstimate(), records_ + 10);
    EXPECT_EQ(ReadAll(f).size(), static_cast<std::size_t>(records_));
    EXPECT_NE(f.Error().find("ends before"), std::string::npos) << f.Error();
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, MisstatedMember,
                         ::testing::Combine(::testing::Values(0, Z_DEFLATED), ::testing::Values(40, 20000)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Deflated" : "Stored") +
                                    (std::get<1>(info.param) > 1000 ? "Large" : "Small");
                         });

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
