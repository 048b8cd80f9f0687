// A reporter that records everything the core reports, for tests.
#pragma once

#include "run/reporter.h"
#include "run/session.h"

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <string>
#include <vector>

namespace zalor::test {

class Recorder : public Reporter {
public:
    std::vector<std::string> log;      // "n : text" as appended
    std::vector<std::string> statuses;
    std::vector<std::string> counties;
    std::vector<int> progress;
    std::vector<std::string> outputs;  // in the order added
    std::vector<std::string> warnings;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    int beeps = 0;
    int events = 0;
    std::vector<bool> running;
    // Called on every progress update and event pass (to press "Stop").
    std::function<void()> onEvents;

    void LogAppended(int number, std::string_view text, int) override
    {
        log.push_back(std::to_string(number) + " : " + std::string(text));
    }
    void LogLastReplaced(int number, std::string_view text) override
    {
        log.push_back("~" + std::to_string(number) + " : " + std::string(text));
    }
    void Status(std::string_view text) override { statuses.emplace_back(text); }
    void CountyStatus(std::string_view text) override { counties.emplace_back(text); }
    void Progress(int percent) override
    {
        progress.push_back(percent);
        if (onEvents) onEvents();
    }
    void OutputAdded(std::string_view entry) override { outputs.emplace_back(entry); }
    void Warning(std::string_view text) override { warnings.emplace_back(text); }
    void Notice(std::string_view text) override { notices.emplace_back(text); }
    void Error(std::string_view text) override { errors.emplace_back(text); }
    void Beep() override { ++beeps; }
    void ProcessEvents() override
    {
        ++events;
        if (onEvents) onEvents();
    }
    void Running(bool r) override { running.push_back(r); }

    // True when some log line contains `text`.
    bool Logged(const std::string& text) const
    {
        for (const auto& l : log)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
};

// Settings with logging on (to no file) and a session over a recorder.
struct TestSession {
    RunSettings settings{"/nonexistent-program-dir/", "./"};
    Recorder recorder;
    Session session{settings, recorder};
    TestSession()
    {
        settings.SetBox("DisableLogs", false);
        settings.SetText("Log", "");
    }
};

// A fresh empty directory under the system temporary directory.
std::string TempDir(const std::string& name);
// Whole contents of a file ("" when missing).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Files of the process cannot grow beyond `bytes` while it lives (a full
// disk); writes past it fail instead of raising SIGXFSZ.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit lim = old;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old); }
};

} // namespace zalor::test
