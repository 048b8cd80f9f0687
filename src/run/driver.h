// The conversion run ("Go") and the per-county driver.
#pragma once

#include "run/session.h"
#include "tiger/county.h"
#include "tiger/record_file.h"

#include <exception>
#include <string>
#include <vector>

namespace zalor {

struct RunResult {
    bool refused = false; // nothing was selected: the run did not start
    int counties = 0;     // counties begun
    int failed = 0;       // counties that failed (nothing read, an error, a write failure)
    bool stopped = false; // the stop request ended the run
    bool logFailed = false; // the log file could not be written
    std::string outputRoot; // the output root the run wrote under (ending in '/')
    std::vector<CountyFailure> failures; // the counties that failed, each with its errors
};

// The reason an exception gives, in words ("out of memory" for a failed
// allocation).
std::string FailureText(const std::exception& e);

// Milliseconds of a monotonic clock.
int64_t TickCount();

// "Go": plans the run from the session's settings, checks the selection,
// walks the input list and converts every county.
RunResult RunConversion(Session& session);

// Converts one county input (an archive TGRssccc.ZIP or a record file) as
// the session's plan says; the county's output directory goes to
// `outputDirectory` once it is made.
void ProcessCounty(Session& session, County& county, const std::string& inputPath,
                   std::string* outputDirectory = nullptr);
// The same for a county whose record files are where `source` says.
void ProcessCounty(Session& session, County& county, const CountySource& source,
                   std::string* outputDirectory = nullptr);

// The archive that auto zip gathers a county's outputs into: the county's
// output base name with its first character replaced by "Z", plus ".ZIP"
// (TGR17031.ZIP gives ZGR17031.ZIP).
std::string AutoZipArchiveName(const std::string& inputPath);

} // namespace zalor
