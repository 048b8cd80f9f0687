// Columns and attribute rows of the line files.
#pragma once

#include "formats/format.h"
#include "tiger/county.h"

#include <string_view>
#include <vector>

namespace zalor {

// Column groups of a line file, in the order their columns are added.
enum LineColumnGroup : int {
    kColTlid = 1,
    kColNodes = 2,
    kColCfcc = 4,
    kColName = 8,
    kColName1 = 16,
    kColName2 = 32,
    kColAddress = 64,
    kColZip = 128,
    kColFmcd = 256,
    kColFpl = 512,
};

// NUM, then the columns of every group in `groups` (LineColumnGroup bits).
// The address, ZIP and FIPS codes are integers in a format that takes
// them so, texts of their width in the others.
std::vector<Column> LineColumns(int groups, const FormatDriver& format);

// The attribute row of a chain: its running number, then the values of
// the selected groups. `fnode`/`tnode` are used with the node group; with
// `addressTexts` the addresses are the record's texts (null when blank).
void BuildAttributeRow(Row& row, const County& county, const ChainRecord& chain, int number, int groups,
                       int64_t fnode, int64_t tnode, bool addressTexts = false);

} // namespace zalor
