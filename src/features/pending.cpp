// Placeholders for the feature outputs that are not written yet.
#include "features/areas.h"


namespace zalor {

void WriteEntityLayer(Session&, County&, const std::string&, const std::string&, bool, bool, int, int, bool) {}
void WriteKeyLocationLayer(Session&, County&, const std::string&, const std::string&, bool) {}
void WriteLandmarkPoints(Session&, County&, const std::string&) {}

} // namespace zalor
