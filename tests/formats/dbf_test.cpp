#include "formats/shp/dbf.h"
#include "formats/shp/shp.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

using namespace zalor;
using zalor::test::ReadFile;
using zalor::test::TempDir;
using zalor::test::WriteFile;

namespace {

uint32_t U32(const std::string& b, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

// A numeric field NUM of 12 bytes and a character field NAME of 30.
void NumName(Tdbx& t, int nameWidth = 30)
{
    t.AddField(DbfFieldDescriptor::Make("NUM", 'N', 12));
    t.AddField(DbfFieldDescriptor::Make("NAME", 'C', nameWidth));
}

// Writes the field texts as record `record`.
void Store(Tdbx& t, int64_t record, const std::vector<std::string>& texts)
{
    t.ClearRecord();
    for (std::size_t k = 0; k < texts.size(); ++k) t.SetFieldText(static_cast<int>(k + 1), texts[k]);
    t.WriteRecord(record);
}

} // namespace

TEST(Dbf, HeaderAndDescriptorBytesForNumAndName)
{
    std::string dir = TempDir("dbfhead");
    {
        Tdbx t(dir + "a.DBF", Tdbx::kCreate);
        NumName(t);
        EXPECT_EQ(t.HeaderLength(), 97);
        EXPECT_EQ(t.RecordLength(), 43);
        EXPECT_TRUE(t.Close());
    }
    std::string b = ReadFile(dir + "a.DBF");
    // A table with fields and no records: just the header.
    ASSERT_EQ(b.size(), 97u);
    std::string expect(97, '\0');
    expect[0] = 3;
    expect[1] = 98;
    expect[2] = 5;
    expect[3] = 28;
    expect[8] = 97;
    expect[10] = 43;
    expect[29] = 0x57; // language driver: Latin-1
    expect.replace(32, 3, "NUM");
    expect[32 + 11] = 'N';
    expect[32 + 16] = 12;
    expect.replace(64, 4, "NAME");
    expect[64 + 11] = 'C';
    expect[64 + 16] = 30;
    expect[96] = 13;
    EXPECT_EQ(b, expect);
}

TEST(Dbf, RecordsAreLeftAlignedZeroPaddedWithoutEndMarker)
{
    std::string dir = TempDir("dbfrec");
    {
        Tdbx t(dir + "a.DBF", Tdbx::kCreate);
        NumName(t);
        Store(t, 1, {"1", "Smith, John"});
        Store(t, 2, {"123456789012345", std::string(30, 'x')});
        Store(t, 3, {"3", ""});
        Store(t, 4, {"4", std::string(31, 'y')});
        EXPECT_TRUE(t.Close());
    }
    std::string b = ReadFile(dir + "a.DBF");
    ASSERT_EQ(b.size(), 97u + 4 * 43);
    EXPECT_EQ(U32(b, 4), 4u);
    auto rec = [&](int r) { return b.substr(97 + static_cast<std::size_t>(r - 1) * 43, 43); };
    EXPECT_EQ(rec(1), " 1" + std::string(11, '\0') + "Smith, John" + std::string(19, '\0'));
    // A value of exactly the field length has no zero byte; a longer one is cut.
    EXPECT_EQ(rec(2), " 123456789012" + std::string(30, 'x'));
    // An empty value stores an all-zero field.
    EXPECT_EQ(rec(3), " 3" + std::string(11, '\0') + std::string(30, '\0'));
    EXPECT_EQ(rec(4).substr(13), std::string(30, 'y'));
}

TEST(Dbf, FieldAccessOutOfRange)
{
    std::string dir = TempDir("dbfrange");
    Tdbx t(dir + "a.DBF", Tdbx::kCreate);
    EXPECT_EQ(t.GetFieldName(1), "");
    NumName(t);
    EXPECT_EQ(t.GetFieldName(1), "NUM");
    EXPECT_EQ(t.GetFieldName(2), "NAME");
    EXPECT_EQ(t.GetFieldName(3), "");
    EXPECT_EQ(t.GetFieldText(0), "ERROR");
    EXPECT_EQ(t.GetFieldText(3), "OvrFlow");
    EXPECT_EQ(t.SetFieldText(0, "x"), 0);
    EXPECT_EQ(t.SetFieldText(3, "x"), 0);
    EXPECT_EQ(t.SetFieldText(2, "x"), 1);
    EXPECT_FALSE(t.WriteRecord(0));
    EXPECT_FALSE(t.ReadRecord(1)); // no records yet
}

TEST(Dbf, ReadBackThroughThePageCache)
{
    std::string dir = TempDir("dbfread");
    const int n = 3000; // several pages of 256 records
    {
        Tdbx t(dir + "a.DBF", Tdbx::kCreate);
        NumName(t, 40);
        for (int i = 1; i <= n; ++i) Store(t, i, {std::to_string(i), "name " + std::to_string(i)});
        EXPECT_TRUE(t.Close());
    }
    Tdbx r(dir + "a.DBF", Tdbx::kRead);
    ASSERT_EQ(r.RecordCount(), static_cast<uint32_t>(n));
    ASSERT_EQ(r.FieldCount(), 2);
    EXPECT_EQ(r.GetFieldName(2), "NAME");
    for (int i : {1, 2, 256, 257, 1000, n, 5, n - 1}) {
        ASSERT_TRUE(r.ReadRecord(i));
        EXPECT_EQ(r.GetFieldText(1), std::to_string(i));
        EXPECT_EQ(r.GetFieldText(2), "name " + std::to_string(i));
    }
    EXPECT_FALSE(r.ReadRecord(0));
    EXPECT_FALSE(r.ReadRecord(n + 1));
    EXPECT_EQ(r.GetFieldText(1), "");
    EXPECT_FALSE(r.AddField(DbfFieldDescriptor::Make("X", 'C', 1)));
    EXPECT_FALSE(r.WriteRecord(1));
}

// Fields added together make the table they make added one by one; a
// field that does not fit is left out either way and those after it go in.
TEST(Dbf, FieldsAddedTogetherOrOneByOne)
{
    std::string dir = TempDir("dbffields");
    std::vector<DbfFieldDescriptor> fields;
    for (int i = 0; i < 300; ++i) fields.push_back(DbfFieldDescriptor::Make("F" + std::to_string(i), 'C', 254));
    fields.push_back(DbfFieldDescriptor::Make("LAST", 'N', 2)); // fits after the wide ones that do not
    {
        Tdbx one(dir + "one.DBF", Tdbx::kCreate), all(dir + "all.DBF", Tdbx::kCreate);
        int added = 0;
        for (const DbfFieldDescriptor& d : fields) added += one.AddField(d) ? 1 : 0;
        EXPECT_EQ(all.AddFields(fields), added);
        EXPECT_EQ(added, (65535 - 1) / 254 + 1); // beside the deletion byte: 258 wide ones and LAST
        EXPECT_EQ(all.GetFieldName(all.FieldCount()), "LAST");
        Store(one, 1, {"a", "b"});
        Store(all, 1, {"a", "b"});
        EXPECT_TRUE(one.Close());
        EXPECT_TRUE(all.Close());
    }
    EXPECT_EQ(ReadFile(dir + "all.DBF"), ReadFile(dir + "one.DBF"));
    Tdbx r(dir + "all.DBF", Tdbx::kRead);
    EXPECT_EQ(r.AddFields(fields), 0); // a table read is never changed
}

TEST(Dbf, DamagedTablesAreRefusedOrReadSafely)
{
    std::string dir = TempDir("dbfdamaged");
    {
        Tdbx t(dir + "a.DBF", Tdbx::kCreate);
        NumName(t);
        for (int i = 1; i <= 10; ++i) Store(t, i, {std::to_string(i), "n"});
    }
    std::string good = ReadFile(dir + "a.DBF");

    WriteFile(dir + "short.DBF", good.substr(0, 20));
    EXPECT_THROW(Tdbx(dir + "short.DBF", Tdbx::kRead), FileError);

    WriteFile(dir + "cut.DBF", good.substr(0, 70)); // descriptors cut short
    EXPECT_THROW(Tdbx(dir + "cut.DBF", Tdbx::kRead), FileError);

    std::string wide = good;
    wide[64 + 16] = static_cast<char>(200); // fields longer than the record
    WriteFile(dir + "wide.DBF", wide);
    EXPECT_THROW(Tdbx(dir + "wide.DBF", Tdbx::kRead), FileError);

    // Records missing at the end: the count claims more than the file holds.
    WriteFile(dir + "trunc.DBF", good.substr(0, 97 + 43 * 5 + 10));
    Tdbx t(dir + "trunc.DBF", Tdbx::kRead);
    EXPECT_EQ(t.RecordCount(), 10u);
    EXPECT_TRUE(t.ReadRecord(5));
    EXPECT_EQ(t.GetFieldText(1), "5");
    EXPECT_FALSE(t.ReadRecord(6));
    EXPECT_EQ(t.GetFieldText(1), "");
    EXPECT_FALSE(t.ReadRecord(10));
}

TEST(Dbf, WritesToAFullDeviceFailOnClose)
{
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    std::string dir = TempDir("dbffull");
    std::filesystem::create_symlink("/dev/full", dir + "a.DBF");
    Tdbx t(dir + "a.DBF", Tdbx::kCreate);
    NumName(t);
    Store(t, 1, {"1", "x"});
    EXPECT_FALSE(t.Close());
    EXPECT_EQ(t.FailedPath(), dir + "a.DBF");
}

// The shapefile layer's table: each column a field, each typed value the
// text of its field.
TEST(ShpLayerTable, ColumnsBecomeFieldsAndValuesTheirTexts)
{
    const std::string dir = TempDir("shptable");
    LayerDefinition def;
    def.geometry = LayerGeometry::Point;
    def.basePath = dir + "T";
    def.columns = {{"NUM", ColumnType::Integer},       {"LON", ColumnType::Degrees},
                   {"ABCDEFGHIJKLMN", ColumnType::Code, 5}, {"NAME", ColumnType::Char, 30},
                   {"HUGE", ColumnType::Char, 99999}, {"NONE", ColumnType::Char, 0}};
    WriteFailures failures;
    auto layer = OpenLayerWriter(kShpFormat, def, failures);
    ASSERT_TRUE(layer);
    Row row;
    row.Int(1).Int(-2147483648LL).Text("1001A").Text("Joe's \"Place\"").Text("x").Text("y");
    layer->WritePoint({-87000000, 41000000}, row);
    row.Clear();
    row.Int(2); // a short row leaves the other fields empty, whatever the record before held
    layer->WritePoint({-87000000, 41000000}, row);
    ASSERT_TRUE(layer->Close().empty());

    Tdbx t(dir + "T.DBF", Tdbx::kRead);
    ASSERT_EQ(t.FieldCount(), 6);
    auto desc = [&](int i) {
        const auto& d = t.Field(i);
        return d.Name() + ":" + d.Type() + std::to_string(d.Length());
    };
    EXPECT_EQ(desc(1), "NUM:N12");
    EXPECT_EQ(desc(2), "LON:N11"); // a micro-degree value of any size fits
    EXPECT_EQ(desc(3), "ABCDEFGHIJK:C5"); // names hold 11 characters
    EXPECT_EQ(desc(4), "NAME:C30");
    EXPECT_EQ(desc(5), "HUGE:C254");
    EXPECT_EQ(desc(6), "NONE:C254");
    ASSERT_TRUE(t.ReadRecord(1));
    EXPECT_EQ(t.GetFieldText(2), "-2147483648");
    EXPECT_EQ(t.GetFieldText(3), "1001A");
    EXPECT_EQ(t.GetFieldText(4), "Joe's \"Place\"");
    ASSERT_TRUE(t.ReadRecord(2));
    EXPECT_EQ(t.GetFieldText(1), "2");
    EXPECT_EQ(t.GetFieldText(4), "");
}

// The shapefile format in memory writes a layer as the format does (and
// refuses what it refuses), and nothing of it reaches the disk: not its
// files, not an index named after an empty name in the current directory.
TEST(ShpLayerInMemory, WritesNothingToDisk)
{
    const std::string dir = TempDir("shpmemory");
    struct InDirectory {
        std::filesystem::path before = std::filesystem::current_path();
        explicit InDirectory(const std::string& dir) { std::filesystem::current_path(dir); }
        ~InDirectory() { std::filesystem::current_path(before); }
    };
    std::optional<InDirectory> in(std::in_place, dir);
    LayerDefinition def;
    def.geometry = LayerGeometry::Area;
    def.basePath = dir + "L";
    def.columns = {{"NUM", ColumnType::Integer}, {"NAME", ColumnType::Char, 30}};
    const GeoPoint ring[] = {{0, 0}, {0, 1000}, {1000, 1000}, {0, 0}};
    const int32_t sizes[] = {4}, wrongSizes[] = {3};
    Row row;
    row.Int(1).Text("Lake");
    for (const FormatDriver* format : {&kShpMemoryFormat, &kShpFormat}) {
        WriteFailures failures;
        auto layer = OpenLayerWriter(*format, def, failures);
        ASSERT_TRUE(layer);
        EXPECT_TRUE(layer->WriteArea(ring, sizes, row));
        EXPECT_FALSE(layer->WriteArea(ring, wrongSizes, row));
        EXPECT_TRUE(layer->Close().empty());
        EXPECT_EQ(layer->MainPath(), dir + "L.SHP");
        if (format == &kShpMemoryFormat) {
            EXPECT_TRUE(std::filesystem::is_empty(dir));
        }
    }
    in.reset();
    EXPECT_TRUE(std::filesystem::exists(dir + "L.SHX")); // the format itself wrote its files
    EXPECT_EQ(FindFormat("shp"), &kShpFormat);          // the program never writes in memory
}
