#include "features/line_columns.h"
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
    for (const Column& col : LineColumns(c.groups)) {
        ++c.count;
        c.text += col.name + (col.type == ColumnType::Integer ? " integer" : " char (" + std::to_string(col.width) + ")");
        c.text += "\r\n";
    }
    return c;
}

std::string MidRow(const LayerRow& row) { return row.Mid(); }

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
    EXPECT_EQ(c.text, "NUM integer\r\nTLID integer\r\nCFCC char (3)\r\nNAME char (30)\r\nNAME1 char (30)\r\n");
}

TEST(LineColumns, EveryGroupInItsFixedOrder)
{
    RunSettings s;
    for (int q = 38; q <= 47; ++q) s.SetBox("CbQ" + std::to_string(q), true);
    Columns c = BuildColumnList(s, 255);
    EXPECT_EQ(c.count, 18);
    EXPECT_EQ(c.text, "NUM integer\r\nTLID integer\r\nFNODE integer\r\nTNODE integer\r\nCFCC char (3)\r\n"
                      "NAME char (30)\r\nNAME1 char (30)\r\nNAME2 char (30)\r\nFRADDL char (11)\r\n"
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
    LayerRow row;
    BuildAttributeRow(row, county, c, 7, kColTlid | kColCfcc | kColName | kColName1 | kColName2, 0, 0);
    EXPECT_EQ(MidRow(row), "7,12345,\"A41\",\"N Main St\",\"\",\"Joe\"\"s Rd, Ext\"");
    std::string scratch;
    EXPECT_EQ(row.ValueAt(5, scratch), "Joe\"s Rd, Ext"); // the DBF gets the text itself
    EXPECT_EQ(row.ValueAt(3, scratch), "N Main St");
    BuildAttributeRow(row, county, c, 1, kColNodes | kColAddress | kColZip | kColFmcd | kColFpl, 3, 4);
    EXPECT_EQ(MidRow(row), "1,3,4,100,-2063861451,198,199,2134,0,0,12345,0,0");
    BuildAttributeRow(row, county, c, 9, 0, 0, 0);
    EXPECT_EQ(MidRow(row), "9");

    // Line ends and other control characters in a name become spaces: a
    // row stays one line of its file, in the table alike.
    c.NAME = county.names.Intern(std::string("Two\r\nLines\0Here", 15));
    BuildAttributeRow(row, county, c, 1, kColName, 0, 0);
    EXPECT_EQ(MidRow(row), "1,\"Two  Lines Here\"");
    EXPECT_EQ(row.ValueAt(1, scratch), "Two  Lines Here");
}

TEST(LineColumns, Pens)
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

} // namespace
} // namespace zalor
