// The output phases of one county: the line groups with their node files,
// the landmark points and the area layers, each with its log lines, as the
// session's plan has them.
#pragma once

#include "run/county_plan.h"
#include "run/session.h"
#include "tiger/county.h"

namespace zalor {

// The line groups A to X, then the all-chains file when it is chosen.
void WriteLineGroupsPhase(Session& session, const County& county, const CountyPlan& job);
// The landmark point layer.
void WriteLandmarkPointsPhase(Session& session, const County& county, const CountyPlan& job);
// Every chosen area layer, in the plan's order.
void WriteAreaLayersPhase(Session& session, const County& county, const CountyPlan& job);

// One line group as base name + its suffix, with its node file when its
// fields ask for one.
void WriteLineGroupPhase(Session& session, const County& county, const CountyPlan& job, const LineGroupPlan& group);

} // namespace zalor
