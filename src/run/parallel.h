// Work of one county that may run beside other work: independent layers
// written on every core, their reports shown in the order of the work.
#pragma once

#include "run/session.h"

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace zalor {

// How many pieces of work run at once (the processors of the machine; 1
// makes everything run on the calling thread, in order).
unsigned WorkersFor(std::size_t tasks);

// How many layers of one county are written at once: the processors left
// to each of the counties converted at once.
unsigned LayerWorkers(const Session& session);

// Runs task(session, i) for i = 0 .. count-1. Each task reports through a
// session of its own; what it reported is shown through `parent` in the
// order of i, each task's as soon as it and the tasks before it are done.
// The county errors of the tasks are added to the parent's. `first` names
// tasks to start before the others (the largest ones, so that no worker is
// left with a large one at the end).
// `workers` limits how many tasks run at once (0: WorkersFor(count)).
// When the system gives fewer threads than asked for, the ones started
// take all the tasks (the calling thread when none could start), with a
// notice. `start` starts a worker thread (tests give one that fails).
using ThreadStarter = std::function<std::thread(std::function<void()>)>;
void RunOrdered(Session& parent, std::size_t count, const std::function<void(Session&, std::size_t)>& task,
                const std::vector<std::size_t>& first = {}, unsigned workers = 0, const ThreadStarter& start = {});

} // namespace zalor
