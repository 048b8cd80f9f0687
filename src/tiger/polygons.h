// Polygon links (RTI), entity names (RTC) and the county extent.
#pragma once

#include "tiger/county.h"
#include "base/progress.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"

#include <cstdint>

namespace zalor {

// Bytes in which the first RTC line must end; its length is the record length.
inline constexpr int kRtcProbe = 228;

// Gives the chains named by RTI records their left and right polygons.
// Returns the number of records read.
int32_t ReadPolygonLinks(TZipFile& file, const RecordLayouts& layouts, ChainTable& chains, ProgressObserver& observer);

enum class EntityNamesRead {
    Read,      // every record was read (see file.Error() for a damaged file)
    BadLength, // the first line does not end where a record could
};

// Reads the county's entity names (emptied first) and its county name:
// the name of the type 'C' entity whose FIPS code appears in `inputFileName`.
EntityNamesRead ReadEntityNames(TZipFile& file, const RecordLayouts& layouts, County& county,
                                std::string_view inputFileName, ProgressObserver& observer);

// The box around every chain point of the county.
CountyExtent ComputeCountyExtent(const ChainTable& chains);

} // namespace zalor
