// The state of a conversion session: the settings, the plan of the run in
// progress, the report, and the values that live for the whole process or
// for one run. The front end owns one Session and hands it to the driver.
#pragma once

#include "run/plan.h"
#include "run/report.h"
#include "run/settings.h"
#include "tiger/county.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace zalor {

class Session {
    // The session's own log and output list. A session for work beside
    // other work has none: its report is kept and replayed (and it is made
    // for every layer, so it allocates nothing it does not use).
    std::optional<RunLog> ownLog_;
    std::optional<OutputList> ownOutputs_;

public:
    Session(RunSettings& settingsArg, Reporter& reporterArg)
        : ownLog_(std::in_place), ownOutputs_(std::in_place), settings(settingsArg),
          report(*ownLog_, *ownOutputs_, reporterArg)
    {
    }
    // A session for work of the county in progress that runs beside other
    // work: it shares the settings, the plan and the stop flag, and keeps
    // what it reports in `events` (the parent's report replays them in order).
    Session(Session& parent, std::vector<ReportEvent>& events)
        : settings(parent.settings), plan(parent.plan), report(parent.report.Log(), parent.report.Outputs(),
                                                               parent.report.reporter()),
          jobs(parent.jobs), noted(parent.noted), stop_(parent.stop_)
    {
        report.SetCompletionSignal(parent.report.CompletionSignalOn());
        report.Defer(&events);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The front end's settings, which a run makes its plan from.
    RunSettings& settings;
    // The plan of the run in progress: all that the driver and its phases read.
    const ConversionPlan* plan = nullptr;
    RunReport report;

    // Makes `p` the plan of the work to come: the log and the completion
    // signal follow it.
    void UsePlan(const ConversionPlan& p)
    {
        plan = &p;
        report.Log().Configure(p.logFile, p.logDisabled);
        report.SetCompletionSignal(p.beep);
    }

    // --- run state -----------------------------------------------------------
    bool Stopped() const { return stop_->load(std::memory_order_relaxed); }
    void RequestStop() { stop_->store(true, std::memory_order_relaxed); }
    void ClearStop() { stop_->store(false, std::memory_order_relaxed); }

    McdCodeSet mcdCodes;    // every county since the program started
    unsigned jobs = 1;      // counties converted at once (the layers of each share the rest of the cores)
    int64_t runStartMs = 0; // 0 when no run is active

    // A failure of the current county (a write error, a broken input):
    // logged, and the county counts as failed.
    void CountyError(const std::string& message)
    {
        report.LogLine(message);
        report.ShowError(message);
        ++countyErrors;
    }
    int countyErrors = 0;  // errors of the county in progress
    std::set<std::string> noted; // record files the county in progress has said something of
    int failedCounties = 0; // counties of the current run that failed

private:
    std::atomic<bool> ownStop_{false};
    std::atomic<bool>* stop_ = &ownStop_;
};

} // namespace zalor
