#include "tiger/inflater.h"

#include "support/recorder.h"
#include "tiger/archive_files.h"
#include "tiger/county_files.h"
#include "tiger/record_file.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdint>
#include <memory>
#include <tuple>

namespace zalor {
namespace {

using test::ReadAll;
using test::ReadFile;
using test::TempDir;
using test::WriteArchive;
using test::WriteArchiveWithChangedByte;
using test::WriteFile;

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
    // The member stored, one byte deep inside changed: it fails its CRC check.
    std::string ZipWithChangedByte(const std::string& name)
    {
        dir_ = TempDir(name);
        WriteArchiveWithChangedByte(dir_ + "A.ZIP", "TGR01001.RT1", data_, 3'500'000);
        return dir_ + "A.ZIP";
    }
    // The member deflated, 64 bytes of its compressed data overwritten: what
    // it inflates to is not what was stored.
    std::string ZipWithBrokenData(const std::string& name)
    {
        std::string zip = ReadFile(Zip(name, data_));
        // The compressed data follows the local header, its name and its extra field.
        const std::size_t payload = 30 + (GetLe32(zip, 26) & 0xFFFF) + (GetLe32(zip, 28) & 0xFFFF);
        EXPECT_LT(payload + 200'000, zip.size());
        for (std::size_t i = 0; i < 64 && payload + 100'000 + i < zip.size(); ++i)
            zip[payload + 100'000 + i] = static_cast<char>(0xFF);
        WriteFile(dir_ + "A.ZIP", zip);
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
    TZipFile f(ZipWithChangedByte("large-crc"), "TGR01001.RT1", 230);
    EXPECT_EQ(ReadAll(f).size(), static_cast<std::size_t>(kRecords));
    EXPECT_NE(f.Error().find("CRC"), std::string::npos);
}

TEST_F(LargeMember, BrokenCompressedDataEndsTheRecords)
{
    TZipFile f(ZipWithBrokenData("large-broken"), "TGR01001.RT1", 230);
    const auto all = ReadAll(f);
    EXPECT_NE(f.Error().find("damaged"), std::string::npos) << f.Error();
    EXPECT_LE(all.size(), static_cast<std::size_t>(kRecords));
}

// What a MemberInflater gives of the member TGR01001.RT1 of `archive`, read
// in pieces of another size than its blocks.
struct Inflated {
    std::string bytes;
    bool damaged = false;
    bool corrupt = false;
};

Inflated InflateMember(const std::string& archive, bool ahead)
{
    auto zip = std::make_unique<TZipObj>();
    EXPECT_EQ(zip->OpenUnZip(archive, "TGR01001.RT1", MemberInflater::TakesRawDeflate()), 0);
    MemberInflater inflater(std::move(zip), ahead);
    Inflated out;
    std::string piece(100'000, '\0');
    while (std::size_t got = inflater.Read(piece.data(), piece.size())) out.bytes.append(piece, 0, got);
    out.damaged = inflater.Damaged();
    out.corrupt = inflater.Corrupt();
    return out;
}

// Inflates the member with a thread and by the reader; both give the same.
Inflated InflateBothWays(const std::string& archive)
{
    const Inflated ahead = InflateMember(archive, true);
    const Inflated itself = InflateMember(archive, false);
    EXPECT_TRUE(itself.bytes == ahead.bytes) << archive;
    EXPECT_EQ(itself.damaged, ahead.damaged) << archive;
    EXPECT_EQ(itself.corrupt, ahead.corrupt) << archive;
    return ahead;
}

TEST_F(LargeMember, InflatedAheadOrByTheReaderAlike)
{
    const Inflated sound = InflateBothWays(Zip("inflate-sound", data_));
    EXPECT_TRUE(sound.bytes == data_);
    EXPECT_FALSE(sound.damaged);
    EXPECT_FALSE(sound.corrupt);
    const Inflated changed = InflateBothWays(ZipWithChangedByte("inflate-crc"));
    EXPECT_EQ(changed.bytes.size(), data_.size());
    EXPECT_FALSE(changed.damaged);
    EXPECT_TRUE(changed.corrupt);
    const Inflated broken = InflateBothWays(ZipWithBrokenData("inflate-broken"));
    EXPECT_TRUE(broken.damaged || broken.corrupt);
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

// Members smaller than a block, down to none at all, stored and deflated:
// each is read whole, and as the record reader reads any file.
class SmallMember : public ::testing::TestWithParam<int> {};

TEST_P(SmallMember, IsReadWhole)
{
    const std::string dir = TempDir("inflate-small");
    const std::string two = test::Records(2, 230);
    WriteArchive(dir + "A.ZIP", {{"TWO.RT1", two}, {"ONE.RT1", two.substr(0, 231)}, {"BYTE.RT1", "x"}, {"NONE.RT1", ""}},
                 GetParam());
    TZipFile f(dir + "A.ZIP", "TWO.RT1", 230);
    EXPECT_EQ(ReadAll(f), (std::vector<std::string>{two.substr(0, 230), two.substr(230)}));
    EXPECT_EQ(f.Error(), "");
    TZipFile one(dir + "A.ZIP", "ONE.RT1", 230);
    EXPECT_EQ(ReadAll(one), std::vector<std::string>{two.substr(0, 230)});
    EXPECT_EQ(one.Error(), "incomplete last record");
    TZipFile byte(dir + "A.ZIP", "BYTE.RT1", 230);
    EXPECT_TRUE(ReadAll(byte).empty());
    EXPECT_EQ(byte.Error(), "incomplete last record");
    TZipFile none(dir + "A.ZIP", "NONE.RT1", 230);
    ASSERT_FALSE(none.OpenFailed());
    EXPECT_TRUE(none.AtEnd());
    EXPECT_EQ(none.Error(), "");
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, SmallMember, ::testing::Values(0, Z_DEFLATED),
                         [](const auto& info) { return std::string(info.param ? "Deflated" : "Stored"); });

} // namespace
} // namespace zalor
