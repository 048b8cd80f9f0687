// Columns, attribute rows and pens of the line files.
#pragma once

#include "formats/layer_writer.h"
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
// The address, ZIP and FIPS codes are integers in a GeoPackage, texts of
// their width in the other formats.
std::vector<Column> LineColumns(int groups, OutputFormat format = OutputFormat::Mif);

// The attribute row of a chain: its running number, then the values of
// the selected groups. `fnode`/`tnode` are used with the node group.
void BuildAttributeRow(LayerRow& row, const County& county, const ChainRecord& chain, int number, int groups,
                       int64_t fnode, int64_t tnode);

struct Pen {
    int width = 1;
    int colour = 0;
};
// Pen of a chain by its CFCC (pattern is always 2).
Pen PenForCfcc(std::string_view cfcc);

} // namespace zalor
