// Point landmarks (RT7).
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;

// Reads the county's landmarks; with `write`, then writes the landmark
// point layer (output directory + base name + suffix).
void ReadLandmarks(Session& session, County& county, const std::string& countyPath, const std::string& suffix,
                   bool write);

} // namespace zalor
