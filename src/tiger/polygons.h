// Polygon links (RTI), entity names (RTC) and the county extent.
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;

void ReadPolygonLinks(Session& session, County& county, const std::string& countyPath);
void ReadEntityNames(Session& session, County& county, const std::string& countyPath);
void ComputeCountyExtent(Session& session, County& county);

} // namespace zalor
