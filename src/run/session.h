// The state of a conversion session: the settings, the report, and the
// values that live for the whole process or for one run or county.
// The front end owns one Session and hands it to every part of the core.
#pragma once

#include "geometry/coords.h"
#include "run/log.h"
#include "run/settings.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace zalor {

// The distinct minor civil division codes of every county converted since
// the program started (only counted, for the log).
class McdCodeSet {
public:
    void Add(int32_t code)
    {
        if (code == last_ && !codes_.empty()) return;
        codes_.insert(code);
        last_ = code;
    }
    int32_t Count() const { return static_cast<int32_t>(codes_.size()); }

private:
    std::unordered_set<int32_t> codes_;
    int32_t last_ = 0;
};

class Session {
public:
    Session(RunSettings& settingsArg, Reporter& reporterArg) : settings(settingsArg), report(settingsArg, reporterArg) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    RunSettings& settings;
    RunReport report;

    // --- run state -----------------------------------------------------------
    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    void ClearStop() { stop_.store(false, std::memory_order_relaxed); }

    int formatCode = 0;               // 0 MIF/MID, 1 SHP/DBF/SHX, 2 KXF; set at the start of a run
    Projection projection;            // set up at the start of every county
    std::string currentArchive;       // the county archive, or empty for loose record files
    std::string countyOutputDirectory; // ends in '/'
    int areaBrushColour = 0;
    McdCodeSet mcdCodes;
    int64_t runStartMs = 0;           // 0 when no run is active

    // A failure of the current county (a write error, a broken input):
    // logged, and the county counts as failed.
    void CountyError(const std::string& message)
    {
        report.LogLine(message);
        report.reporter().Error(message);
        ++countyErrors;
    }
    int countyErrors = 0;  // errors of the county in progress
    int failedCounties = 0; // counties of the current run that failed

private:
    std::atomic<bool> stop_{false};
};

} // namespace zalor
