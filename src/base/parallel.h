#pragma once
// Runs task(index, worker) for index 0 .. count - 1 on up to `threads`
// threads (the calling thread among them, as worker 0; worker < threads),
// handing out indices in increasing order. Tasks must write only what their
// index owns (or their worker's scratch), so the results never depend on the
// number of threads, and must not throw. Returns when every task has run.
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "base/worker_signals.h"

namespace kestrane {
template <typename Task>
void parallel_for(long count, int threads, const Task& task)
{
    std::atomic<long> next{0};
    auto work = [&](int worker) {
        for (long i = next++; i < count; i = next++) task(i, worker);
    };
    const int extra = static_cast<int>(std::min<long>(std::max(threads, 1), std::max(count, 1L))) - 1;
    std::vector<std::thread> helpers;
    helpers.reserve(extra > 0 ? extra : 0);
    {
        const StopSignalsHeldBack held;
        for (int t = 1; t <= extra; ++t) {
            try {
                helpers.emplace_back(work, t);
            } catch (...) {
                break;  // no more threads to be had: the others share the work
            }
        }
    }
    work(0);
    for (std::thread& t : helpers) t.join();
}

}  // namespace kestrane
