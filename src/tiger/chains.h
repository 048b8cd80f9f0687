// Chains (RT1) and their shape points (RT2), and the chain orderings.
#pragma once

#include "tiger/county.h"
#include "base/progress.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"

#include <cstdint>

namespace zalor {

// Reads the chain records of `file` into the county's chain table (emptied
// first, with the alternate-name index) in file order; coordinates keep
// `digits` decimals. Every minor civil division code met goes into `mcd`.
// A read error ends the records early (file.Error() tells).
void ReadChains(TZipFile& file, const RecordLayouts& layouts, County& county, int digits, McdCodeSet& mcd,
                ProgressObserver& observer);

// Reads the shape points of `file` and gives each chain its points
// (precision `digits`, simplified with `tolerance`); points of unknown
// chains are dropped. Returns the number of runs of records of one chain.
// After a read error only the chains completed before it have points.
int32_t ReadShapes(TZipFile& file, const RecordLayouts& layouts, ChainTable& chains, int digits, int tolerance,
                   ProgressObserver& observer);

// The orderings of the chain table; chains with equal keys keep their order.
void SortChainsById(ChainTable& chains);
void SortChainsSpatially(ChainTable& chains);     // by start point, x then y
void SortChainsByMcd(ChainTable& chains);         // by left MCD, then start point
void SortChainsByCfcc(ChainTable& chains);        // by CFCC bytes

} // namespace zalor
