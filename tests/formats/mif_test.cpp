// The MIF format: its syntax, its rows, its style and its layer writer.
#include "formats/mif/mid_syntax.h"
#include "formats/mif/mif.h"
#include "formats/mif/mif_style.h"
#include "formats/mif/mif_syntax.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <functional>

namespace zalor {
namespace {

using test::ReadFile;
using test::TempDir;

std::string MifLike(const std::function<void(TTextFile&)>& write)
{
    TTextFile f("", TTextFile::kCreate);
    write(f);
    return f.MemoryContents();
}

const std::vector<Column> kAreaColumns = {{"NUM", ColumnType::Integer},  {"Lon", ColumnType::Degrees},
                                          {"Lat", ColumnType::Degrees},  {"TRACT", ColumnType::Code, 12},
                                          {"NAME", ColumnType::Char, 30}};

TEST(MifSyntax, HeaderAndColumnBlocks)
{
    std::string text = MifLike([](TTextFile& f) {
        WriteMifHeader(f);
        const std::vector<Column> cols = {{"NUM", ColumnType::Integer}, {"NAME", ColumnType::Char, 30}};
        WriteColumnBlock(f, ColumnBlock::Mif, cols, true);
    });
    EXPECT_EQ(text, "Version 450\r\n"
                    "Charset \"WindowsLatin1\"\r\n"
                    "Delimiter \",\"\r\n"
                    "Coordsys Earth Projection 1,74\r\n"
                    "COLUMNS 2\r\n"
                    "NUM integer\r\n"
                    "NAME char (30)\r\n"
                    "\r\n"
                    "DATA\r\n");
    // Degrees are "Float" in MIF and "double" in MTD; codes are char columns.
    EXPECT_EQ(MifLike([](TTextFile& f) { WriteColumnBlock(f, ColumnBlock::Mif, kAreaColumns, false); }),
              "COLUMNS 5\r\nNUM integer\r\nLon Float\r\nLat Float\r\nTRACT char (12)\r\nNAME char (30)\r\nDATA\r\n");
    EXPECT_EQ(MifLike([](TTextFile& f) { WriteColumnBlock(f, ColumnBlock::Mtd, kAreaColumns, false); }),
              "FIELDS 5\r\nNUM integer\r\nLon double\r\nLat double\r\nTRACT char (12)\r\nNAME char (30)\r\nDATA\r\n");
}

TEST(MifSyntax, Objects)
{
    std::vector<GeoPoint> pts = {{-87000000, 41000000}, {-87500000, 41500000}, {-87000000, 41500000},
                                 {-87000000, 41000000}};
    auto fmt = [](GeoPoint p) { return std::to_string(p.x) + " " + std::to_string(p.y); };
    std::string text = MifLike([&](TTextFile& f) {
        WriteMifPlineStart(f, 2);
        f.WriteLine(fmt(pts[0]));
        WriteMifPen(f, MifPen{2, 2, 255});
        std::vector<int32_t> rings = {3, 1};
        EXPECT_TRUE(WriteMifRegion(f, pts, rings, fmt));
        WriteMifBrush(f, 16744448);
        std::vector<int32_t> tooMany = {3, 2};
        EXPECT_FALSE(WriteMifRegion(f, pts, tooMany, fmt));
        WriteMifPoint(f, "-87.000000 41.000000");
    });
    EXPECT_EQ(text, "PLINE\r\n2\r\n-87000000 41000000\r\nPEN (2,2,255)\r\n"
                    "Region 2\r\n3\r\n-87000000 41000000\r\n-87500000 41500000\r\n-87000000 41500000\r\n"
                    "1\r\n-87000000 41000000\r\nBRUSH (2,0,16744448)\r\n"
                    "POINT -87.000000 41.000000\r\n");
}

TEST(MidSyntax, RowsQuoteFreeTextsAndWriteCodesAndDegreesBare)
{
    Row row;
    row.Int(7).Int(-87500000).Int(41000001).Text("1001A").Text("Main \"Big\" St");
    std::string out;
    AppendMidRow(out, row, kAreaColumns);
    EXPECT_EQ(out, "7,-87.500000,41.000001,1001A,\"Main \"\"Big\"\" St\"");
    // Integers in text columns are written as numbers; nulls as nothing.
    const std::vector<Column> cols = {{"ADDR", ColumnType::Char, 11}, {"X", ColumnType::Integer}};
    row.Clear();
    row.Int(-12).Null();
    out.clear();
    AppendMidRow(out, row, cols);
    EXPECT_EQ(out, "-12,");
}

TEST(MidSyntax, ReadingUndoesQuotingAndKeepsCommasInQuotes)
{
    auto split = [](std::string_view row) {
        std::vector<std::string> v;
        ForEachMidValue(row, [&](std::string_view value, bool quoted) {
            v.push_back(quoted ? UndoubleQuotes(value) : std::string(value));
        });
        return v;
    };
    EXPECT_EQ(split("1,\"Smith, John\",\"\",\"a\"\"b\",42"),
              (std::vector<std::string>{"1", "Smith, John", "", "a\"b", "42"}));
    EXPECT_EQ(split(""), (std::vector<std::string>{""}));
    // A damaged row with an unterminated quote keeps its rest.
    EXPECT_EQ(split("1,\"abc,def"), (std::vector<std::string>{"1", "abc,def"}));
}

TEST(MifStyle, Pens)
{
    auto pen = [](const char* cfcc) {
        Pen p = PenForCfcc(cfcc);
        return std::make_pair(p.width, p.colour);
    };
    EXPECT_EQ(pen("A41"), std::make_pair(1, 128));
    EXPECT_EQ(pen("A15"), std::make_pair(2, 255));
    EXPECT_EQ(pen("A21"), std::make_pair(2, 65535));
    EXPECT_EQ(pen("B11"), std::make_pair(1, 0));
    EXPECT_EQ(pen("C31"), std::make_pair(1, 32768));
    EXPECT_EQ(pen("H11"), std::make_pair(1, 8388608));
    EXPECT_EQ(pen("F10"), std::make_pair(1, 8388608));
    EXPECT_EQ(pen("X00"), std::make_pair(1, 8388736));
    EXPECT_EQ(pen("D82").first, 1);
    EXPECT_NE(pen("D82").second, pen("E10").second);
    EXPECT_EQ(pen("Z99"), std::make_pair(1, 0));
}

TEST(MifStyle, BrushesByTheme)
{
    EXPECT_EQ(BrushForTheme("W"), 0xFF8000);
    EXPECT_EQ(BrushForTheme("CNTY"), 0xFF8004);
    EXPECT_EQ(BrushForTheme("ZCTA5"), 0xFF8054);
    EXPECT_EQ(BrushForTheme("FAIR90"), 0xA08080);
    EXPECT_EQ(BrushForTheme("AIR90"), 0xF08080);
    EXPECT_EQ(BrushForTheme("CD106"), 0xFF3880);
    EXPECT_EQ(BrushForTheme("CTPP"), 0xFFB880);
    EXPECT_EQ(BrushForTheme("UNKNOWN"), 0);
}

TEST(MifLayer, WritesItsFilesUnderTheirNamesWhenClosed)
{
    const std::string dir = TempDir("miflayer");
    LayerDefinition def;
    def.geometry = LayerGeometry::Area;
    def.basePath = dir + "TGR17031CNTY";
    def.theme = "CNTY";
    def.columns = kAreaColumns;
    WriteFailures failures;
    auto layer = OpenLayerWriter(kMifFormat, def, failures);
    ASSERT_TRUE(layer);
    const std::vector<GeoPoint> ring = {{-87000000, 41000000}, {-86000000, 41000000}, {-87000000, 42000000},
                                        {-87000000, 41000000}};
    const int32_t sizes[] = {4};
    Row row;
    row.Int(2).Int(-86666667).Int(41333333).Text("17031").Text("Cook");
    ASSERT_TRUE(layer->WriteArea(ring, sizes, row));
    EXPECT_EQ(ReadFile(def.basePath + ".MIF"), ""); // nothing under the final name yet
    EXPECT_TRUE(layer->Close().empty());
    EXPECT_EQ(layer->MainPath(), def.basePath + ".MIF");
    const std::string mif = ReadFile(def.basePath + ".MIF");
    EXPECT_NE(mif.find("Region 1\r\n4\r\n-87.000000 41.000000\r\n"), std::string::npos);
    EXPECT_NE(mif.find("BRUSH (2,0,16744452)\r\n"), std::string::npos); // the county layer's brush
    EXPECT_EQ(ReadFile(def.basePath + ".MID"), "2,-86.666667,41.333333,17031,\"Cook\"\r\n");
}

} // namespace
} // namespace zalor
