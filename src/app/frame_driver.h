#pragma once
// The frame driver: builds frame i of the morph from the current volumes
// (triangulate, then write it when frame output is on) with one failure
// policy for both programs. Every failure is reported on the status line
// here, naming the frame or the file; the caller only decides what happens
// next from the outcome.
#include <string>

#include "surface/mesh.h"

using namespace kestrane;

enum FrameOutcome {
    FRAME_BUILT = 0,
    FRAME_NOT_TRIANGULATED = 1,  // the mesh is empty or cut short
    FRAME_NOT_WRITTEN = 2,       // the mesh is complete, its file is not
};

// What a failure means to the program running.
enum FailureHandling {
    // The batch tool: every failure is an error that ends the run.
    FAILURES_END_RUN,
    // The viewer: a full mesh list or an unwritable file is a warning (an
    // unwritable file also switches frame output off), running out of
    // memory is fatal.
    FAILURES_KEEP_RUNNING,
};

// How the driver tells a frame's progress and the files it saves. By
// default each goes to the status line as frame_message words it; the batch
// tool installs its console's instead.
struct FrameReports {
    // note: why a long frame takes long, or empty.
    void (*slice_done)(int frame, int frame_count, long triangles, const std::string& note) = nullptr;
    void (*frame_done)(int frame, int frame_count, long triangles, const std::string& note) = nullptr;
    // what: "surface" or "spheres".
    void (*saving)(const char* what, const std::string& name) = nullptr;
};
extern FrameReports frame_reports;

// "Frame 3 of 20 - 1200 triangles", with " so far" while it is being built
// and the note in brackets when there is one.
std::string frame_message(int frame, int frame_count, long triangles, bool so_far, const std::string& note);

// Tells that frame `frame` (from 0) is done, through frame_reports.
void report_frame_done(int frame, long triangles, const std::string& note = std::string());

// Builds frame `frame` and writes it, with the displacements the morph's
// frames share unless `shared` is false (frame_request).
FrameOutcome build_frame(int frame, SurfaceMesh* mesh, FailureHandling handling, bool shared = true);

// The second half of build_frame, for a frame triangulated elsewhere (on a
// worker thread, with triangulate_frame's status): reports a failure or
// writes the frame's file in each frame format. Interface thread only.
FrameOutcome finish_frame(int frame, int status, const SurfaceMesh& mesh, FailureHandling handling);

// Writes the sphere files of side 0 (source) or 1 (target) beside the
// frames, one per sphere format (frame_formats.h), reporting a failure as
// build_frame does. True when written (or when output is off).
bool write_sphere_file(int side, FailureHandling handling);
