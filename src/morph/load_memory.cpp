#include "morph/load_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/lattice_geometry.h"
#include "base/records.h"
#include "input/scan_convert.h"
#include "shape/distance_transform.h"
#include "surface/frame_values.h"
#include "surface/lattice_walk.h"

namespace kestrane {

namespace {

int64_t physical_memory_bytes()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return INT64_MAX;
    return static_cast<int64_t>(pages) * page_size;
}

// The control group's memory limit (cgroup v2), or INT64_MAX without one.
int64_t control_group_limit()
{
    std::ifstream in("/sys/fs/cgroup/memory.max");
    std::string text;
    if (!(in >> text) || text == "max") return INT64_MAX;
    try {
        return std::stoll(text);
    } catch (...) {
        return INT64_MAX;
    }
}

// Address space still free under RLIMIT_AS, or INT64_MAX without a limit.
int64_t address_space_left()
{
    rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return INT64_MAX;
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    const int64_t used = static_cast<int64_t>(pages) * sysconf(_SC_PAGE_SIZE);
    const int64_t cap = static_cast<int64_t>(limit.rlim_cur);
    return cap > used ? cap - used : 0;
}

}  // namespace

int64_t load_memory_bytes(const int16_t volume_dims[3], bool antialias, int worker_threads)
{
    const int nx = volume_dims[0], ny = volume_dims[1], nz = volume_dims[2];
    if (nx <= 0 || ny <= 0 || nz <= 0) return 0;
    const int64_t voxels = static_cast<int64_t>(nx) * ny * nz;
    const int64_t volumes = 2 * voxels * static_cast<int64_t>(sizeof(Voxel));

    // The lattice at resolution 1, counted as lattice_counts does (here
    // without its 16-bit limit).
    const int lx = nx + 1, lz = nz + 1;
    const int ly = static_cast<int>((ny - 1) / LATTICE_Y_FACTOR) + 2;
    // Each thread may hold a frame under way; with two threads or more the
    // two surfaces are converted and analysed at the same time.
    const int threads = std::max(worker_threads, 1);
    const int64_t frames = threads * (lattice_walk_working_bytes(lx, ly, lz) + frame_values_working_bytes(lx, ly, lz));
    const int64_t sides = threads > 1 ? 2 : 1;
    const int64_t working = std::max({sides * conversion_working_bytes(voxels, antialias),
                                      sides * distance_transform_working_bytes(nx, ny), frames});
    return volumes + working;
}

int64_t load_memory_budget()
{
    const int64_t memory = std::min(physical_memory_bytes(), control_group_limit());
    return std::min(memory / 2, address_space_left());
}

int64_t displacement_cache_budget()
{
    constexpr int64_t MOST = int64_t(256) << 20;
    const int64_t eighth = load_memory_budget() / 8;
    return eighth < MOST ? eighth : MOST;
}

}  // namespace kestrane
