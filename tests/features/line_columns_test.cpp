#include "features/line_columns.h"
#include "formats/mif/mid_syntax.h"
#include "formats/gpkg/gpkg.h"
#include "formats/mif/mif.h"
#include "run/selection.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zalor {
namespace {

// The columns of a line group as the MIF column block lists them.
struct Columns {
    int count = 0;
    std::string text;
    int groups = 0;
};

Columns BuildColumnList(const RunSettings& s, int mask)
{
    Columns c;
    c.groups = LineColumnGroups(s, mask);
    for (const Column& col : LineColumns(c.groups, kMifFormat)) {
        ++c.count;
        c.text += col.name + (col.type == ColumnType::Integer ? " integer" : " char (" + std::to_string(col.width) + ")");
        c.text += "\r\n";
    }
    return c;
}

// The row as a MID file has it, with the columns of the groups.
std::string MidRow(const Row& row, int groups)
{
    std::string out;
    AppendMidRow(out, row, LineColumns(groups, kMifFormat));
    return out;
}

RunSettings NoFields()
{
    RunSettings s;
    for (int q = 1; q <= 49; ++q) s.SetBox("CbQ" + std::string(q < 10 ? "0" : "") + std::to_string(q), false);
    return s;
}

TEST(LineColumns, DefaultRoadColumns)
{
    RunSettings s;
    Columns c = BuildColumnList(s, 1);
    EXPECT_EQ(c.count, 5);
    EXPECT_EQ(c.text, "NUM integer\r\nTLID integer\r\nCFCC char (3)\r\nNAME char (41)\r\nNAME1 char (41)\r\n");
}

TEST(LineColumns, EveryGroupInItsFixedOrder)
{
    RunSettings s;
    for (int q = 38; q <= 47; ++q) s.SetBox("CbQ" + std::to_string(q), true);
    Columns c = BuildColumnList(s, 255);
    EXPECT_EQ(c.count, 18);
    EXPECT_EQ(c.text, "NUM integer\r\nTLID integer\r\nFNODE integer\r\nTNODE integer\r\nCFCC char (3)\r\n"
                      "NAME char (41)\r\nNAME1 char (41)\r\nNAME2 char (41)\r\nFRADDL char (11)\r\n"
                      "FRADDR char (11)\r\nTOADDL char (11)\r\nTOADDR char (11)\r\nZIPL char (5)\r\nZIPR char (5)\r\n"
                      "FMCDL char (5)\r\nFMCDR char (5)\r\nFPLL char (5)\r\nFPLR char (5)\r\n");
}

TEST(LineColumns, PageQuirks)
{
    RunSettings s = NoFields();
    // Landmark lines: the CFCC box gives the node group as well.
    s.SetBox("CbQ28", true);
    Columns d = BuildColumnList(s, 8);
    EXPECT_EQ(d.text, "NUM integer\r\nFNODE integer\r\nTNODE integer\r\nCFCC char (3)\r\n");
    EXPECT_EQ(d.groups, kColNodes | kColCfcc);
    // Hydrography: the box captioned "TIGER ID" adds CFCC, never a TLID column.
    s = NoFields();
    s.SetBox("CbQ18", true);
    s.SetBox("CbQ22", true);
    s.SetBox("CbQ24", true); // has no effect
    Columns h = BuildColumnList(s, 64);
    EXPECT_EQ(h.groups, kColCfcc | kColFmcd);
    // Unclassified lines and all boxes off: NUM only.
    s = NoFields();
    EXPECT_EQ(BuildColumnList(s, 1).text, "NUM integer\r\n");
    RunSettings all;
    EXPECT_EQ(BuildColumnList(all, 128).count, 1);
}

TEST(LineColumns, AttributeRows)
{
    County county;
    ChainRecord c;
    c.TLID = 12345;
    std::memcpy(c.CFCC, "A41", 4);
    c.NAME = county.names.Intern("N Main St");
    c.NAME2 = county.names.Intern("Joe\"s Rd, Ext");
    c.FRADDL = 100;
    c.TOADDL = 198;
    c.FRADDR = -2063861451;
    c.TOADDR = 199;
    c.ZIPL = 2134;
    c.FMCDR = 12345;
    Row row;
    const int names = kColTlid | kColCfcc | kColName | kColName1 | kColName2;
    BuildAttributeRow(row, county, c, 7, names, 0, 0);
    EXPECT_EQ(MidRow(row, names), "7,12345,\"A41\",\"N Main St\",\"\",\"Joe\"\"s Rd, Ext\"");
    EXPECT_EQ(row.TextAt(5), "Joe\"s Rd, Ext"); // the DBF gets the text itself
    EXPECT_EQ(row.TextAt(3), "N Main St");
    EXPECT_EQ(row.KindAt(1), Value::Kind::Integer);
    const int codes = kColNodes | kColAddress | kColZip | kColFmcd | kColFpl;
    BuildAttributeRow(row, county, c, 1, codes, 3, 4);
    EXPECT_EQ(MidRow(row, codes), "1,3,4,100,-2063861451,198,199,2134,0,0,12345,0,0");
    EXPECT_EQ(row.IntAt(4), -2063861451);
    BuildAttributeRow(row, county, c, 9, 0, 0, 0);
    EXPECT_EQ(MidRow(row, 0), "9");

    // Line ends and other control characters in a name become spaces: a
    // row stays one line of its file, in the table alike.
    c.NAME = county.names.Intern(std::string("Two\r\nLines\0Here", 15));
    BuildAttributeRow(row, county, c, 1, kColName, 0, 0);
    EXPECT_EQ(MidRow(row, kColName), "1,\"Two  Lines Here\"");
    EXPECT_EQ(row.TextAt(1), "Two  Lines Here");
}

TEST(LineColumns, CodesAreIntegersWhereTheFormatTakesThem)
{
    const int codes = kColAddress | kColZip | kColFmcd | kColFpl;
    // The GeoPackage's addresses are the records' texts.
    for (const Column& c : LineColumns(codes, kGpkgFormat))
        EXPECT_EQ(c.type, c.name.find("ADD") != std::string::npos ? ColumnType::Char : ColumnType::Integer) << c.name;
    const std::vector<Column> mif = LineColumns(codes, kMifFormat);
    EXPECT_EQ(mif[1].type, ColumnType::Char);
    EXPECT_EQ(mif[1].width, 11);
}

} // namespace
} // namespace zalor
