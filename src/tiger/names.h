// Alternate feature names: the RT5 name list and the RT4 chain references;
// how long a feature name can be.
#pragma once

#include "tiger/county.h"
#include "base/progress.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"

#include <cstddef>
#include <cstdint>

namespace zalor {

// Appends every RT5 name to the county's alternate-name index (in the name store).
void ReadAltNames(TZipFile& file, const RecordLayouts& layouts, County& county, ProgressObserver& observer);
// Gives the chains named by RT4 records their alternate names.
void ReadAltFeatures(TZipFile& file, const RecordLayouts& layouts, County& county, ProgressObserver& observer);

// The longest feature name the records of any release can give: a
// primary (RT1) or alternate (RT5) name with every part filling its field,
// joined by blanks as FeatureName joins them.
std::size_t LongestFeatureName();

} // namespace zalor
