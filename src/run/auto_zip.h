// Zipping a county's map outputs once they are written (the ZIP setting).
#pragma once

#include <string>

namespace zalor {

// Gathers the MIF, MID and MTD files of a county (names starting with
// `countyBaseName` in the archive's directory) into the archive
// `archivePath`, then deletes them. Nothing happens when there is no such
// file. Returns false when the archive could not be written completely;
// the files then stay where they are.
bool AutoZipOutputs(const std::string& archivePath, const std::string& countyBaseName);

} // namespace zalor
