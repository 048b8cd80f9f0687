// Access to a county's record files, inside its archive or loose.
#pragma once

#include <string>

namespace zalor {

class Session;

// Gathers the MIF, MID and MTD files that the run wrote for the county
// (names starting with `countyBaseName` in the county output directory)
// into the archive `archivePath`, then deletes them.
void AutoZipOutputs(Session& session, const std::string& archivePath, const std::string& countyBaseName);

} // namespace zalor
