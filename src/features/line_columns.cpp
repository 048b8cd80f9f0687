#include "features/line_columns.h"

#include "tiger/names.h"

namespace zalor {

namespace {

// Address columns are wide enough for the code of an address that is not
// a plain number (such as 123-45), which takes up to eleven characters.
// The name columns' width is that of the longest name (LineColumns).
const std::vector<Column> kGroupColumns[10] = {
    {{"TLID", ColumnType::Integer}},
    {{"FNODE", ColumnType::Integer}, {"TNODE", ColumnType::Integer}},
    {{"CFCC", ColumnType::Char, 3}},
    {{"NAME", ColumnType::Char}},
    {{"NAME1", ColumnType::Char}},
    {{"NAME2", ColumnType::Char}},
    {{"FRADDL", ColumnType::Char, 11},
     {"FRADDR", ColumnType::Char, 11},
     {"TOADDL", ColumnType::Char, 11},
     {"TOADDR", ColumnType::Char, 11}},
    {{"ZIPL", ColumnType::Char, 5}, {"ZIPR", ColumnType::Char, 5}},
    {{"FMCDL", ColumnType::Char, 5}, {"FMCDR", ColumnType::Char, 5}},
    {{"FPLL", ColumnType::Char, 5}, {"FPLR", ColumnType::Char, 5}},
};

// The groups whose values are integers, in columns of text where a format wants them so.
constexpr int kIntegerCodes = kColAddress | kColZip | kColFmcd | kColFpl;
constexpr int kNameColumns = kColName | kColName1 | kColName2;

} // namespace

std::vector<Column> LineColumns(int groups, const FormatDriver& format)
{
    std::vector<Column> cols = {{"NUM", ColumnType::Integer}};
    for (int i = 0; i < 10; ++i) {
        if (!(groups & (1 << i))) continue;
        for (Column c : kGroupColumns[i]) {
            const bool text = format.addressTexts && (1 << i) == kColAddress;
            if (!text && format.integerCodes && (kIntegerCodes & (1 << i))) c = {c.name, ColumnType::Integer};
            // A name is whole in every format: the three name columns hold
            // the longest name of any release (an alternate one with its
            // direction suffix), so that they are alike.
            if (kNameColumns & (1 << i)) c.width = static_cast<int>(LongestFeatureName());
            cols.push_back(std::move(c));
        }
    }
    return cols;
}

namespace {

// Address i of the chain (FRADDL, FRADDR, TOADDL, TOADDR) as the record
// has it; null when blank.
void AddressText(Row& row, const County& county, const ChainRecord& c, int i, int32_t code)
{
    if (c.blankAddresses & (1 << i)) row.Null();
    else if (c.addressTexts > 0 && c.addressTexts <= county.addressTexts.size())
        row.Text(county.addressTexts[c.addressTexts - 1][static_cast<std::size_t>(i)]);
    else row.Text(std::to_string(code));
}

} // namespace

void BuildAttributeRow(Row& row, const County& county, const ChainRecord& c, int number, int groups,
                       int64_t fnode, int64_t tnode, bool addressTexts)
{
    row.Clear();
    row.Int(number);
    if (groups & kColTlid) row.Int(c.TLID);
    if (groups & kColNodes) row.Int(fnode).Int(tnode);
    if (groups & kColCfcc) row.Text(std::string_view(c.CFCC, 3));
    if (groups & kColName) row.Text(county.names.Text(c.NAME));
    if (groups & kColName1) row.Text(county.names.Text(c.NAME1));
    if (groups & kColName2) row.Text(county.names.Text(c.NAME2));
    if ((groups & kColAddress) && addressTexts) {
        const int32_t codes[4] = {c.FRADDL, c.FRADDR, c.TOADDL, c.TOADDR};
        for (int i = 0; i < 4; ++i) AddressText(row, county, c, i, codes[i]);
    } else if (groups & kColAddress) {
        row.Int(c.FRADDL).Int(c.FRADDR).Int(c.TOADDL).Int(c.TOADDR);
    }
    if (groups & kColZip) row.Int(c.ZIPL).Int(c.ZIPR);
    if (groups & kColFmcd) row.Int(c.FMCDL).Int(c.FMCDR);
    if (groups & kColFpl) row.Int(c.FPLL).Int(c.FPLR);
}

} // namespace zalor
