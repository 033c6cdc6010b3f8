#pragma once
// The record the tests of the library's lower layers keep their shapes and
// parameters in: the fields of the programs' record that those layers'
// algorithms take as arguments, under the same names, so that a test reads
// as the programs' adapters do.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/modes.h"
#include "base/records.h"
#include "base/vector3.h"
#include "base/version.h"
#include "base/volume.h"

using namespace kestrane;

constexpr int PATH_CAPACITY = 2048;  // bytes per path, terminator included


struct ScratchState {
    // Parameters
    std::string source_path;
    std::string target_path;
    std::string output_base;
    SurfaceFormat output_format;
    std::string dump_base;
    DumpFormat dump_format;
    uint16_t frame_count;
    uint16_t min_points;
    double voxel_size;
    uint16_t resolution;
    double strength;
    double locality;
    bool quick_morph;
    bool scale_centres;
    bool scale_sizes;
    bool antialias;
    double antialias_distance;
    double transform[16];
    float background[3];
    bool show_help;
    bool show_parameters;
    bool show_base;
    bool show_shadow;
    bool show_spheres;
    bool smooth_shading;
    bool dump_enabled;
    // Worker threads for frames and loads (-j); the machine's cores by default.
    uint16_t threads;
    // The frames a batch run writes (-s first-last, counted from 1); 0, 0:
    // all of them.
    uint16_t first_frame;
    uint16_t last_frame;

    // Run-time fields shared by several subsystems
    Mode mode = MODE_MANUAL;
    int32_t current_frame = 0;
    int32_t frames_built = 0;
    int32_t play_rate = 1;
    int32_t next_build_frame = -1;
    bool first_idle = false;
    Volume volumes[2];
    int16_t volume_dims[3] = {0, 0, 0};
    int16_t sample_grid_dims[3] = {0, 0, 0};
    double view_scale = 0;
    std::vector<CorrespondenceVector> vectors;
};

extern ScratchState app;

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
