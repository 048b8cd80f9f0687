// The one interface through which the conversion core talks to its front
// end (the GUI window, the terminal, or a test recorder).
#pragma once

#include "run/entries.h"

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
    // Progress bar, 0..100.
    virtual void Progress(int percent) { (void)percent; }
    // The output list was emptied (start of a run).
    virtual void OutputsCleared() {}
    // A new entry at the top of the output list.
    virtual void OutputAdded(const OutputEntry& entry) { (void)entry; }
    // A listed output that is gone (gathered into the county's archive).
    virtual void OutputRemoved(const std::string& path) { (void)path; }
    // An error that must reach the user even when logs are disabled
    // (it is also written to the log).
    virtual void Error(std::string_view text) { (void)text; }
    // A warning that the run goes on after (a record file that is missing,
    // a member that is in an archive twice); it is also written to the log.
    virtual void Notice(std::string_view text) { (void)text; }
    // One of the two modal warnings of "Go".
    virtual void Warning(std::string_view text) { (void)text; }
    // The completion signal, `times` beeps (the front end spaces them, half
    // a second apart).
    virtual void Beep(int times) { (void)times; }
    // A run started (true) or ended (false): Go/Stop and the controls.
    virtual void Running(bool running) { (void)running; }
    // County `number` (from 1) of the run's `count` begins, from this input.
    virtual void CountyBegun(int number, int count, const InputEntry& input)
    {
        (void)number; (void)count; (void)input;
    }
    // The county's phase: "reading", "lines", "landmarks", "areas", "zipping".
    virtual void Phase(std::string_view name) { (void)name; }
};

} // namespace zalor
