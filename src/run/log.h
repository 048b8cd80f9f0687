// The run log: its lines as the window's log list keeps them, and the log
// file they are appended to. And the number and time texts the run shows.
#pragma once

#include "run/reporter.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace zalor {

// "1,234,567"; -1 gives "-1".
std::string FormatThousands(int64_t n);

// Minutes, seconds and milliseconds: "01:23.456" for 83,456 ms.
std::string ElapsedText(int64_t ms);

class RunLog {
public:
    static constexpr std::size_t kListLimit = 300; // lines the log list holds
    static constexpr std::size_t kListDrop = 20;   // lines it drops when full

    // Where the lines go: the log file (none when empty), and whether the
    // log is kept at all.
    void Configure(std::string filePath, bool disabled)
    {
        filePath_ = std::move(filePath);
        disabled_ = disabled;
    }

    // Appends a line to the list and the log file, and tells `reporter`.
    void Append(std::string_view text, Reporter& reporter);
    // The last line of the list now reads `text`.
    void ReplaceLast(std::string_view text, Reporter& reporter);

    // The log file could not be written since the last reset (the reporter
    // was told once).
    bool Failed() const { return failed_; }
    void ResetFailure() { failed_ = false; }

    const std::deque<std::string>& List() const { return list_; }
    int Counter() const { return counter_; }
    void ClearList() { list_.clear(); }

private:
    std::string filePath_;
    bool disabled_ = true;
    std::deque<std::string> list_;
    int counter_ = 0;
    bool failed_ = false;
};

// Appends one line (and CR LF) to the log file at `path`; false, with
// errno set, when it cannot be written. Only a regular file is written.
bool AppendToLogFile(const std::string& path, std::string_view text);

} // namespace zalor
