#include "morph/frame_pool.h"

#include <utility>

#include "base/worker_signals.h"
#include "morph/load_memory.h"
#include "shape/morph_batch.h"
#include "surface/displacement_cache.h"

namespace kestrane {

namespace {

// Each thread builds its frames in one FrameValues, kept from frame to frame.
void build(FramePool& pool, int frame, FramePool::Built& out, FrameValues* values)
{
    FrameRequest request = pool.prototype;
    request.values = values;
    request.frame = frame;
    request.inputs = &pool.inputs;
    request.cancel = &pool.cancel;
    request.progress = FrameProgress{};
    request.stats = nullptr;
    out.status = triangulate_frame(request, &out.mesh);
}

void work(FramePool& pool)
{
    FrameValues values;
    for (;;) {
        int frame;
        {
            std::unique_lock<std::mutex> hold(pool.lock);
            auto ready = [&] {
                return pool.stopping || pool.next >= pool.last || pool.next < pool.first + pool.taken + pool.window;
            };
            if (!ready()) {
                // Idle: the kept values go back rather than sit beside the
                // frames the others build.
                hold.unlock();
                values = FrameValues{};
                hold.lock();
                pool.changed.wait(hold, ready);
            }
            if (pool.stopping || pool.next >= pool.last) return;
            frame = pool.next++;
        }
        FramePool::Built result;
        build(pool, frame, result, &values);
        {
            std::lock_guard<std::mutex> hold(pool.lock);
            result.done = true;
            pool.built[static_cast<size_t>(frame - pool.first)] = std::move(result);
        }
        pool.changed.notify_all();
    }
}

}  // namespace

FramePool::~FramePool() { stop_frame_pool(*this); }

std::unique_ptr<FramePool> start_frame_pool(const MorphInputs& inputs, const FrameRequest& request, int first,
                                            int last, int workers)
{
    auto pool = std::make_unique<FramePool>();
    pool->inputs = inputs;
    pool->prototype = request;
    // The frames share the spheres' displacements, in the request's cache
    // or one of the pool's own.
    if (!request.displacements && displacements_shared(inputs))
        pool->prototype.displacements = make_displacement_cache(request.lattice, displacement_cache_budget());
    pool->first = first;
    pool->last = last;
    pool->next = first;
    pool->window = 2 * (workers > 0 ? workers : 1);
    pool->built.resize(static_cast<size_t>(last > first ? last - first : 0));
    const StopSignalsHeldBack held;
    for (int w = 0; w < workers && w < last - first; ++w) {
        try {
            pool->workers.emplace_back(work, std::ref(*pool));
        } catch (...) {
            break;  // fewer threads: take_frame builds what nobody took
        }
    }
    return pool;
}

bool next_frame_ready(FramePool& pool)
{
    std::lock_guard<std::mutex> hold(pool.lock);
    const size_t at = static_cast<size_t>(pool.taken);
    return at < pool.built.size() && pool.built[at].done;
}

int take_frame(FramePool& pool, SurfaceMesh* mesh)
{
    std::unique_lock<std::mutex> hold(pool.lock);
    const int frame = pool.first + pool.taken;
    FramePool::Built& slot = pool.built[static_cast<size_t>(pool.taken)];
    if (!slot.done && pool.next <= frame) {
        // No worker has it: build it here.
        pool.next = frame + 1;
        hold.unlock();
        build(pool, frame, slot, &pool.taker_values);
        hold.lock();
        slot.done = true;
    }
    pool.changed.wait(hold, [&] { return slot.done; });
    *mesh = std::move(slot.mesh);
    slot.mesh = SurfaceMesh{};
    ++pool.taken;
    hold.unlock();
    pool.changed.notify_all();
    return slot.status;
}

void stop_frame_pool(FramePool& pool)
{
    {
        std::lock_guard<std::mutex> hold(pool.lock);
        pool.stopping = true;
        pool.cancel = true;
    }
    pool.changed.notify_all();
    for (std::thread& t : pool.workers)
        if (t.joinable()) t.join();
    pool.workers.clear();
    pool.built.clear();
}

}  // namespace kestrane
