// The reading phases of one county: each opens its record file, calls its
// reader and logs what was read, in the driver's order.
#pragma once

#include "run/session.h"
#include "tiger/county.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"

namespace zalor {

// Members of the county's archive that are in it more than once (whatever
// the case of their names): a warning naming each, and the one read.
void NoteDuplicateMembers(Session& session, const CountySource& source);
// RTC: the entity names and the county name.
void ReadEntityNamesPhase(Session& session, County& county, const CountySource& source, const Release& release);
// RT1, then (when it gave chains) RT2, RTI, the county extent, RT5 and
// RT4. False when no chain was read.
bool ReadChainPhases(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts);
// The chosen order of the chains ("Sorting Complete" is the caller's).
void OrderChainsPhase(Session& session, County& county);
// RT7: the landmarks. False when the file was damaged (no point layer then).
bool ReadLandmarksPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts);

} // namespace zalor
