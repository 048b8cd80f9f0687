// Output naming, directories, the run log, progress and the output list.
#pragma once

#include "run/reporter.h"
#include "run/settings.h"
#include "tiger/county.h"
#include "tiger/paths.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// "1,234,567"; -1 gives "-1".
std::string FormatThousands(int64_t n);

// "Time: 01:23.456 ms" for 83,456 ms.
std::string ElapsedText(int64_t ms);

// Makes a county name safe to use as one directory level: separators,
// "..", control characters and other characters that could lead outside
// the output root are replaced; an empty name stays empty.
std::string SafeDirectoryName(std::string_view name);

// What a report keeps instead of showing while its work runs beside other
// work; shown later, in order, by Replay.
struct ReportEvent {
    enum class Kind : uint8_t {
        Log, ReplaceLast, Status, CountyStatus, Progress, Output, Error, Notice, Warning, Phase, CountyBegun, McdTotal
    };
    Kind kind;
    std::string text;
    int64_t done = 0;
    int64_t total = 0;
    std::vector<int32_t> codes; // McdTotal: the county's minor civil division codes
};

class RunReport {
public:
    static constexpr std::size_t kLogListLimit = 300;
    static constexpr std::size_t kLogListDrop = 20;

    RunReport(const RunSettings& settings, Reporter& reporter);

    void LogLine(std::string_view text);
    // Appends one line to the log file; false when it cannot be written.
    bool AppendToLogFile(const std::string& path, std::string_view text);
    void ReplaceLastLogLine(std::string_view text);
    void ShowProgress(int64_t done, int64_t total);
    void ShowStatus(std::string_view text);
    void ShowCountyStatus(std::string_view text);
    // Lists a file at the top of the output list with its size (a file that
    // was skipped because it exists is listed like a written one).
    void AddOutputEntry(std::string_view path);
    void AddSizedOutputEntry(const std::string& path, int64_t size);
    void ClearOutputs();
    void CompletionSignal();
    void ProcessEvents();
    void ShowWarning(std::string_view text);
    // Logs a warning and shows it (the run goes on).
    void Notice(std::string_view text);
    // Shows an error that must reach the user (it is logged by the caller).
    void ShowError(std::string_view text);

    // The county's phase, and the beginning of county `number` of `count`.
    void ShowPhase(std::string_view name);
    void ShowCountyBegun(int number, int count, std::string_view entry);
    // Logs "Total MCD's=" with the number of distinct minor civil division
    // codes in `codes` (all counties so far).
    void LogMcdTotal(const McdCodeSet& codes);

    // With `events`, everything reported is kept there instead of shown;
    // null shows it at once again.
    void Defer(std::vector<ReportEvent>* events) { deferred_ = events; }
    // Shows what a deferred report kept, as if it were reported now; the
    // minor civil division codes it kept are added to `mcd`.
    void Replay(const std::vector<ReportEvent>& events, McdCodeSet* mcd = nullptr);

    // Creates one directory level; logs "Unable to Create Directory " when
    // it cannot be created and does not exist. False when a link to a
    // directory stands in its place and links are not allowed.
    bool CreateDirectoryLogged(const std::string& path, bool linkAllowed = true);
    // Creates the county's output directory by the chosen scheme and
    // returns it (ending in '/'); empty when a level below the root is a
    // link, which could lead outside the root.
    std::string PrepareCountyDirectory(std::string root, std::string_view inputFileName,
                                       std::string_view countyName, std::string_view scheme);

    // The log file could not be written since the last reset (the reporter
    // was told once).
    bool LogFailed() const { return logFailed_; }
    void ResetLogFailure() { logFailed_ = false; }

    const std::deque<std::string>& LogList() const { return logList_; }
    int LogCounter() const { return logCounter_; }
    void ClearLogList() { logList_.clear(); }
    const std::deque<std::string>& Outputs() const { return outputs_; } // newest first
    Reporter& reporter() { return reporter_; }

private:
    const RunSettings& settings_;
    Reporter& reporter_;
    std::deque<std::string> logList_;
    int logCounter_ = 0;
    bool logFailed_ = false;
    std::deque<std::string> outputs_;
    std::vector<ReportEvent>* deferred_ = nullptr;

    bool Keep(ReportEvent::Kind kind, std::string_view text, int64_t done = 0, int64_t total = 0)
    {
        if (!deferred_) return false;
        deferred_->push_back({kind, std::string(text), done, total, {}});
        return true;
    }
};

} // namespace zalor
