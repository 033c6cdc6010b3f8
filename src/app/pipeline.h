#pragma once
// The load-and-convert pipeline: opens both files, sizes the grid, allocates
// and converts both volumes, transforms them and extracts their spheres,
// reporting each step on the status line (or to the installed observer).
// The record's morpher owns the result; a failure leaves nothing loaded (a
// warning) or stops the analysis (fatal). The files are closed on every
// path.
#include <cstdio>
#include <string>

#include "input/surface_input.h"
#include "morph/morph_events.h"

using namespace kestrane;

// What stopped a load: the status line's warning and, for a console or a
// log, the file at fault and the reason in words.
struct LoadFailure {
    const char* warning = "";  // "Couldn't understand file formats", ...
    std::string detail;        // "`flat.off' has no thickness ..."
};

// load_failed, when installed, reports a failed load instead of the
// status line's warning.
struct PipelineHooks {
    void (*load_failed)(const LoadFailure& failure) = nullptr;
    // Told why the analysis failed, before the fatal message.
    void (*analysis_failed)(const std::string& reason) = nullptr;
    // Receives the load's events instead of the status line (a console).
    kestrane::MorphObserver* observer = nullptr;
};

extern PipelineHooks pipeline_hooks;

enum PipelineOutcome {
    PIPELINE_NOT_RUN = -1,         // a file name is empty: nothing changed
    PIPELINE_DONE = 0,             // both volumes loaded and analysed
    PIPELINE_LOAD_FAILED = 2,      // warning shown, nothing loaded
    PIPELINE_ANALYSIS_FAILED = 3,  // fatal message shown
};

// Stops the background work that reads the volumes, frees them and loads
// both files of the record into its morpher. A failed load leaves nothing
// loaded.
int run_pipeline();

