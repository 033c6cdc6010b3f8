#include "app/pipeline.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "app/analysis.h"
#include "app/morph_status.h"
#include "morph/load_memory.h"
#include "app/app_state.h"
#include "app/status.h"
#include "input/file_kind.h"
#include "input/mesh_import.h"
#include "input/off_reader.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"

using namespace kestrane;

PipelineHooks pipeline_hooks;


int measure_volumes(const SurfaceInput& source, const SurfaceInput& target, int* failed_side)
{
    show_info("Calculating size of volumes");
    SizingParameters p;
    p.min_points = app.min_points;
    p.resolution = app.resolution;
    p.scale_centres = app.scale_centres;
    p.scale_sizes = app.scale_sizes;
    p.source_transform = app.transform;
    VolumeSizing sizing;
    int status = measure_surfaces(source, target, p, &sizing, failed_side);
    if (status != SURFACE_OK) return status;
    for (int axis = 0; axis < 3; ++axis) {
        app.volume_dims[axis] = sizing.volume_dims[axis];
        app.sample_grid_dims[axis] = sizing.sample_grid_dims[axis];
    }
    for (int side = 0; side < 2; ++side) {
        app.volumes[side].centre = sizing.centre[side];
        app.volumes[side].scale = sizing.scale[side];
    }
    show_info("Interpolated volume is %hu by %hu by %hu voxels.\n", static_cast<unsigned short>(app.volume_dims[0]),
              static_cast<unsigned short>(app.volume_dims[1]), static_cast<unsigned short>(app.volume_dims[2]));
    app.view_scale = sizing.view_scale;
    return SURFACE_OK;
}

namespace {

void show_sampling(void* context, long faces, long face_count)
{
    show_info("Sampling `%s', polygon %li of %li", static_cast<const std::string*>(context)->c_str(), faces,
              face_count);
}

ConversionParameters conversion_parameters(int side)
{
    const Volume& volume = app.volumes[side];
    ConversionParameters p;
    p.grid = grid_of(volume.voxels.get(), app.volume_dims);
    p.centre = volume.centre;
    p.scale = volume.scale;
    p.transform = side == 0 ? app.transform : nullptr;
    p.antialias = app.antialias;
    p.antialias_distance = app.antialias_distance;
    return p;
}

}  // namespace

int convert_volume(const SurfaceInput& input, int side)
{
    ConversionProgress progress;
    progress.faces_done = show_sampling;
    progress.context = const_cast<std::string*>(side == 0 ? &app.source_path : &app.target_path);
    return convert_surface(input, conversion_parameters(side), progress);
}

namespace {

// The status line's warning for a load that failed, as the programs have
// always worded it.
const char* load_warning(const Result& r)
{
    const bool source = r.side != 1;
    switch (r.problem) {
    case Problem::CannotOpen:
        return source ? "Not able to open source input file" : "Not able to open target input file";
    case Problem::GridTooLarge:
        return "Not enough memory for source data";
    case Problem::NotEnoughMemory:
        return source ? "Not enough memory for source data" : "Not enough memory for target data";
    case Problem::ConversionFailed:
        return source ? "Couldn't scan convert source data" : "Couldn't scan convert target data";
    case Problem::Cancelled:
        return "Load cancelled";
    default:
        return "Couldn't understand file formats";
    }
}

bool load_failed(const Result& r)
{
    return r.problem == Problem::Cancelled || r.stage == Stage::Sizing || r.stage == Stage::Reading ||
           r.stage == Stage::Converting;
}

int fail_load(const Result& r)
{
    LoadFailure failure;
    failure.warning = load_warning(r);
    failure.detail = r.reason;
    if (pipeline_hooks.load_failed)
        pipeline_hooks.load_failed(failure);
    else
        show_warning("%s", failure.warning);
    return 1;
}

}  // namespace

bool allocate_voxels(int v)
{
    int64_t count = voxel_count();
    Volume& volume = app.volumes[v];
    volume.voxels.reset();
    if (count <= 0) return false;
    volume.voxels.reset(new (std::nothrow) Voxel[static_cast<size_t>(count)]);
    return volume.voxels != nullptr;
}

int run_pipeline()
{
    if (app.source_path.empty() || app.target_path.empty()) return PIPELINE_NOT_RUN;
    // Work reading the old volumes (a sequence being generated) stops first.
    stop_background_work();
    release_volumes();
    app.morpher.set_observer(pipeline_hooks.observer ? pipeline_hooks.observer : &status_line_observer());
    const Result loaded = app.morpher.load(Surface::file(app.source_path), Surface::file(app.target_path));
    if (loaded) return PIPELINE_DONE;
    if (load_failed(loaded)) {
        fail_load(loaded);
        return PIPELINE_LOAD_FAILED;
    }
    // The reason first (a console's line, the viewer's standard error), then
    // the status line's fatal message.
    if (pipeline_hooks.analysis_failed && !loaded.reason.empty()) pipeline_hooks.analysis_failed(loaded.reason);
    show_error("Couldn't construct the isosurface.");
    return PIPELINE_ANALYSIS_FAILED;
}
