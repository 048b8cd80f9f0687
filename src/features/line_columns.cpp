#include "features/line_columns.h"

#include "formats/textfile.h"

#include <charconv>

namespace zalor {

namespace {

struct GroupBoxes {
    int mask;
    // TLID, nodes, CFCC, NAME, NAME1, NAME2, address, ZIP, FMCD, FPL (0 = none)
    int box[10];
};

// Which output-field box (CbQnn) switches each group on, per line group.
// On the landmark-line page the CFCC box also gives the node group; on
// the hydrography page the boxes are read one place along.
constexpr GroupBoxes kBoxes[] = {
    {1, {1, 10, 2, 3, 4, 5, 6, 7, 8, 9}},
    {2, {11, 25, 12, 13, 14, 15, 0, 0, 16, 17}},
    {4, {48, 0, 49, 0, 0, 0, 0, 0, 0, 0}},
    {8, {27, 28, 28, 31, 32, 33, 0, 0, 29, 30}},
    {16, {34, 0, 35, 0, 0, 0, 0, 0, 0, 0}},
    {32, {36, 0, 37, 0, 0, 0, 0, 0, 0, 0}},
    {64, {0, 26, 18, 19, 20, 21, 0, 0, 22, 23}},
    {255, {38, 47, 39, 40, 41, 42, 43, 44, 45, 46}},
};

// Address columns are wide enough for the code of an address that is not
// a plain number (such as 123-45), which takes up to eleven characters.
constexpr const char* kGroupColumns[10] = {
    "TLID integer\r\n",
    "FNODE integer\r\nTNODE integer\r\n",
    "CFCC char (3)\r\n",
    "NAME char (30)\r\n",
    "NAME1 char (30)\r\n",
    "NAME2 char (30)\r\n",
    "FRADDL char (11)\r\nFRADDR char (11)\r\nTOADDL char (11)\r\nTOADDR char (11)\r\n",
    "ZIPL char (5)\r\nZIPR char (5)\r\n",
    "FMCDL char (5)\r\nFMCDR char (5)\r\n",
    "FPLL char (5)\r\nFPLR char (5)\r\n",
};
constexpr int kGroupColumnCount[10] = {1, 2, 1, 1, 1, 1, 4, 2, 2, 2};

void AppendInt(std::string& row, int64_t v)
{
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    row.append(buf, end);
}

void AppendComma(std::string& row, int64_t v)
{
    row.push_back(',');
    AppendInt(row, v);
}

void AppendCommaQuoted(std::string& row, std::string_view text)
{
    row.push_back(',');
    AppendQuoted(row, text);
}

} // namespace

LineColumns BuildColumnList(const RunSettings& s, int mask)
{
    LineColumns cols;
    cols.text = "NUM integer\r\n";
    for (const auto& g : kBoxes) {
        if (g.mask != mask) continue;
        for (int i = 0; i < 10; ++i) {
            if (g.box[i] == 0) continue;
            std::string key = "CbQ" + std::string(g.box[i] < 10 ? "0" : "") + std::to_string(g.box[i]);
            if (!s.Box(key)) continue;
            cols.groups |= 1 << i;
            cols.text += kGroupColumns[i];
            cols.count += kGroupColumnCount[i];
        }
    }
    return cols;
}

void BuildAttributeRow(std::string& row, const County& county, const ChainRecord& c, int number, int groups,
                       int64_t fnode, int64_t tnode)
{
    row.clear();
    AppendInt(row, number);
    if (groups & kColTlid) AppendComma(row, c.TLID);
    if (groups & kColNodes) {
        AppendComma(row, fnode);
        AppendComma(row, tnode);
    }
    if (groups & kColCfcc) AppendCommaQuoted(row, std::string_view(c.CFCC, 3));
    if (groups & kColName) AppendCommaQuoted(row, county.names.Text(c.NAME));
    if (groups & kColName1) AppendCommaQuoted(row, county.names.Text(c.NAME1));
    if (groups & kColName2) AppendCommaQuoted(row, county.names.Text(c.NAME2));
    if (groups & kColAddress) {
        AppendComma(row, c.FRADDL);
        AppendComma(row, c.FRADDR);
        AppendComma(row, c.TOADDL);
        AppendComma(row, c.TOADDR);
    }
    if (groups & kColZip) {
        AppendComma(row, c.ZIPL);
        AppendComma(row, c.ZIPR);
    }
    if (groups & kColFmcd) {
        AppendComma(row, c.FMCDL);
        AppendComma(row, c.FMCDR);
    }
    if (groups & kColFpl) {
        AppendComma(row, c.FPLL);
        AppendComma(row, c.FPLR);
    }
}

Pen PenForCfcc(std::string_view cfcc)
{
    Pen pen;
    char a = cfcc.size() > 0 ? cfcc[0] : 0;
    char b = cfcc.size() > 1 ? cfcc[1] : 0;
    switch (a) {
    case 'D': pen.colour = 0x008080; break; // landmark lines: teal
    case 'E': pen.colour = 0x804000; break; // physical features: brown
    case 'P': pen.colour = 128; break;      // provisional roads draw like roads
    default: break;
    }
    if (a == 'A') pen = {1, 128};
    if (a == 'A' && b == '1') pen = {2, 255};
    if (a == 'A' && b == '2') pen = {2, 65535};
    if (a == 'B') pen = {1, 0};
    if (a == 'C') pen = {1, 32768};
    if (a == 'H') pen = {1, 8388608};
    if (a == 'F') pen = {1, 8388608};
    if (a == 'X') pen = {1, 8388736};
    return pen;
}

} // namespace zalor
