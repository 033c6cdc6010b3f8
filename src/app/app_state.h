#pragma once
// The programs' one global record: what the batch tool and the viewer were
// asked for (files, output, screen dumps, display switches, frame range),
// the viewer's run-time state, and the one Morpher that owns the morph:
// its parameters, both volumes, the spheres and the manual vectors.
//
// The morph's fields are also reachable here under the names the programs
// have always used (app.frame_count, app.volumes, ...): each is a reference
// into the morpher's record, not a copy, so the programs and the morph
// library see one value. The library below never reads this record.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/modes.h"
#include "base/records.h"
#include "base/vector3.h"
#include "base/version.h"
#include "morph/morph_state.h"
#include "morph/morpher.h"

using namespace kestrane;

constexpr int PATH_CAPACITY = 2048;  // bytes per path, terminator included


struct AppState {
    // Parameters
    std::string source_path;
    std::string target_path;
    std::string output_base;
    SurfaceFormat output_format;
    // The frame formats written beside output_format (--format names
    // several; frame_formats.h). Choosing one format (-u, -v, a menu
    // toggle) clears it.
    std::vector<SurfaceFormat> more_formats;
    // The frames a batch run writes (-s first-last, counted from 1); 0, 0:
    // all of them.
    uint16_t first_frame;
    uint16_t last_frame;

    // Run-time fields shared by several subsystems

    // The morph, and its fields under the programs' names.
    Morpher morpher;
    // Raised to stop a load under way (the viewer's Cancel); the morpher
    // watches it.
    std::atomic<bool> load_cancel{false};
    MorphState& morph = morpher.state();
    uint16_t& frame_count = morph.parameters.frame_count;
    uint16_t& min_points = morph.parameters.min_points;
    uint16_t& resolution = morph.parameters.resolution;
    double& voxel_size = morph.parameters.voxel_size;
    double& strength = morph.parameters.strength;
    double& locality = morph.parameters.locality;
    bool& quick_morph = morph.parameters.quick_morph;
    bool& scale_centres = morph.parameters.scale_centres;
    bool& scale_sizes = morph.parameters.scale_sizes;
    bool& antialias = morph.parameters.antialias;
    double& antialias_distance = morph.parameters.antialias_distance;
    double (&transform)[16] = morph.parameters.transform;
    // Worker threads for frames and loads (-j); the machine's cores by default.
    uint16_t& threads = morph.parameters.threads;
    Volume (&volumes)[2] = morph.volumes;
    int16_t (&volume_dims)[3] = morph.volume_dims;
    int16_t (&sample_grid_dims)[3] = morph.sample_grid_dims;
    double& view_scale = morph.view_scale;
    std::vector<CorrespondenceVector>& vectors = morph.vectors;
};

extern AppState app;

// Number of manual vectors (the vector array's length).
inline int32_t vector_count() { return static_cast<int32_t>(app.vectors.size()); }

// Every parameter to its start-up default.
void app_state_init();
void reset_transform();
// Reads 16 reals separated by single characters into m; returns how many were read.
int parse_transform(const char* text, double* m);
// Voxel count nx*ny*nz of the current volume size (0 before sizing).
int64_t voxel_count();
// Release voxel arrays, sphere arrays and displacement arrays of both volumes
// and the manual vectors (stop any background work that reads them first).
void release_volumes();
// Work on other threads that reads the volumes (the viewer's sequence and
// preview) installs how to stop it, once per kind; stop_background_work runs
// every one (waiting for the threads to finish) and is called before the
// volumes go.
void set_work_stopper(void (*stop)());
void stop_background_work();
