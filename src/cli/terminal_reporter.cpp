#include "cli/terminal_reporter.h"

#include "run/driver.h"

#include <unistd.h>

namespace zalor {

TerminalReporter::TerminalReporter(bool quiet, bool showLog)
    : quiet_(quiet), showLog_(showLog), tty_(::isatty(STDERR_FILENO) != 0)
{
}

void TerminalReporter::ClearLine()
{
    if (lineShown_) {
        std::fputs("\r\033[K", stderr);
        lineShown_ = false;
    }
}

void TerminalReporter::Print(std::FILE* f, std::string_view text)
{
    ClearLine();
    std::fwrite(text.data(), 1, text.size(), f);
    std::fputc('\n', f);
    std::fflush(f);
}

void TerminalReporter::Redraw(bool force)
{
    if (quiet_ || !tty_) return;
    int64_t now = TickCount();
    if (!force && now - lastDraw_ < 100) return;
    lastDraw_ = now;
    char bar[21];
    int filled = percent_ / 5;
    for (int i = 0; i < 20; ++i) bar[i] = i < filled ? '#' : '.';
    bar[20] = 0;
    std::string line = "[" + std::string(bar) + "] " + std::to_string(percent_) + "% " + county_ + "  " + status_;
    if (line.size() > 100) line.resize(100);
    std::fputs("\r\033[K", stderr);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    lineShown_ = true;
}

void TerminalReporter::LogAppended(int number, std::string_view text, int)
{
    if (showLog_ && !quiet_) Print(stdout, std::to_string(number) + " : " + std::string(text));
}

void TerminalReporter::LogLastReplaced(int number, std::string_view text)
{
    if (showLog_ && !quiet_) Print(stdout, std::to_string(number) + " : " + std::string(text));
}

void TerminalReporter::Status(std::string_view text)
{
    status_ = std::string(text);
    if (!running_) {
        if (!quiet_) Print(stdout, status_);
        return;
    }
    Redraw(false);
}

void TerminalReporter::CountyStatus(std::string_view text)
{
    county_ = std::string(text);
    if (!quiet_ && !tty_ && !showLog_) Print(stdout, county_);
    Redraw(true);
}

void TerminalReporter::Progress(int percent)
{
    percent_ = percent;
    Redraw(false);
}

void TerminalReporter::Error(std::string_view text) { Print(stderr, "zalor-cli: " + std::string(text)); }

void TerminalReporter::Warning(std::string_view text) { Print(stderr, "zalor-cli: " + std::string(text)); }

void TerminalReporter::Notice(std::string_view text)
{
    if (!quiet_) Print(stderr, "zalor-cli: warning: " + std::string(text));
}

void TerminalReporter::Beep()
{
    if (tty_) std::fputc('\a', stderr);
}

void TerminalReporter::Running(bool running)
{
    running_ = running;
    if (!running) ClearLine();
}

} // namespace zalor
