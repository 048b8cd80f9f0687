// Point landmarks (RT7).
#pragma once

#include "tiger/county.h"
#include "base/progress.h"
#include "tiger/record_file.h"

namespace zalor {

inline constexpr int kRt7Length = 76;

// Reads the county's landmarks (the table is emptied first).
void ReadLandmarks(TZipFile& file, County& county, int digits, ProgressObserver& observer);

} // namespace zalor
