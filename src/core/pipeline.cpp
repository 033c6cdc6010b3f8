#include "core/pipeline.h"

#include <unistd.h>

#include <cstdio>
#include <new>

#include "core/app_state.h"
#include "core/status.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"
#include "shape/distance_transform.h"
#include "shape/sphere_extraction.h"

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

int64_t physical_memory_bytes()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return INT64_MAX;
    return static_cast<int64_t>(pages) * page_size;
}

int load_volumes()
{
    OpenFiles files;
    files.source = std::fopen(app.source_path.c_str(), "r");
    if (!files.source) {
        show_warning("Not able to open source input file");
        return 1;
    }
    files.target = std::fopen(app.target_path.c_str(), "r");
    if (!files.target) {
        show_warning("Not able to open target input file");
        return 1;
    }
    if (measure_surfaces(files.source, files.target) != 0) {
        show_warning("Couldn't understand file formats");
        return 1;
    }
    if (!allocate_voxels(0)) {
        show_warning("Not enough memory for source data");
        return 1;
    }
    if (convert_surface(files.source, 0) != 0) {
        show_warning("Couldn't scan convert source data");
        app.volumes[0].voxels.reset();
        return 1;
    }
    if (!allocate_voxels(1)) {
        show_warning("Not enough memory for target data");
        app.volumes[0].voxels.reset();
        return 1;
    }
    if (convert_surface(files.target, 1) != 0) {
        show_warning("Couldn't scan convert target data");
        app.volumes[0].voxels.reset();
        app.volumes[1].voxels.reset();
        return 1;
    }
    return 0;
}

int analyse_volumes()
{
    show_info("Performing distance transform on source volume");
    if (distance_transform(0) != 0) return 1;
    if (!app.quick_morph) {
        show_info("Performing sphere extraction on source volume");
        if (extract_spheres(0) != 0) return 2;
    }
    show_info("Performing distance transform on target volume");
    if (distance_transform(1) != 0) return 3;
    // An overflow in the source extraction switches to quick morphing.
    if (!app.quick_morph) {
        show_info("Performing sphere extraction on target volume");
        if (extract_spheres(1) != 0) return 4;
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
    // Two grids plus the scan converter's working grids must fit in memory;
    // refuse early rather than be killed by the system.
    int64_t bytes = count * static_cast<int64_t>(sizeof(Voxel));
    if (bytes > physical_memory_bytes() / 4) return false;
    volume.voxels.reset(new (std::nothrow) Voxel[static_cast<size_t>(count)]);
    return volume.voxels != nullptr;
}

int run_pipeline()
{
    app.first_idle = false;
    if (app.source_path.empty() || app.target_path.empty()) return PIPELINE_NOT_RUN;

    release_volumes();
    if (pipeline_hooks.discard_lists) pipeline_hooks.discard_lists();
    app.frames_built = 0;
    app.mode = -1;

    if (load_volumes() != 0) return PIPELINE_LOAD_FAILED;
    if (analyse_volumes() != 0) {
        show_error("Couldn't construct the isosurface.");
        return PIPELINE_ANALYSIS_FAILED;
    }
    if (pipeline_hooks.build_lists) pipeline_hooks.build_lists();
    app.mode = 0;
    return PIPELINE_DONE;
}
