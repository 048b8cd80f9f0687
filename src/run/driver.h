// The conversion run ("Go") and the per-county driver.
#pragma once

#include "run/session.h"
#include "tiger/county.h"

#include <string>

namespace zalor {

struct RunResult {
    bool refused = false; // nothing was selected: the run did not start
    int counties = 0;     // counties begun
    int failed = 0;       // counties that failed (nothing read, an error, a write failure)
    bool stopped = false; // the stop request ended the run
    bool logFailed = false; // the log file could not be written
};

// Milliseconds of a monotonic clock.
int64_t TickCount();

// "Go": checks the selection, walks the input list and converts every county.
RunResult RunConversion(Session& session);

// Converts one county input (an archive TGRssccc.ZIP or a record file);
// the county's output directory goes to `outputDirectory` once it is made.
void ProcessCounty(Session& session, County& county, const std::string& inputPath,
                   std::string* outputDirectory = nullptr);

// The archive that auto zip gathers a county's outputs into: the county's
// output base name with its first character replaced by "Z", plus ".ZIP"
// (TGR17031.ZIP gives ZGR17031.ZIP).
std::string AutoZipArchiveName(const std::string& inputPath);

// The log line of a Lambert radius that MIF files cannot declare (they are
// written on the one sphere they can), or an empty text.
std::string MifRadiusNote(const RunSettings& settings);

// The path part of an input list entry ("path|size").
std::string EntryPath(const std::string& entry);

} // namespace zalor
