#include "formats/kxf/kxf.h"
#include "formats/kxf/kxf_codec.h"
#include "formats/mif/mid_syntax.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace zalor;
using zalor::test::ReadFile;
using zalor::test::TempDir;
using zalor::test::WriteFile;

namespace {

// The coded bytes of v as the KXF file gets them.
std::string Coded(int32_t v)
{
    TTextFile f("", TTextFile::kCreate);
    WriteCodedInteger(f, v);
    return f.MemoryContents();
}

std::span<const unsigned char> Bytes(const std::string& s)
{
    return std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

ChainRecord& AddChain(ChainTable& t, const char* cfcc, GeoPoint from, GeoPoint to, std::vector<GeoPoint> shapes)
{
    ChainRecord& c = t.Append();
    std::memcpy(c.CFCC, cfcc, 3);
    c.from = from;
    c.to = to;
    t.SetShapes(c, shapes);
    return c;
}

// A chain as the line layers write it: start point, shape points, end point.
bool WriteChain(TTextFile& f, const ChainTable& t, const ChainRecord& c)
{
    std::vector<GeoPoint> points = {c.from};
    for (const GeoPoint& p : t.Shapes(c)) points.push_back(p);
    points.push_back(c.to);
    return WriteKxfLineRecord(f, KxfLineClass(c.Cfcc()), points);
}

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun RunTool(const std::string& args)
{
    std::string cmd = std::string(ZALOR_BINARY_DIR) + "/zalor-kxfdump " + args + " 2>&1";
    ToolRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

} // namespace

TEST(KxfCoding, ByteFormsAtTheirLimits)
{
    EXPECT_EQ(Coded(0), std::string("\x00", 1));
    EXPECT_EQ(Coded(63), "\x7e");  // 126
    EXPECT_EQ(Coded(-1), "\xfe");  // 254
    EXPECT_EQ(Coded(-63), "\x82");
    EXPECT_EQ(Coded(64), "\x01\x01"); // 257
    EXPECT_EQ(Coded(-64), "\x01\xff");
    EXPECT_EQ(Coded(8191), "\xfd\x7f");
    EXPECT_EQ(Coded(8192), std::string("\x03\x80\x00\x00", 4));
    EXPECT_EQ(Coded(-8192), "\x03\x80\xff\xff");
    EXPECT_EQ(Coded(kKxfMaxCoded).size(), 4u);
    EXPECT_EQ(Coded(kKxfMaxCoded + 1), "");
    EXPECT_EQ(Coded(INT32_MIN), "");

    TTextFile f("", TTextFile::kCreate);
    EXPECT_EQ(WriteCodedInteger(f, 63), 1);
    EXPECT_EQ(WriteCodedInteger(f, 64), 2);
    EXPECT_EQ(WriteCodedInteger(f, 8192), 4);
    EXPECT_EQ(WriteCodedInteger(f, 1 << 29), 0);
    EXPECT_EQ(f.GetSize(), 7);
}

TEST(KxfCoding, DecodingGivesBackEveryValue)
{
    std::vector<int32_t> values = {0, 1, -1, 63, -63, 64, -64, 8191, -8191, 8192, -8192, 123456789, -123456789,
                                   kKxfMaxCoded, -kKxfMaxCoded};
    std::string all;
    for (int32_t v : values) all += Coded(v);
    std::size_t pos = 0;
    for (int32_t v : values) {
        int32_t got = 0;
        ASSERT_TRUE(DecodeCodedInteger(Bytes(all), pos, got));
        EXPECT_EQ(got, v);
    }
    EXPECT_EQ(pos, all.size());
    int32_t got;
    std::string cut = Coded(8192).substr(0, 3);
    pos = 0;
    EXPECT_FALSE(DecodeCodedInteger(Bytes(cut), pos, got));
}

TEST(KxfRecords, HeaderAndLineRecords)
{
    ChainTable t;
    AddChain(t, "A41", {-87000000, 41000000}, {-86999990, 41000100}, {});
    AddChain(t, "H11", {-87000000, 41000000}, {-87000000, 41010000}, {{-87000010, 41000001}, {-87000020, 41000200}});
    AddChain(t, "X00", {0, 0}, {1, 1}, {});
    EXPECT_EQ(KxfLineClass("A41"), 14);
    EXPECT_EQ(KxfLineClass("H11"), 71);
    EXPECT_EQ(KxfLineClass("X00"), 0);
    EXPECT_EQ(KxfLineClass("Bz0"), 20); // a second character that is no digit counts 0
    EXPECT_EQ(KxfLineClass(""), 0);

    TTextFile f("", TTextFile::kCreate);
    WriteKxfHeader(f, nullptr, 0);
    ASSERT_TRUE(WriteChain(f, t, t[1]));
    ASSERT_TRUE(WriteChain(f, t, t[2]));
    KxfBox box{-87000020, 41010000, -86999990, 41000000};
    WriteKxfHeader(f, &box, 2);
    EXPECT_EQ(f.GetPosition(), f.GetSize()); // writing goes on at the end

    const std::string& b = f.MemoryContents();
    std::string head = std::string("KOVEN") + std::string("\x02\x00\x00\x00", 4);
    ASSERT_GE(b.size(), 32u);
    EXPECT_EQ(b.substr(0, 9), head);
    EXPECT_EQ(b.substr(25, 7), std::string(7, '\0'));
    KxfHeader h;
    ASSERT_TRUE(DecodeKxfHeader(Bytes(b), h));
    EXPECT_EQ(h.recordCount, 2);
    EXPECT_EQ(h.box, box);

    // A chain without shape points: count -2, the absolute from-point, one difference.
    std::string rec1 = std::string("\x8e\x43", 2) + Coded(-2) + Coded(-87000000) + Coded(41000000) + Coded(10) +
                       Coded(100);
    EXPECT_EQ(b.substr(32, rec1.size()), rec1);
    std::string rec2 = std::string("\xc7\x43", 2) + Coded(-4) + Coded(-87000000) + Coded(41000000) + Coded(-10) +
                       Coded(1) + Coded(-10) + Coded(199) + Coded(20) + Coded(9800);
    EXPECT_EQ(b.substr(32 + rec1.size()), rec2);

    std::size_t pos = 32;
    KxfRecord r;
    std::string error;
    ASSERT_TRUE(DecodeKxfRecord(Bytes(b), pos, r, error)) << error;
    EXPECT_EQ(r.classCode, 14);
    EXPECT_EQ(r.tag, kKxfLineTag);
    EXPECT_EQ(r.partSizes, std::vector<int32_t>{2});
    ASSERT_TRUE(DecodeKxfRecord(Bytes(b), pos, r, error)) << error;
    EXPECT_EQ(r.points, (std::vector<GeoPoint>{{-87000000, 41000000}, {-87000010, 41000001}, {-87000020, 41000200},
                                               {-87000000, 41010000}}));
    EXPECT_EQ(pos, b.size());
}

TEST(KxfRecords, CoordinatesBeyondTheCodeAreRefusedWhole)
{
    ChainTable t;
    AddChain(t, "A41", {-600000000, 0}, {0, 0}, {});
    AddChain(t, "A41", {-300000000, 0}, {300000000, 0}, {}); // a jump of 6e8
    TTextFile f("", TTextFile::kCreate);
    EXPECT_FALSE(WriteChain(f, t, t[1]));
    EXPECT_FALSE(WriteChain(f, t, t[2]));
    KxfBox box;
    std::vector<GeoPoint> far = {{0, 0}, {kKxfMaxCoded, 0}, {-kKxfMaxCoded, 0}};
    std::vector<int32_t> sizes = {3};
    EXPECT_FALSE(WriteKxfAreaRecord(f, far, sizes, 1, box));
    EXPECT_EQ(f.GetSize(), 0);
    EXPECT_EQ(box, KxfBox());
}

TEST(KxfRecords, TwoRingAreaRecord)
{
    std::vector<GeoPoint> pts = {{0, 0},   {0, 100},  {100, 100}, {100, 0},  {0, 0},
                                 {20, 20}, {20, 30},  {30, 30},   {20, 20}};
    std::vector<int32_t> sizes = {5, 4};
    TTextFile f("", TTextFile::kCreate);
    KxfBox box;
    ASSERT_TRUE(WriteKxfAreaRecord(f, pts, sizes, 12, box));
    EXPECT_EQ(box, (KxfBox{0, 100, 100, 0}));
    const std::string& b = f.MemoryContents();
    std::string expect = std::string("\x8c\x44", 2) + Coded(5) + Coded(0) + Coded(0) + Coded(0) + Coded(100) +
                         Coded(100) + Coded(0) + Coded(0) + Coded(-100) + Coded(-100) + Coded(0) + Coded(-4) +
                         Coded(20) + Coded(20) + Coded(0) + Coded(10) + Coded(10) + Coded(0) + Coded(-10) + Coded(-10);
    EXPECT_EQ(b, expect);
    std::size_t pos = 0;
    KxfRecord r;
    std::string error;
    ASSERT_TRUE(DecodeKxfRecord(Bytes(b), pos, r, error));
    EXPECT_EQ(r.partSizes, sizes);
    EXPECT_EQ(r.points, pts);
    EXPECT_EQ(r.classCode, 12);

    // Empty rings are left out; the last ring with points carries the end mark.
    TTextFile g("", TTextFile::kCreate);
    std::vector<int32_t> withEmpty = {0, 5, 4, 0};
    ASSERT_TRUE(WriteKxfAreaRecord(g, pts, withEmpty, 12, box));
    EXPECT_EQ(g.MemoryContents(), expect);
    std::vector<int32_t> none = {0}, tooMany = {5, 5};
    EXPECT_FALSE(WriteKxfAreaRecord(g, pts, none, 12, box));
    EXPECT_FALSE(WriteKxfAreaRecord(g, pts, tooMany, 12, box));
    EXPECT_FALSE(WriteKxfAreaRecord(g, pts, sizes, 128, box));
}

TEST(KxfRecords, DamagedRecordsAreReportedNotTrusted)
{
    std::string error;
    KxfRecord r;
    auto decode = [&](const std::string& bytes) {
        std::size_t pos = 0;
        return DecodeKxfRecord(Bytes(bytes), pos, r, error);
    };
    EXPECT_FALSE(decode(std::string("\x8e", 1)));
    EXPECT_FALSE(decode(std::string("\x0e\x43", 2) + Coded(-2)));
    EXPECT_EQ(error, "bad class byte 14");
    EXPECT_FALSE(decode(std::string("\x8e\x45", 2) + Coded(-2)));
    EXPECT_FALSE(decode(std::string("\x8e\x43", 2) + Coded(0)));
    EXPECT_FALSE(decode(std::string("\x8e\x43", 2) + Coded(-100000000) + Coded(1) + Coded(1)));
    EXPECT_FALSE(decode(std::string("\x8e\x43", 2) + Coded(-2) + Coded(1) + Coded(1) + Coded(1)));
    // Positions that run beyond 32 bits.
    std::string far = std::string("\x8e\x43", 2) + Coded(-5);
    for (int i = 0; i < 5; ++i) far += Coded(kKxfMaxCoded) + Coded(0);
    EXPECT_FALSE(decode(far));
    EXPECT_EQ(error, "coordinate out of range");
    KxfHeader h;
    EXPECT_FALSE(DecodeKxfHeader(Bytes("KOVEX" + std::string(27, '\0')), h));
    EXPECT_FALSE(DecodeKxfHeader(Bytes("KOVEN"), h));
}

TEST(Mtd, ParsesHeadColumnsAndRows)
{
    MtdTable t;
    std::string error;
    ASSERT_TRUE(ParseMtd("FIELDS 2\r\nNUM integer\r\nNAME char (30)\r\n\r\nDATA\r\n1,\"a\"\r\n2,\"b, c\"\r\n", t, error));
    EXPECT_EQ(t.columns, (std::vector<std::string>{"NUM integer", "NAME char (30)"}));
    EXPECT_EQ(t.rows, (std::vector<std::string>{"1,\"a\"", "2,\"b, c\""}));
    EXPECT_FALSE(ParseMtd("", t, error));
    EXPECT_FALSE(ParseMtd("FIELDS x\r\nDATA\r\n", t, error));
    EXPECT_FALSE(ParseMtd("FIELDS 1\r\nNUM integer\r\n", t, error));
    EXPECT_FALSE(ParseMtd("FIELDS 2\r\nNUM integer\r\nDATA\r\n", t, error));
}

TEST(KxfFiles, WriteFailuresAreReportedOnClose)
{
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    std::string dir = TempDir("kxffull");
    std::filesystem::create_symlink("/dev/full", dir + "F.MTD");
    KxfFileSet set(dir + "F");
    set.Mtd().WriteLine("FIELDS 1");
    set.WriteHeader(0, nullptr);
    EXPECT_FALSE(set.Close());
    EXPECT_EQ(set.FailedPath(), dir + "F.MTD");
}

// The dump tool reads back what the writers wrote.
TEST(KxfDump, ShowsRecordsWithTheirAttributes)
{
    std::string dir = TempDir("kxfdump");
    ChainTable t;
    AddChain(t, "A41", {-87654321, 41500000}, {-87654300, 41500100}, {{-87654310, 41500050}});
    AddChain(t, "B11", {-87000000, 41000000}, {-87100000, 41100000}, {});
    {
        KxfFileSet set(dir + "TGR01001A");
        const std::vector<Column> cols = {
            {"NUM", ColumnType::Integer}, {"TLID", ColumnType::Integer}, {"NAME", ColumnType::Char, 30}};
        WriteColumnBlock(set.Mtd(), ColumnBlock::Mtd, cols, true);
        Row row;
        std::string line;
        AppendMidRow(line, row.Int(1).Int(101).Text("Main \"Big\" St"), cols);
        ASSERT_TRUE(WriteChain(set.Kxf(), t, t[1]));
        set.Mtd().WriteLine(line);
        row.Clear();
        line.clear();
        AppendMidRow(line, row.Int(2).Int(102).Text(""), cols);
        ASSERT_TRUE(WriteChain(set.Kxf(), t, t[2]));
        set.Mtd().WriteLine(line);
        std::vector<GeoPoint> ring = {{0, 0}, {0, 1000}, {1000, 1000}, {0, 0}};
        std::vector<int32_t> sizes = {4};
        KxfBox areaBox;
        ASSERT_TRUE(WriteKxfAreaRecord(set.Kxf(), ring, sizes, 5, areaBox));
        set.Mtd().WriteLine("3,103,\"Lake\"");
        KxfBox box{-87654321, 41500100, 1000, 0};
        set.WriteHeader(3, &box);
        ASSERT_TRUE(set.Close());
    }
    ToolRun text = RunTool(dir + "TGR01001A.KXF");
    EXPECT_EQ(text.status, 0) << text.out;
    EXPECT_NE(text.out.find("Records in header: 3\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Record 1 at offset 32: class 14, line, 1 part, 3 points\n"
                            "  Part 1: 3 points\n"
                            "    -87.654321 41.500000\n"
                            "    -87.654310 41.500050\n"
                            "    -87.654300 41.500100\n"
                            "  NUM=1 TLID=101 NAME=\"Main \"Big\" St\"\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("class 5, area, 1 part, 4 points"), std::string::npos) << text.out;

    ToolRun json = RunTool("--geojson " + dir + "TGR01001A.KXF");
    EXPECT_EQ(json.status, 0) << json.out;
    EXPECT_NE(json.out.find("\"properties\":{\"record\":1,\"class\":14,\"kind\":\"line\",\"NUM\":1,\"TLID\":101,"
                            "\"NAME\":\"Main \\\"Big\\\" St\"},\"geometry\":{\"type\":\"LineString\","
                            "\"coordinates\":[[-87.654321,41.500000],[-87.654310,41.500050],[-87.654300,41.500100]]}"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("{\"type\":\"Polygon\",\"coordinates\":[[[0.000000,0.000000],[0.000000,0.001000],"
                            "[0.001000,0.001000],[0.000000,0.000000]]]}"),
              std::string::npos)
        << json.out;
    // The GeoJSON parses (python3 with its json module, when present).
    if (std::system("python3 -c 'import json' >/dev/null 2>&1") == 0) {
        WriteFile(dir + "out.json", json.out);
        EXPECT_EQ(std::system(("python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + dir + "out.json")
                                  .c_str()),
                  0);
    }
}

TEST(KxfDump, DamagedFilesAreReportedWithoutCrashing)
{
    std::string dir = TempDir("kxfdamaged");
    ChainTable t;
    AddChain(t, "A41", {-87654321, 41500000}, {-87654300, 41500100}, {{-87654310, 41500050}});
    std::string good;
    {
        TTextFile f(dir + "G.KXF", TTextFile::kCreate);
        WriteKxfHeader(f, nullptr, 0);
        ASSERT_TRUE(WriteChain(f, t, t[1]));
        WriteKxfHeader(f, nullptr, 1);
        ASSERT_TRUE(f.Close());
        good = ReadFile(dir + "G.KXF");
    }
    // Only regular files are read: a device would never end.
    ToolRun device = RunTool("/dev/zero");
    EXPECT_EQ(device.status, 2);
    EXPECT_NE(device.out.find("only regular files"), std::string::npos) << device.out;
    ToolRun ok = RunTool(dir + "G.KXF");
    EXPECT_EQ(ok.status, 0) << ok.out; // no MTD: shown without attributes
    EXPECT_NE(ok.out.find("Attributes: none"), std::string::npos) << ok.out;

    // Every truncation of the file, and every single damaged byte, is
    // handled: status 1 (damaged) or 0, never a crash.
    for (std::size_t n = 32; n < good.size(); ++n) {
        WriteFile(dir + "T.KXF", good.substr(0, n));
        ToolRun r = RunTool(dir + "T.KXF");
        EXPECT_EQ(r.status, 1) << n << ": " << r.out;
    }
    for (std::size_t i = 32; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0xA5);
        WriteFile(dir + "D.KXF", bad);
        ToolRun r = RunTool(dir + "D.KXF");
        EXPECT_TRUE(r.status == 0 || r.status == 1) << i << ": " << r.out;
    }
    WriteFile(dir + "N.KXF", "not a kxf file at all, really not one");
    EXPECT_EQ(RunTool(dir + "N.KXF").status, 2);
    EXPECT_EQ(RunTool(dir + "missing.KXF").status, 2);

    // Rows that do not match the records.
    WriteFile(dir + "G.MTD", "FIELDS 1\r\nNUM integer\r\nDATA\r\n1\r\n2\r\n");
    ToolRun rows = RunTool(dir + "G.KXF");
    EXPECT_EQ(rows.status, 1);
    EXPECT_NE(rows.out.find("2 attribute rows for 1 records"), std::string::npos) << rows.out;
}

TEST(KxfStyle, AreaClassesByTheme)
{
    EXPECT_EQ(KxfAreaClass("W"), 23);
    EXPECT_EQ(KxfAreaClass("WLND"), 23);
    EXPECT_EQ(KxfAreaClass("CNTY"), 3);
    EXPECT_EQ(KxfAreaClass("FMCD"), 4);
    EXPECT_EQ(KxfAreaClass("CTBNA00"), 5);
    EXPECT_EQ(KxfAreaClass("BLK00"), 6);
    EXPECT_EQ(KxfAreaClass("BGP00"), 7);
    EXPECT_EQ(KxfAreaClass("FMCD90"), 0); // the 1990 layers have none
    EXPECT_EQ(KxfAreaClass("FPL"), 0);
}
