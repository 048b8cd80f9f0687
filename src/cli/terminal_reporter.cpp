#include "cli/terminal_reporter.h"

#include "run/driver.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zalor {

namespace {

// "0:42", "12:05", "1:02:03".
std::string ClockText(int64_t ms)
{
    const int64_t s = ms / 1000;
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    else std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
    return buf;
}

// The estimate of the time left: `elapsedMs` took the counties before
// `done` (an index into `weights`); the rest take as long per weight.
// -1 when nothing is done yet.
int64_t TimeLeft(const std::vector<int64_t>& weights, std::size_t done, int64_t elapsedMs)
{
    if (done == 0 || done > weights.size()) return -1;
    int64_t doneWeight = 0, total = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        total += weights[i];
        if (i < done) doneWeight += weights[i];
    }
    if (doneWeight <= 0) { // sizes unknown: by the number of counties
        doneWeight = static_cast<int64_t>(done);
        total = static_cast<int64_t>(weights.size());
    }
    return static_cast<int64_t>(static_cast<double>(elapsedMs) * static_cast<double>(total - doneWeight) /
                                static_cast<double>(doneWeight));
}

} // namespace

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

void TerminalReporter::SetInputs(const std::vector<InputEntry>& entries)
{
    weights_.clear();
    for (const InputEntry& entry : entries) weights_.push_back(std::max<int64_t>(entry.size, 0));
}

void TerminalReporter::Redraw(bool force)
{
    if (quiet_ || !tty_) return;
    int64_t now = TickCount();
    if (!force && now - lastDraw_ < 100) return;
    lastDraw_ = now;
    std::string line;
    if (count_ > 0) line = "[" + std::to_string(number_) + "/" + std::to_string(count_) + "] ";
    line += county_ + "  " + (phase_.empty() ? "" : phase_ + " ") + std::to_string(percent_) + "%";
    if (runStart_ > 0) {
        line += "  " + ClockText(now - runStart_) + " elapsed";
        if (leftMs_ >= 0) line += ", " + ClockText(std::max<int64_t>(0, leftMs_ - (now - leftAt_))) + " left";
    }
    line += "  " + status_;
    winsize ws{};
    std::size_t width = 100;
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) width = ws.ws_col - 1u;
    if (line.size() > width) line.resize(width);
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

void TerminalReporter::Beep(int times)
{
    if (!tty_) return;
    for (int i = 0; i < times; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
}

void TerminalReporter::Running(bool running)
{
    running_ = running;
    if (running) {
        runStart_ = TickCount();
        leftMs_ = -1;
    } else {
        ClearLine();
    }
}

void TerminalReporter::CountyBegun(int number, int count, const InputEntry& input)
{
    number_ = number;
    count_ = count;
    // The input's file name until the county's own name is read.
    const std::string_view path = input.path;
    county_ = std::string(path.substr(path.rfind('/') + 1));
    status_.clear();
    phase_.clear();
    percent_ = 0;
    if (weights_.size() != static_cast<std::size_t>(count)) weights_.assign(static_cast<std::size_t>(count), 0);
    const int64_t now = TickCount();
    leftMs_ = TimeLeft(weights_, static_cast<std::size_t>(number - 1), now - runStart_);
    leftAt_ = now;
    Redraw(true);
}

void TerminalReporter::Phase(std::string_view name)
{
    phase_ = std::string(name);
    percent_ = 0;
    Redraw(true);
}

} // namespace zalor
