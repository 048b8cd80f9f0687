// Point landmarks (RT7).
#pragma once

#include "tiger/county.h"
#include "base/progress.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"

namespace zalor {

// Reads the county's landmarks (the table is emptied first).
void ReadLandmarks(TZipFile& file, const RecordLayouts& layouts, County& county, int digits,
                   ProgressObserver& observer);

} // namespace zalor
