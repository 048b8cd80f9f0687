#include "run/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace zalor {

namespace {

// Room for what a task reports (a layer: its lines, status, progress and
// files) before the list has to grow.
constexpr std::size_t kEventsAhead = 16;

// The processors of the machine, asked once (every layer phase asks, and
// the system answers from a file).
unsigned Cores()
{
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return cores;
}

} // namespace

unsigned WorkersFor(std::size_t tasks) { return static_cast<unsigned>(std::min<std::size_t>(Cores(), tasks)); }

unsigned LayerWorkers(const Session& session) { return std::max(1u, Cores() / std::max(1u, session.jobs)); }

namespace {

// Up to `workers` threads running `work`. When the system gives no more
// threads, the ones started take all the tasks (the calling thread when
// none could start), and a notice says so.
std::vector<std::thread> StartWorkers(Session& parent, unsigned workers, const std::function<void()>& work,
                                      const ThreadStarter& start)
{
    std::vector<std::thread> threads;
    try {
        for (unsigned w = 0; w < workers; ++w) threads.push_back(start ? start(work) : std::thread(work));
    } catch (const std::system_error& e) {
        parent.report.Notice(std::string("cannot start a thread: ") + e.what() + "; going on with " +
                             std::to_string(threads.size()) + " of " + std::to_string(workers) + " workers");
    }
    return threads;
}

} // namespace

void RunOrdered(Session& parent, std::size_t count, const std::function<void(Session&, std::size_t)>& task,
                const std::vector<std::size_t>& first, unsigned workersAsked, const ThreadStarter& start)
{
    // The order in which the tasks are taken up.
    std::vector<std::size_t> order;
    std::vector<bool> early(count, false);
    for (std::size_t i : first)
        if (i < count && !early[i]) {
            early[i] = true;
            order.push_back(i);
        }
    for (std::size_t i = 0; i < count; ++i)
        if (!early[i]) order.push_back(i);

    struct Slot {
        std::vector<ReportEvent> events;
        int errors = 0;
        bool done = false;
        std::exception_ptr failure;
    };
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};

    auto work = [&] {
        for (std::size_t n; (n = next.fetch_add(1)) < count;) {
            const std::size_t i = order[n];
            Slot& slot = slots[i];
            slot.events.reserve(kEventsAhead);
            try {
                Session session(parent, slot.events);
                task(session, i);
                slot.errors = session.countyErrors;
            } catch (...) {
                slot.failure = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex);
            slot.done = true;
            finished.notify_all();
        }
    };
    // The calling thread replays the reports while the workers work; with
    // one worker it does the work itself first.
    const unsigned workers =
        workersAsked == 0 ? WorkersFor(count) : static_cast<unsigned>(std::min<std::size_t>(workersAsked, count));
    std::vector<std::thread> threads;
    if (workers > 1) threads = StartWorkers(parent, workers, work, start);
    if (threads.empty()) work();

    std::exception_ptr failure;
    for (std::size_t i = 0; i < count; ++i) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            finished.wait(lock, [&] { return slots[i].done; });
        }
        parent.report.Replay(slots[i].events, &parent.mcdCodes);
        parent.countyErrors += slots[i].errors;
        if (slots[i].failure && !failure) failure = slots[i].failure;
    }
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

} // namespace zalor
