#include "app/app_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/morph_status.h"

using namespace kestrane;

AppState app;

void reset_transform()
{
    for (int i = 0; i < 16; ++i) app.transform[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void app_state_init()
{
    app.morpher.set_observer(&status_line_observer());
    app.morpher.set_cancel(&app.load_cancel);
    app.source_path.clear();
    app.target_path.clear();
    app.output_base = "morph";
    app.output_format = SURFACE_FORMAT_NONE;
    app.more_formats.clear();
    app.frame_count = 20;
    app.min_points = 20;
    app.resolution = 1;
    app.voxel_size = 0;
    app.strength = 1.0;
    app.locality = 1.0;
    app.quick_morph = false;
    app.scale_centres = true;
    app.scale_sizes = true;
    app.antialias = true;
    app.antialias_distance = 1.1;
    reset_transform();
    app.threads = machine_cores();
    app.first_frame = app.last_frame = 0;
}


int64_t voxel_count() { return voxel_count(app.morph); }

void release_volumes() { release_morph(app.morph); }

int parse_transform(const char* text, double* m)
{
    return std::sscanf(text,
                       "%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c"
                       "%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf%*c%lf",
                       &m[0], &m[1], &m[2], &m[3], &m[4], &m[5], &m[6], &m[7], &m[8], &m[9], &m[10],
                       &m[11], &m[12], &m[13], &m[14], &m[15]);
}

namespace {
// The viewer's sequence and its preview each install one.
std::vector<void (*)()> work_stoppers;
}  // namespace

void set_work_stopper(void (*stop)())
{
    if (stop && std::find(work_stoppers.begin(), work_stoppers.end(), stop) == work_stoppers.end())
        work_stoppers.push_back(stop);
}

void stop_background_work()
{
    for (void (*stop)() : work_stoppers) stop();
}
