#pragma once
// The preview of the morph in automatic correspondence mode (Display >
// Preview, or p): the frame at view.preview_time ([ and ] move it), built on
// a worker from a snapshot of the morph whenever the spheres, links, vectors
// or the time change, coarse first and at full resolution once the user is
// idle. Off, or in any other mode, no worker runs. The GL layer compiles and
// draws what preview_step hands it.
#include <chrono>

#include "surface/mesh.h"

using namespace kestrane;

// The lattice of the first frame after a change is this many times coarser.
constexpr int PREVIEW_COARSE_FACTOR = 2;
constexpr double PREVIEW_TIME_STEP = 0.05;

struct PreviewFrameInfo {
    bool refined = false;
    double time = 0;
    int resolution = 0;
    long triangles = 0;
    double build_ms = 0;
    std::chrono::steady_clock::time_point submitted;
};

// Flips view.show_preview.
void toggle_preview();
// Moves view.preview_time by steps * PREVIEW_TIME_STEP, within [0, 1], while
// the preview is on.
void shift_preview_time(int steps);
// On and in automatic correspondence mode.
bool preview_active();
// At every draw of the view, interface thread. While active: submits a new
// snapshot when what the frame is made of has changed, and returns true
// with the newest frame when one is ready. Otherwise stops the worker.
bool preview_step(SurfaceMesh* mesh, PreviewFrameInfo* info);
// Cancels and joins the worker (installed as a work stopper).
void stop_preview();
// The status line's text while the preview is shown, appended to the mode's
// prompt: writes "" when it is not.
void preview_status_suffix(char* text, int size);
// One line on standard error for each preview drawn when the environment
// sets KESTRANE_PREVIEW_LOG (the end-to-end test reads it).
void log_preview_drawn(const PreviewFrameInfo& info);
