// The output phases of one county: the line groups with their node files,
// the landmark points and the area layers, each with its log lines.
#pragma once

#include "run/county_job.h"
#include "run/session.h"
#include "run/settings.h"
#include "tiger/county.h"

namespace zalor {

// The line groups A to X, then the all-chains file when it is chosen.
void WriteLineGroupsPhase(Session& session, const County& county, const CountyJob& job);
// The landmark point layer, when a point landmark class is chosen.
void WriteLandmarkPointsPhase(Session& session, const County& county, const CountyJob& job);
// Every chosen area layer, in the order of the area layer table.
void WriteAreaLayersPhase(Session& session, const County& county, const CountyJob& job);

// One line group (`mask`, a SelectionMask) as base name + `suffix`, with
// its node file when its fields ask for one.
void WriteLineGroupPhase(Session& session, const County& county, const CountyJob& job, int mask,
                         const std::string& suffix, const std::string& theme);
// One area layer from its attribute records.
void WriteAreaLayerPhase(Session& session, const County& county, const CountyJob& job, const AreaLayerDef& layer);

} // namespace zalor
