#pragma once
// The program's one global record of parameters and shared run-time state,
// with the voxel, sphere and vector records it owns.
//
// Owner of the two volumes (voxel arrays, sphere arrays, shifts) and of the
// manual vectors: the load pipeline rebuilds them, release_volumes frees
// them. The algorithms never read this record; adapters in src/app pass its
// fields to them as arguments.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/modes.h"
#include "base/records.h"
#include "base/vector3.h"
#include "base/version.h"

constexpr int PATH_CAPACITY = 2048;  // bytes per path, terminator included

struct Volume {
    Vector3 centre{0, 0, 0};  // surface point placed at the grid centre
    double scale = 0;          // voxels per surface unit
    std::unique_ptr<Voxel[]> voxels;
    int32_t sphere_count = 0;
    std::vector<Sphere> spheres;       // empty: no sphere array
    std::vector<Vector3> sphere_shift; // one displacement per sphere
};

struct AppState {
    // Parameters
    std::string source_path;
    std::string target_path;
    std::string output_base;
    SurfaceFormat output_format;
    std::string dump_base;
    DumpFormat dump_format;
    uint16_t frame_count;
    uint16_t min_points;
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

extern AppState app;

// Number of manual vectors (the vector array's length).
inline int32_t vector_count() { return static_cast<int32_t>(app.vectors.size()); }

// Every parameter to its start-up default.
void app_state_init();
// The processor cores of this machine (at least 1).
uint16_t machine_cores();
void reset_transform();
// Reads 16 reals separated by single characters into m; returns how many were read.
int parse_transform(const char* text, double* m);
// Voxel count nx*ny*nz of the current volume size (0 before sizing).
int64_t voxel_count();
// Release voxel arrays, sphere arrays and displacement arrays of both volumes
// and the manual vectors (stop any background work that reads them first).
void release_volumes();
// Work on other threads that reads the volumes (the viewer's sequence)
// installs how to stop it; stop_background_work runs that (waiting for the
// threads to finish) and is called before the volumes go.
void set_work_stopper(void (*stop)());
void stop_background_work();
// Release the volumes and vectors and end the process with status 0.
[[noreturn]] void quit_program();
