#include "app/pipeline.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "app/analysis.h"
#include "app/load_memory.h"
#include "app/sequence.h"
#include "base/app_state.h"
#include "base/status.h"
#include "input/file_kind.h"
#include "input/mesh_import.h"
#include "input/off_reader.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"

PipelineHooks pipeline_hooks;

namespace {

// Closes whatever files a step opened, on every path out of the load.
struct OpenFiles {
    std::FILE* source = nullptr;
    std::FILE* target = nullptr;
    ~OpenFiles()
    {
        if (source) std::fclose(source);
        if (target) std::fclose(target);
    }
};

}  // namespace

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

constexpr int NOT_RUN = -1;

// Work for the target run on a thread of its own beside the interface
// thread, when threads are allowed and to be had; else not at all (the
// caller then does it itself).
struct Beside {
    std::thread thread;
    template <typename Work>
    explicit Beside(Work work)
    {
        if (app.threads < 2) return;
        try {
            thread = std::thread(work);
        } catch (...) {
        }
    }
    void finish()
    {
        if (thread.joinable()) thread.join();
    }
    ~Beside() { finish(); }
};

struct Counts {
    long faces = 0, face_count = 0;
};

void count_faces(void* context, long faces, long face_count)
{
    Counts& c = *static_cast<Counts*>(context);
    c.faces = faces;
    c.face_count = face_count;
}

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

