// Area and point feature output.
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;

// One area layer from an RTS, RTA or RT8 record file.
void WriteEntityLayer(Session& session, County& county, const std::string& recordFile, const std::string& spec,
                      bool landmark, bool excludeWater, int waterMode, int kindCode, bool centroid);
// The key geographic location layer from the RT9 record file.
void WriteKeyLocationLayer(Session& session, County& county, const std::string& recordFile, const std::string& spec,
                           bool centroid);
// The landmark point layer from the county's landmark table.
void WriteLandmarkPoints(Session& session, County& county, const std::string& base);

} // namespace zalor
