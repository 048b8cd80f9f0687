// Counties on NAD27 or an older local datum converted to NAD83 when the
// run asks for it: the chain ends and shape points once the chains are
// read, the landmark points once they are.
#pragma once

#include "run/county_plan.h"
#include "run/session.h"
#include "tiger/county.h"

namespace zalor {

// Converts the county's chains to NAD83 when the plan says so and the
// county is on another datum; the county's outputs then declare NAD83.
// False (an error of the county) when PROJ cannot convert it accurately
// or a point lies beyond its grid.
bool ShiftChainsPhase(Session& session, County& county, CountyPlan& job);

// Converts the landmark points with the county's shift (nothing when its
// chains were not converted). False (an error of the county) when a point
// lies beyond the grid.
bool ShiftLandmarksPhase(Session& session, County& county, const CountyPlan& job);

} // namespace zalor
