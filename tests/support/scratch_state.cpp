#include "support/scratch_state.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <thread>

ScratchState app;

void reset_transform()
{
    for (int i = 0; i < 16; ++i) app.transform[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void app_state_init()
{
    app.source_path.clear();
    app.target_path.clear();
    app.output_base = "morph";
    app.output_format = SURFACE_FORMAT_NONE;
    app.dump_base.clear();
    app.dump_format = DUMP_FORMAT_NONE;
    app.frame_count = 20;
    app.min_points = 20;
    app.voxel_size = 0;
    app.resolution = 1;
    app.strength = 1.0;
    app.locality = 1.0;
    app.quick_morph = false;
    app.scale_centres = true;
    app.scale_sizes = true;
    app.antialias = true;
    app.antialias_distance = 1.1;
    reset_transform();
    app.background[0] = app.background[1] = app.background[2] = 0.0f;
    app.show_help = false;
    app.show_parameters = false;
    app.show_base = true;
    app.show_shadow = true;
    app.show_spheres = false;
    app.smooth_shading = true;
    app.dump_enabled = false;
    app.threads = static_cast<uint16_t>(std::max(1u, std::min(256u, std::thread::hardware_concurrency())));
    app.first_frame = app.last_frame = 0;
}


int64_t voxel_count()
{
    return static_cast<int64_t>(app.volume_dims[0]) * app.volume_dims[1] * app.volume_dims[2];
}

void release_volumes()
{
    for (Volume& v : app.volumes) {
        v.voxels.reset();
        v.spheres.clear();
        v.spheres.shrink_to_fit();
        v.sphere_shift.clear();
        v.sphere_shift.shrink_to_fit();
        v.sphere_count = 0;
    }
    app.vectors.clear();
    app.vectors.shrink_to_fit();
}

int parse_transform(const char* text, double* m)
{
    return std::sscanf(text,
                       "%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c"
                       "%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf",
                       &m[0], &m[1], &m[2], &m[3], &m[4], &m[5], &m[6], &m[7], &m[8], &m[9], &m[10],
                       &m[11], &m[12], &m[13], &m[14], &m[15]);
}
