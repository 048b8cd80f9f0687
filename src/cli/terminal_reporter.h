// Reports a run on a terminal: a progress line on a TTY, plain lines
// otherwise; errors and warnings always go to standard error.
#pragma once

#include "run/reporter.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace zalor {

class TerminalReporter : public Reporter {
public:
    TerminalReporter(bool quiet, bool showLog);

    void LogAppended(int number, std::string_view text, int dropped) override;
    void LogLastReplaced(int number, std::string_view text) override;
    void Status(std::string_view text) override;
    void CountyStatus(std::string_view text) override;
    void Progress(int percent) override;
    void Error(std::string_view text) override;
    void Warning(std::string_view text) override;
    void Notice(std::string_view text) override;
    void Beep() override;
    void Running(bool running) override;

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
};

} // namespace zalor
