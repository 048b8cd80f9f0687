// Reports a run on a terminal: on a TTY one progress line (county n of m,
// its name, phase and percentage, the time taken and the time left for the
// batch), plain lines otherwise; errors and warnings always go to standard
// error.
#pragma once

#include "run/reporter.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zalor {

class TerminalReporter : public Reporter {
public:
    TerminalReporter(bool quiet, bool showLog);

    // The input list of the run, whose sizes weigh the estimate of the time left.
    void SetInputs(const std::vector<InputEntry>& entries);

    void LogAppended(int number, std::string_view text, int dropped) override;
    void LogLastReplaced(int number, std::string_view text) override;
    void Status(std::string_view text) override;
    void CountyStatus(std::string_view text) override;
    void Progress(int percent) override;
    void Error(std::string_view text) override;
    void Warning(std::string_view text) override;
    void Notice(std::string_view text) override;
    void Beep(int times) override;
    void Running(bool running) override;
    void CountyBegun(int number, int count, const InputEntry& input) override;
    void Phase(std::string_view name) override;

private:
    void Redraw(bool force);
    void ClearLine();
    void Print(std::FILE* f, std::string_view text);

    bool quiet_;
    bool showLog_;
    bool tty_;
    std::string county_;
    std::string status_;
    int percent_ = 0;
    int64_t lastDraw_ = 0;
    bool lineShown_ = false;
    bool running_ = false;
    // The batch: county n of m, its phase, and the estimate of the time left.
    std::vector<int64_t> weights_; // of each county, by its input's size
    int number_ = 0;
    int count_ = 0;
    std::string phase_;
    int64_t runStart_ = 0;
    int64_t leftAt_ = 0;   // when the estimate was made
    int64_t leftMs_ = -1;  // the estimate then; -1 before one can be made
};

} // namespace zalor
