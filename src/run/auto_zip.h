// Zipping a county's map outputs once they are written (the ZIP setting).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace zalor {

// Gathers the MIF, MID and MTD files of a county (names starting with
// `countyBaseName` in the archive's directory) into the archive
// `archivePath`, then deletes them. Nothing happens when there is no such
// file. Returns false when the archive could not be written completely;
// the files then stay where they are.
// `progress(done, total)` is told of each file added; `zipped` gets the
// paths of the files that went into the archive (and are gone).
bool AutoZipOutputs(const std::string& archivePath, const std::string& countyBaseName,
                    const std::function<void(std::size_t, std::size_t)>& progress = {},
                    std::vector<std::string>* zipped = nullptr);

} // namespace zalor
