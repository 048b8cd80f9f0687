// What a run reports: its log lines, status, progress and the files it
// lists, shown through the front end's Reporter at once, or kept while the
// work runs beside other work and shown later, in order.
#pragma once

#include "run/log.h"
#include "run/output_list.h"
#include "run/reporter.h"
#include "tiger/county.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// What a report keeps instead of showing while its work runs beside other
// work; shown later, in order, by Replay.
struct ReportEvent {
    enum class Kind : uint8_t {
        Log, ReplaceLast, Status, CountyStatus, Progress, Output, OutputRemoved, Error, Notice, Warning, Phase,
        CountyBegun, McdTotal
    };
    Kind kind;
    std::string text;
    int64_t done = 0;  // Progress; CountyBegun: the county's number; Output: the file's size
    int64_t total = 0; // Progress; CountyBegun: the number of counties
    int64_t size = 0;  // CountyBegun: the input's size
    OutputEntry::State state = OutputEntry::State::Written;
    std::vector<int32_t> codes; // McdTotal: the county's minor civil division codes
};

// A county of a run that failed, and why: the errors it reported, in order.
struct CountyFailure {
    std::string input;  // the input's path
    std::string county; // its county line ("[08901] Ivanhoe County"), once read
    std::vector<std::string> errors;
};

class RunReport {
public:
    RunReport(RunLog& log, OutputList& outputs, Reporter& reporter) : log_(log), outputs_(outputs), reporter_(reporter)
    {
    }

    void LogLine(std::string_view text);
    void ReplaceLastLogLine(std::string_view text);
    void ShowProgress(int64_t done, int64_t total);
    void ShowStatus(std::string_view text);
    void ShowCountyStatus(std::string_view text);
    // Lists a file at the top of the output list with its size now (a file
    // that was skipped because it exists is listed like a written one).
    void AddOutputEntry(const std::string& path, OutputEntry::State state = OutputEntry::State::Written);
    void AddOutput(const OutputEntry& entry);
    // A listed file that is gone (into the county's archive): off the list.
    void RemoveOutput(const std::string& path);
    void ClearOutputs();
    // The completion signal is sounded (when `on`) for every file listed
    // and twice at the end of a run.
    void SetCompletionSignal(bool on) { beep_ = on; }
    void CompletionSignal(int times = 1);
    void ShowWarning(std::string_view text);
    // Logs a warning and shows it (the run goes on).
    void Notice(std::string_view text);
    // Shows an error that must reach the user (it is logged by the caller).
    void ShowError(std::string_view text);

    // The county's phase, and the beginning of county `number` of `count`.
    void ShowPhase(std::string_view name);
    void ShowCountyBegun(int number, int count, const InputEntry& input);
    // Logs "Total MCD's=" with the number of distinct minor civil division
    // codes in `codes` (all counties so far).
    void LogMcdTotal(const McdCodeSet& codes);

    // The counties whose errors were shown since ClearFailures, each with
    // its errors (a report that is kept and replayed adds them when it is
    // shown).
    const std::vector<CountyFailure>& Failures() const { return failures_; }
    void ClearFailures();

    // With `events`, everything reported is kept there instead of shown;
    // null shows it at once again.
    void Defer(std::vector<ReportEvent>* events) { deferred_ = events; }
    // Shows what a deferred report kept, as if it were reported now; the
    // minor civil division codes it kept are added to `mcd`.
    void Replay(const std::vector<ReportEvent>& events, McdCodeSet* mcd = nullptr);

    RunLog& Log() { return log_; }
    const RunLog& Log() const { return log_; }
    OutputList& Outputs() { return outputs_; }
    const OutputList& Outputs() const { return outputs_; }
    bool CompletionSignalOn() const { return beep_; }
    Reporter& reporter() { return reporter_; }

private:
    RunLog& log_;
    OutputList& outputs_;
    Reporter& reporter_;
    bool beep_ = false;
    std::vector<ReportEvent>* deferred_ = nullptr;
    // The county being shown, and whether it is among the failures yet.
    std::string countyInput_;
    std::string countyLine_;
    bool countyFailed_ = false;
    std::vector<CountyFailure> failures_;

    bool Keep(ReportEvent event)
    {
        if (!deferred_) return false;
        deferred_->push_back(std::move(event));
        return true;
    }
    bool Keep(ReportEvent::Kind kind, std::string_view text, int64_t done = 0, int64_t total = 0)
    {
        return Keep(ReportEvent{kind, std::string(text), done, total, 0, {}, {}});
    }
};

} // namespace zalor
