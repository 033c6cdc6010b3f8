#include "morph/load_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/lattice_geometry.h"
#include "base/records.h"
#include "base/voxel_grid.h"
#include "input/scan_convert.h"
#include "morph/morph_load.h"
#include "morph/morph_state.h"
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

// Memory the system could give now, read from /proc/meminfo
// (MemAvailable), or INT64_MAX when it cannot be read.
int64_t available_memory()
{
    std::ifstream in("/proc/meminfo");
    std::string key;
    int64_t kilobytes = 0;
    std::string unit;
    while (in >> key >> kilobytes) {
        std::getline(in, unit);
        if (key == "MemAvailable:") return kilobytes * 1024;
    }
    return INT64_MAX;
}

// What this process holds resident now.
int64_t resident_bytes()
{
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld%ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<int64_t>(resident) * sysconf(_SC_PAGE_SIZE);
}

int64_t tiles_of(const int16_t dims[3])
{
    return static_cast<int64_t>(tiles_along(dims[0])) * tiles_along(dims[1]) * tiles_along(dims[2]);
}

}  // namespace

int64_t field_memory_bytes(const int16_t dims[3], bool one_colour)
{
    if (dims[0] <= 0 || dims[1] <= 0 || dims[2] <= 0) return 0;
    const int64_t voxels = static_cast<int64_t>(dims[0]) * dims[1] * dims[2];
    const int64_t tiles = tiles_of(dims);
    // Blank outside and one colour within, a one-coloured side's field mixes
    // colours only in the tiles that hold the outer layer.
    int64_t own = tiles;
    if (one_colour) {
        const int16_t inner[3] = {static_cast<int16_t>(std::max(tiles_along(dims[0]) - 2, 0)),
                                  static_cast<int16_t>(std::max(tiles_along(dims[1]) - 2, 0)),
                                  static_cast<int16_t>(std::max(tiles_along(dims[2]) - 2, 0))};
        own = tiles - static_cast<int64_t>(inner[0]) * inner[1] * inner[2];
    }
    const int64_t tile_words = tiles * static_cast<int64_t>(sizeof(uint32_t) + sizeof(void*));
    // Large fields in tiles of a byte a voxel.
    const bool tiled = voxels >= TILED_FROM_VOXELS;
    const int64_t distances =
        tiled ? distance_tiles_bytes(dims[0], dims[1], dims[2]) : voxels * static_cast<int64_t>(sizeof(int16_t));
    // The summary: two distances a block from blocks of 2 up (of 8 for a
    // tiled field, whose tiles are its blocks of 4), each level an eighth of
    // the one before, and room for each level's block rounded up.
    const int finest = tiled ? 8 : 2;
    int64_t blocks = 1;
    for (int a = 0; a < 3; ++a) blocks *= (dims[a] + finest - 1) / finest;
    const int64_t summary = blocks * 2 * static_cast<int64_t>(sizeof(int16_t)) * 8 / 7 + 64 * 4;
    return distances + summary + tile_words +
           own * TILE_ENTRIES * static_cast<int64_t>(sizeof(uint32_t));
}

int64_t load_memory_bytes(const LoadLayout& layout)
{
    const int16_t* d = layout.dims;
    const int nx = d[0], ny = d[1], nz = d[2];
    if (nx <= 0 || ny <= 0 || nz <= 0) return 0;
    const int64_t voxels = static_cast<int64_t>(nx) * ny * nz * static_cast<int64_t>(sizeof(Voxel));
    int64_t converting[2], fields[2];
    for (int side = 0; side < 2; ++side) {
        converting[side] = conversion_working_bytes(nx, ny, nz, layout.antialias, layout.several_objects[side]);
        fields[side] = field_memory_bytes(d, layout.one_colour[side]);
    }
    const int64_t transforming = distance_transform_working_bytes(nx, ny);

    int64_t load = 0;
    if (layout.in_turn) {
        // The source's field is made before the target's voxels.
        load = std::max({voxels + converting[0], voxels + transforming,
                         fields[0] + voxels + std::max(converting[1], transforming)});
    } else if (layout.threads > 1) {
        load = 2 * voxels + std::max(converting[0] + converting[1], 2 * transforming);
    } else {
        load = 2 * voxels + std::max({converting[0], converting[1], transforming});
    }

    // The lattice at resolution 1, counted as lattice_counts does (here
    // without its 16-bit limit).
    const int lx = nx + 1, lz = nz + 1;
    const int ly = static_cast<int>((ny - 1) / LATTICE_Y_FACTOR) + 2;
    const int64_t frame =
        lattice_walk_working_bytes(lx, ly, lz, layout.threads) + frame_values_working_bytes(lx, ly, lz);
    // The shared displacements: 48 bytes a point kept and about 1 KB a block
    // (counted as 8 bytes more a point), up to their budget.
    const int64_t points = static_cast<int64_t>(lx) * ly * lz / 2;
    const int64_t shared = std::min(displacement_cache_budget(), points * 56);
    const int64_t frames = fields[0] + fields[1] + shared + std::max(layout.frames_at_once, 1) * frame;
    return std::max(load, frames);
}

LoadLayout load_layout(const MorphState& morph, int frames_at_once)
{
    LoadLayout layout;
    std::copy(morph.volume_dims, morph.volume_dims + 3, layout.dims);
    layout.antialias = morph.parameters.antialias;
    layout.threads = worker_threads(morph.parameters);
    layout.in_turn = sides_in_turn(morph);
    for (int side = 0; side < 2; ++side) {
        layout.one_colour[side] = morph.one_colour[side];
        layout.several_objects[side] = morph.objects[side] > 1;
    }
    layout.frames_at_once = frames_at_once;
    return layout;
}

int frames_that_fit(const MorphState& morph, int wanted)
{
    const int64_t budget = load_memory_budget();
    int n = std::max(wanted, 1);
    while (n > 1 && load_memory_bytes(load_layout(morph, n)) > budget) --n;
    return n;
}

int64_t load_memory_budget()
{
    const int64_t memory = std::min(physical_memory_bytes(), control_group_limit());
    // What the system has free counts this process's own memory as its
    // own, so that the budget stays the same once the load holds its part.
    const int64_t available = available_memory();
    const int64_t free_now =
        available == INT64_MAX ? INT64_MAX : available + resident_bytes() - std::min<int64_t>(memory / 16, 1 << 30);
    return std::max<int64_t>(0, std::min({memory / 4 * 3, free_now, address_space_left()}));
}

int64_t displacement_cache_budget()
{
    constexpr int64_t MOST = int64_t(768) << 20;
    const int64_t eighth = load_memory_budget() / 8;
    return eighth < MOST ? eighth : MOST;
}

}  // namespace kestrane
