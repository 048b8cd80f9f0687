// A reporter that records everything the core reports, for tests.
#pragma once

#include "run/log.h"
#include "run/plan.h"
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
    std::vector<std::string> outputs;  // "path|size" in the order added
    std::vector<std::string> warnings;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    std::vector<OutputEntry> outputEntries; // in the order added
    int beeps = 0;
    std::vector<bool> running;
    // Called on every progress update and at the start of each county (to
    // press "Stop").
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
    void OutputAdded(const OutputEntry& entry) override
    {
        outputs.push_back(entry.path + "|" + FormatThousands(entry.size));
        outputEntries.push_back(entry);
    }
    void Warning(std::string_view text) override { warnings.emplace_back(text); }
    void Notice(std::string_view text) override { notices.emplace_back(text); }
    void Error(std::string_view text) override { errors.emplace_back(text); }
    void Beep(int times) override { beeps += times; }
    void Running(bool r) override { running.push_back(r); }
    void CountyBegun(int, int, const InputEntry&) override
    {
        if (onEvents) onEvents();
    }

    // True when some log line contains `text`.
    bool Logged(const std::string& text) const
    {
        for (const auto& l : log)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
};

// Settings with logging on (to no file) and a session over a recorder,
// with the plan of its settings for the phases that tests run directly.
struct TestSession {
    RunSettings settings{"/nonexistent-program-dir/", "./"};
    Recorder recorder;
    Session session{settings, recorder};
    ConversionPlan plan;
    TestSession()
    {
        settings.SetBox("DisableLogs", false);
        settings.SetText("Log", "");
        Replan();
    }
    // The plan of the settings as they are now.
    const ConversionPlan& Replan()
    {
        plan = BuildConversionPlan(settings);
        session.UsePlan(plan);
        return plan;
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