// Without a word on the status line: for a thread beside the interface.
int convert_volume_quietly(const SurfaceInput& input, int side, Counts* counts)
{
    ConversionProgress progress;
    progress.faces_done = count_faces;
    progress.context = counts;
    return convert_surface(input, conversion_parameters(side), progress);
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

bool encloses_volume(int side)
{
    const Voxel* voxels = app.volumes[side].voxels.get();
    const int64_t count = voxel_count();
    for (int64_t i = 0; voxels && i < count; ++i)
        if (voxels[i].distance > 0) return true;
    return false;
}

const std::string& path_of(int side) { return side == 0 ? app.source_path : app.target_path; }

std::string quoted(const std::string& path) { return "`" + path + "'"; }

int fail_load(const char* warning, std::string detail)
{
    LoadFailure failure;
    failure.warning = warning;
    failure.detail = std::move(detail);
    if (pipeline_hooks.load_failed)
        pipeline_hooks.load_failed(failure);
    else
        show_warning("%s", warning);
    return 1;
}

// The reason a pass failed, naming the file at fault (or both files).
std::string surface_failure(int status, int side)
{
    if (side < 0)
        return quoted(app.source_path) + " and " + quoted(app.target_path) + " " + surface_status_reason(status);
    return quoted(path_of(side)) + " " + surface_status_reason(status);
}

// The specified warning, then what the load needs against what it may have.
std::string memory_failure(const char* warning)
{
    char text[240];
    std::snprintf(text, sizeof text,
                  "%s: two volumes of %i by %i by %i voxels and the work on them need about %.0f MB, more than "
                  "the %.0f MB available (fewer points with -p help)",
                  warning, app.volume_dims[0], app.volume_dims[1], app.volume_dims[2],
                  load_memory_bytes(app.volume_dims, app.antialias, app.threads) / 1e6, load_memory_budget() / 1e6);
    return text;
}

// An OFF-family file is read by the OFF reader on each pass; any other mesh
// format is read whole here, once, and replayed.
bool prepare_input(std::FILE* file, int side, ImportedMesh& mesh, SurfaceInput& input, std::string& detail)
{
    const MeshFileKind kind = detect_mesh_file(file, path_of(side));
    if (kind == MeshFileKind::Off) {
        input = SurfaceInput(file);
        return true;
    }
    show_info("Reading `%s' as %s", path_of(side).c_str(), mesh_file_kind_name(kind));
    std::string reason;
    if (!import_mesh(path_of(side), kind, &mesh, &reason)) {
        detail = quoted(path_of(side)) + " could not be read as " + mesh_file_kind_name(kind) + ": " + reason;
        return false;
    }
    input = SurfaceInput(&mesh);
    return true;
}

int load_volumes()
{
    OpenFiles files;
    files.source = std::fopen(app.source_path.c_str(), "r");
    if (!files.source)
        return fail_load("Not able to open source input file",
                         quoted(app.source_path) + " cannot be opened: " + std::strerror(errno));
    files.target = std::fopen(app.target_path.c_str(), "r");
    if (!files.target)
        return fail_load("Not able to open target input file",
                         quoted(app.target_path) + " cannot be opened: " + std::strerror(errno));
    ImportedMesh meshes[2];
    SurfaceInput inputs[2];
    std::string detail;
    if (!prepare_input(files.source, 0, meshes[0], inputs[0], detail) ||
        !prepare_input(files.target, 1, meshes[1], inputs[1], detail))
        return fail_load("Couldn't understand file formats", detail);
    int side = -1;
    int status = measure_volumes(inputs[0], inputs[1], &side);
    // A grid beyond 16-bit counts is one too large to hold, whatever the
    // machine: the same refusal as a load that does not fit.
    if (status == SURFACE_GRID_TOO_LARGE)
        return fail_load("Not enough memory for source data",
                         "Not enough memory for source data: " + surface_failure(status, side));
    if (status != 0) return fail_load("Couldn't understand file formats", surface_failure(status, side));
    // Everything the load and its frames will hold is counted before any of
    // it is allocated.
    if (load_memory_bytes(app.volume_dims, app.antialias, app.threads) > load_memory_budget() ||
        !allocate_voxels(0))
        return fail_load("Not enough memory for source data", memory_failure("Not enough memory for source data"));
    if (!allocate_voxels(1)) {
        app.volumes[0].voxels.reset();
        return fail_load("Not enough memory for target data", memory_failure("Not enough memory for target data"));
    }
    // The target is converted beside the source, quietly; its progress is
    // told once both are done.
    Counts target_counts;
    int target_status = NOT_RUN;
    Beside beside([&] { target_status = convert_volume_quietly(inputs[1], 1, &target_counts); });
    status = convert_volume(inputs[0], 0);
    beside.finish();
    if (status != 0) {
        app.volumes[0].voxels.reset();
        app.volumes[1].voxels.reset();
        return fail_load("Couldn't scan convert source data", surface_failure(status, 0));
    }
    if (target_status == NOT_RUN) {
        target_status = convert_volume(inputs[1], 1);
    } else if (target_status == 0) {
        show_sampling(const_cast<std::string*>(&app.target_path), target_counts.faces, target_counts.face_count);
    }
    if (target_status != 0) {
        app.volumes[0].voxels.reset();
        app.volumes[1].voxels.reset();
        return fail_load("Couldn't scan convert target data", surface_failure(target_status, 1));
    }
    return 0;
}

int analyse_volumes()
{
    // The target's analysis runs beside the source's; its messages follow.
    const bool spheres = !app.quick_morph;
    VolumeWork target = volume_work(1);
    bool target_done = false;
    auto analyse_target = [&] {
        transform_volume_work(target);
        if (spheres) extract_volume_work(target);
        target_done = true;
    };
    Beside beside(analyse_target);
    show_info("Performing distance transform on source volume");
    transform_volume(0);
    int status = 0;
    if (!app.quick_morph) {
        show_info("Performing sphere extraction on source volume");
        if (extract_volume_spheres(0) != 0) status = 2;
    }
    beside.finish();
    if (status != 0) return status;
    if (!target_done) analyse_target();
    show_info("Performing distance transform on target volume");
    install_transform(1, target);
    // An overflow in the source extraction switches to quick morphing.
    if (!app.quick_morph) {
        show_info("Performing sphere extraction on target volume");
        if (install_spheres(1, target) != 0) return 4;
    }
    return 0;
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
    app.first_idle = false;
    if (app.source_path.empty() || app.target_path.empty()) return PIPELINE_NOT_RUN;

    // A sequence being generated from the old volumes stops first.
    stop_sequence();
    release_volumes();
    if (pipeline_hooks.discard_lists) pipeline_hooks.discard_lists();
    app.frames_built = 0;
    app.mode = MODE_NOTHING_LOADED;

    if (load_volumes() != 0) return PIPELINE_LOAD_FAILED;
    // An open surface may bound nothing: its end of the morph is empty, and
    // it has no sphere to link.
    for (int side = 0; side < 2; ++side)
        if (!encloses_volume(side))
            show_warning("`%s' encloses no volume at this sampling",
                         (side == 0 ? app.source_path : app.target_path).c_str());
    if (analyse_volumes() != 0) {
        show_error("Couldn't construct the isosurface.");
        return PIPELINE_ANALYSIS_FAILED;
    }
    if (pipeline_hooks.build_lists) pipeline_hooks.build_lists();
    app.mode = MODE_MANUAL;
    return PIPELINE_DONE;
}
