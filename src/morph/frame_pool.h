#pragma once
// Frames built on worker threads and taken in order: the batch tool writes
// them as they come, the viewer compiles them between events. Each worker
// triangulates whole frames (no status messages: those belong to the
// interface thread, which reports each frame as it takes it); at most a
// window of frames is built ahead of the one taken next, so memory grows by
// a few meshes and per-thread buffers only.
//
// The inputs must stay unchanged until the pool is stopped: stop it (which
// cancels the frames in flight and joins the workers) before any reload or
// change of spheres, links, vectors or frame count.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "surface/frame_generation.h"
#include "surface/frame_values.h"

namespace kestrane {

struct FramePool {
    struct Built {
        bool done = false;
        int status = 0;
        SurfaceMesh mesh;
    };
    MorphInputs inputs;
    FrameRequest prototype;  // all but the frame number
    int first = 0, last = 0;
    int window = 1;
    std::mutex lock;
    std::condition_variable changed;
    int next = 0;   // the next frame a worker takes
    int taken = 0;  // frames handed out so far, from first on
    bool stopping = false;
    std::atomic<bool> cancel{false};
    std::vector<Built> built;
    std::vector<std::thread> workers;
    FrameValues taker_values;  // for the frames take_frame builds itself
    ~FramePool();
};

// Starts building frames [first, last) of the request's frame count on
// `workers` threads (each frame computing its values on request.threads).
// With no thread to be had, the frames are built by take_frame itself.
std::unique_ptr<FramePool> start_frame_pool(const MorphInputs& inputs, const FrameRequest& request, int first,
                                            int last, int workers);
// Whether the next frame in order is ready (take_frame will not wait).
bool next_frame_ready(FramePool& pool);
// The next frame in order: waits for it; returns triangulate_frame's status
// and moves its mesh out.
int take_frame(FramePool& pool, SurfaceMesh* mesh);
// Cancels the frames in flight, waits for the workers and empties the pool.
void stop_frame_pool(FramePool& pool);

}  // namespace kestrane
