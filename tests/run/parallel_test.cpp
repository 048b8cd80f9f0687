// Ordered work on several threads when the system gives fewer threads than
// asked for: every task still runs once, the reports come in order, and a
// notice says why fewer workers went on.
#include "run/parallel.h"

#include "support/recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <system_error>

namespace zalor {
namespace {

using test::TestSession;

// Starts `allowed` threads, then fails as a system out of threads does.
ThreadStarter Starter(int allowed)
{
    auto left = std::make_shared<std::atomic<int>>(allowed);
    return [left](std::function<void()> work) {
        if (left->fetch_sub(1) <= 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(work));
    };
}

TEST(RunOrdered, FewerThreadsThanAskedForStillRunEveryTaskInOrder)
{
    for (int allowed : {0, 1, 3}) {
        TestSession t;
        std::vector<int> ran(20, 0);
        RunOrdered(
            t.session, ran.size(),
            [&](Session& task, std::size_t i) {
                ++ran[i];
                task.report.LogLine("task " + std::to_string(i));
            },
            {}, 4, Starter(allowed));
        EXPECT_EQ(ran, std::vector<int>(20, 1)) << allowed;
        std::vector<std::string> lines;
        for (const std::string& l : t.recorder.log)
            if (l.find("task ") != std::string::npos) lines.push_back(l.substr(l.find("task ")));
        ASSERT_EQ(lines.size(), 20u) << allowed;
        for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], "task " + std::to_string(i));
        ASSERT_EQ(t.recorder.notices.size(), 1u) << allowed;
        EXPECT_NE(t.recorder.notices[0].find("cannot start a thread"), std::string::npos);
        EXPECT_NE(t.recorder.notices[0].find(std::to_string(allowed) + " of 4 workers"), std::string::npos)
            << t.recorder.notices[0];
    }
}

} // namespace
} // namespace zalor
