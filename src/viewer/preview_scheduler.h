#pragma once
// The preview's worker: one thread that builds the newest snapshot's coarse
// frame at once, then, when no newer snapshot came for idle_delay, its
// full-resolution frame. A new snapshot supersedes the old one: the frame in
// flight is cancelled (at its next slice) and its result discarded, so a
// result always belongs to the newest generation. The interface thread
// submits and takes results without waiting; only stopping joins.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "surface/mesh.h"
#include "viewer/preview_snapshot.h"

using namespace kestrane;

struct PreviewResult {
    long generation = 0;
    bool refined = false;  // the full-resolution frame, else the coarse one
    int status = 0;        // triangulate_frame's
    double time = 0;       // the morph's time
    int resolution = 0;    // the lattice step it was built at
    SurfaceMesh mesh;
    // When its snapshot was submitted, and how long the frame took.
    std::chrono::steady_clock::time_point submitted;
    double build_ms = 0;
};

struct PreviewScheduler {
    std::chrono::milliseconds idle_delay{300};
    std::mutex lock;
    std::condition_variable changed;
    std::thread worker;
    bool stopping = false;
    long generation = 0;  // of the newest submission (or withdrawal)
    std::shared_ptr<const PreviewSnapshot> pending;  // newest, not started yet
    std::chrono::steady_clock::time_point submitted;
    std::atomic<bool> cancel{false};
    bool has_result = false;
    PreviewResult result;  // newest finished, not taken yet
    long frames_built = 0; // frames finished for their generation (tests)
    ~PreviewScheduler();
};

// Starts the worker when it is not running. Returns the new generation.
long submit_preview(PreviewScheduler& scheduler, std::shared_ptr<const PreviewSnapshot> snapshot);
// Nothing more is built for the earlier submissions; does not wait.
void withdraw_preview(PreviewScheduler& scheduler);
// The newest result of the newest generation, once: false when none is ready.
bool take_preview(PreviewScheduler& scheduler, PreviewResult* out);
// Cancels the frame in flight and joins the worker (before the fields go).
void stop_preview_scheduler(PreviewScheduler& scheduler);
bool preview_worker_running(const PreviewScheduler& scheduler);
