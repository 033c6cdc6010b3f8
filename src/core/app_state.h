#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/vector3.h"

constexpr float VERSION_NUMBER = 2.4f;
constexpr char VERSION_LETTER = 'b';
constexpr const char* RELEASE_DATE = "Mar 2002";
constexpr int PATH_CAPACITY = 2048;  // bytes per path, terminator included

// Distance units: 22 per voxel edge, positive inside, 32000 for far away.
constexpr int16_t DISTANCE_UNITS = 22;
constexpr int16_t FAR_DISTANCE = 32000;
constexpr int16_t NEAR_DISTANCE = 11;

// One voxel: a signed distance followed by a colour word, exactly 6 bytes.
#pragma pack(push, 1)
struct Voxel {
    int16_t distance;
    uint32_t colour;
};
#pragma pack(pop)
static_assert(sizeof(Voxel) == 6, "a voxel is 6 bytes");

// An inscribed sphere: centre voxel, radius in distance units, link flag
// (while extracting, the flag byte holds the candidate state).
struct Sphere {
    int16_t x, y, z;
    int16_t radius;
    uint8_t linked;
};

struct Volume {
    Vector3 centre{0, 0, 0};  // surface point placed at the grid centre
    double scale = 0;          // voxels per surface unit
    std::unique_ptr<Voxel[]> voxels;
    int32_t sphere_count = 0;
    std::vector<Sphere> spheres;       // empty: no sphere array
    std::vector<Vector3> sphere_shift; // one displacement per sphere
};

// A manual correspondence vector, in voxel coordinates.
struct CorrespondenceVector {
    double start[3];
    double end[3];
};

struct AppState {
    // Parameters
    std::string source_path;
    std::string target_path;
    std::string output_base;
    int32_t output_format;  // 0 none, 1 OOGL CNOFF, 2 VRML
    std::string dump_base;
    int32_t dump_format;    // 0 none, 1 PPM, 2 BMP
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

    // Run-time fields shared by several subsystems
    int32_t mode = 0;  // -1 nothing loaded, 0 manual, 1 automatic, 2 sequence
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
void reset_transform();
// Reads 16 reals separated by single characters into m; returns how many were read.
int parse_transform(const char* text, double* m);
// Voxel count nx*ny*nz of the current volume size (0 before sizing).
int64_t voxel_count();
// Release voxel arrays, sphere arrays and displacement arrays of both volumes
// and the manual vectors.
void release_volumes();
