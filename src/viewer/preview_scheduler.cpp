#include "viewer/preview_scheduler.h"

#include <utility>

#include "base/worker_signals.h"

using namespace kestrane;

namespace {

using Clock = std::chrono::steady_clock;

PreviewResult build(PreviewScheduler& scheduler, const PreviewSnapshot& snapshot, bool refined)
{
    FrameRequest request = refined ? snapshot.fine : snapshot.coarse;
    request.inputs = &snapshot.inputs;
    request.cancel = &scheduler.cancel;
    request.progress = FrameProgress{};
    request.stats = nullptr;
    PreviewResult r;
    r.refined = refined;
    r.time = snapshot.time;
    r.resolution = request.lattice.resolution;
    const Clock::time_point start = Clock::now();
    r.status = triangulate_frame(request, &r.mesh);
    r.build_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return r;
}

// Keeps a result of the newest generation; true when it was.
bool publish(PreviewScheduler& scheduler, long generation, Clock::time_point submitted, PreviewResult&& r)
{
    std::lock_guard<std::mutex> hold(scheduler.lock);
    if (generation != scheduler.generation || scheduler.stopping) return false;
    r.generation = generation;
    r.submitted = submitted;
    scheduler.result = std::move(r);
    scheduler.has_result = true;
    ++scheduler.frames_built;
    return true;
}

void work(PreviewScheduler& scheduler)
{
    std::unique_lock<std::mutex> hold(scheduler.lock);
    for (;;) {
        scheduler.changed.wait(hold, [&] { return scheduler.stopping || scheduler.pending; });
        if (scheduler.stopping) return;
        const std::shared_ptr<const PreviewSnapshot> snapshot = std::move(scheduler.pending);
        scheduler.pending.reset();
        const long generation = scheduler.generation;
        const Clock::time_point submitted = scheduler.submitted;
        scheduler.cancel = false;
        hold.unlock();

        bool current = true;
        if (snapshot->has_coarse) current = publish(scheduler, generation, submitted, build(scheduler, *snapshot, false));
        hold.lock();
        if (!current) continue;
        // Refined only once the user has left things alone for a while.
        if (snapshot->has_coarse &&
            scheduler.changed.wait_for(hold, scheduler.idle_delay,
                                       [&] { return scheduler.stopping || scheduler.generation != generation; }))
            continue;
        hold.unlock();
        publish(scheduler, generation, submitted, build(scheduler, *snapshot, true));
        hold.lock();
    }
}

}  // namespace

PreviewScheduler::~PreviewScheduler() { stop_preview_scheduler(*this); }

long submit_preview(PreviewScheduler& scheduler, std::shared_ptr<const PreviewSnapshot> snapshot)
{
    long generation;
    {
        std::lock_guard<std::mutex> hold(scheduler.lock);
        generation = ++scheduler.generation;
        scheduler.pending = std::move(snapshot);
        scheduler.submitted = Clock::now();
        scheduler.has_result = false;
        scheduler.cancel = true;
        if (!scheduler.worker.joinable()) {
            scheduler.stopping = false;
            const StopSignalsHeldBack held;
            scheduler.worker = std::thread(work, std::ref(scheduler));
        }
    }
    scheduler.changed.notify_all();
    return generation;
}

void withdraw_preview(PreviewScheduler& scheduler)
{
    {
        std::lock_guard<std::mutex> hold(scheduler.lock);
        ++scheduler.generation;
        scheduler.pending.reset();
        scheduler.has_result = false;
        scheduler.cancel = true;
    }
    scheduler.changed.notify_all();
}

bool take_preview(PreviewScheduler& scheduler, PreviewResult* out)
{
    std::lock_guard<std::mutex> hold(scheduler.lock);
    if (!scheduler.has_result) return false;
    *out = std::move(scheduler.result);
    scheduler.result = PreviewResult{};
    scheduler.has_result = false;
    return true;
}

void stop_preview_scheduler(PreviewScheduler& scheduler)
{
    {
        std::lock_guard<std::mutex> hold(scheduler.lock);
        scheduler.stopping = true;
        scheduler.cancel = true;
        ++scheduler.generation;
        scheduler.pending.reset();
        scheduler.has_result = false;
    }
    scheduler.changed.notify_all();
    if (scheduler.worker.joinable()) scheduler.worker.join();
    std::lock_guard<std::mutex> hold(scheduler.lock);
    scheduler.stopping = false;
}

bool preview_worker_running(const PreviewScheduler& scheduler) { return scheduler.worker.joinable(); }
