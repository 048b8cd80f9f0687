// The one interface through which the conversion core talks to its front
// end (the GUI window, the terminal, or a test recorder).
#pragma once

#include <string_view>

namespace zalor {

class Reporter {
public:
    virtual ~Reporter() = default;

    // A line was appended to the log list as line `number`; the list drops
    // its first `dropped` lines first when it is full (0 otherwise).
    virtual void LogAppended(int number, std::string_view text, int dropped)
    {
        (void)number; (void)text; (void)dropped;
    }
    // The last line of the log list now reads `number` : `text`.
    virtual void LogLastReplaced(int number, std::string_view text) { (void)number; (void)text; }
    // The status line.
    virtual void Status(std::string_view text) { (void)text; }
    // The county line ("[ssccc] County Name").
    virtual void CountyStatus(std::string_view text) { (void)text; }
    // Progress bar, 0..100. The GUI runs its event loop once here.
    virtual void Progress(int percent) { (void)percent; }
    // The output list was emptied (start of a run).
    virtual void OutputsCleared() {}
    // A new entry ("path|size") at the top of the output list.
    virtual void OutputAdded(std::string_view entry) { (void)entry; }
    // An error that must reach the user even when logs are disabled
    // (it is also written to the log).
    virtual void Error(std::string_view text) { (void)text; }
    // A warning that the run goes on after (a record file that is missing,
    // a member that is in an archive twice); it is also written to the log.
    virtual void Notice(std::string_view text) { (void)text; }
    // One of the two modal warnings of "Go".
    virtual void Warning(std::string_view text) { (void)text; }
    // The completion beep.
    virtual void Beep() {}
    // One pass of the event loop, outside progress updates.
    virtual void ProcessEvents() {}
    // A run started (true) or ended (false): Go/Stop and the controls.
    virtual void Running(bool running) { (void)running; }
    // County `number` (from 1) of the run's `count` begins; `entry` is its
    // line of the input list ("path|size").
    virtual void CountyBegun(int number, int count, std::string_view entry)
    {
        (void)number; (void)count; (void)entry;
    }
    // The county's phase: "reading", "lines", "landmarks", "areas", "zipping".
    virtual void Phase(std::string_view name) { (void)name; }
};

} // namespace zalor
