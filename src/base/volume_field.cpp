#include "base/volume_field.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace kestrane {

namespace {

// Tile (tx, ty, tz) of the grid: one colour (its outer-layer voxels blank),
// or its voxels' colours (the slots past the grid's edge repeat the tile's
// first colour). False when memory runs out.
bool fill_tile(const VoxelGrid& grid, int tx, int ty, int tz, uint32_t& uniform,
               std::unique_ptr<uint32_t[]>& own)
{
    const int x0 = tx * VOXEL_TILE, y0 = ty * VOXEL_TILE, z0 = tz * VOXEL_TILE;
    const int x1 = std::min(x0 + VOXEL_TILE, grid.nx), y1 = std::min(y0 + VOXEL_TILE, grid.ny),
              z1 = std::min(z0 + VOXEL_TILE, grid.nz);
    const uint32_t blank = blank_colour();
    // The colour of the tile's first voxel off the outer layer (blank if all
    // of it is outer layer).
    uint32_t inner = blank;
    const int ix = std::min(std::max(x0, 1), x1 - 1), iy = std::min(std::max(y0, 1), y1 - 1),
              iz = std::min(std::max(z0, 1), z1 - 1);
    if (!on_outer_layer(ix, iy, iz, grid.nx, grid.ny, grid.nz)) inner = grid.at(ix, iy, iz).colour;
    bool one = true;
    for (int z = z0; z < z1 && one; ++z)
        for (int y = y0; y < y1 && one; ++y) {
            const Voxel* row = &grid.at(0, y, z);
            for (int x = x0; x < x1; ++x) {
                const bool outer = on_outer_layer(x, y, z, grid.nx, grid.ny, grid.nz);
                if (row[x].colour != (outer ? blank : inner)) {
                    one = false;
                    break;
                }
            }
        }
    uniform = inner;
    if (one) return true;
    const uint32_t first = grid.at(x0, y0, z0).colour;
    own.reset(new (std::nothrow) uint32_t[TILE_ENTRIES]);
    if (!own) return false;
    std::fill(own.get(), own.get() + TILE_ENTRIES, first);
    for (int z = z0; z < z1; ++z)
        for (int y = y0; y < y1; ++y) {
            const Voxel* row = &grid.at(0, y, z);
            for (int x = x0; x < x1; ++x) own[tile_entry(x, y, z)] = row[x].colour;
        }
    return true;
}

// Gives back the memory of an array's whole pages as it is read: up to
// `upto`, from where it stopped the time before.
struct PageGiver {
    uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t done;
    explicit PageGiver(const void* start) : done((reinterpret_cast<uintptr_t>(start) + page - 1) / page * page) {}
    void give_back(const void* upto)
    {
        const uintptr_t last = reinterpret_cast<uintptr_t>(upto) / page * page;
        if (last <= done) return;
        madvise(reinterpret_cast<void*>(done), last - done, MADV_DONTNEED);
        done = last;
    }
};

}  // namespace

bool split_voxels(const VoxelGrid& grid, VolumeField* field, bool give_back)
{
    *field = VolumeField{};
    if (!grid.voxels || grid.nx <= 0 || grid.ny <= 0 || grid.nz <= 0) return false;
    VolumeField f;
    f.nx = grid.nx, f.ny = grid.ny, f.nz = grid.nz;
    const size_t count = grid.size();
    // The colours first: until the distances are copied, a failure leaves
    // the voxels whole.
    ColourTiles& t = f.colours;
    t.tiles[0] = tiles_along(grid.nx), t.tiles[1] = tiles_along(grid.ny), t.tiles[2] = tiles_along(grid.nz);
    const size_t tiles = static_cast<size_t>(t.tiles[0]) * t.tiles[1] * t.tiles[2];
    try {
        t.uniform.resize(tiles);
        t.own.resize(tiles);
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t i = 0;
    for (int tz = 0; tz < t.tiles[2]; ++tz)
        for (int ty = 0; ty < t.tiles[1]; ++ty)
            for (int tx = 0; tx < t.tiles[0]; ++tx, ++i)
                if (!fill_tile(grid, tx, ty, tz, t.uniform[i], t.own[i])) return false;
    f.distances.reset(new (std::nothrow) int16_t[count]);
    if (!f.distances) return false;
    give_back = give_back && static_cast<int64_t>(count * sizeof(Voxel)) >= GIVE_BACK_BYTES;
    // In slabs of about 16 MB of voxels, each given back once copied.
    const size_t slab = give_back ? (size_t(16) << 20) / sizeof(Voxel) : count;
    PageGiver giver(grid.voxels);
    for (size_t start = 0; start < count; start += slab) {
        const size_t end = std::min(count, start + slab);
        for (size_t v = start; v < end; ++v) f.distances[v] = grid.voxels[v].distance;
        if (give_back) giver.give_back(grid.voxels + end);
    }
    *field = std::move(f);
    return true;
}

FieldView field_view(const VolumeField& field)
{
    FieldView v;
    if (!field.distances) return v;
    v.distances = reinterpret_cast<const char*>(field.distances.get());
    v.stride = sizeof(int16_t);
    v.tile_uniform = field.colours.uniform.data();
    v.tile_own = field.colours.own.data();
    v.tiles_x = field.colours.tiles[0];
    v.tiles_y = field.colours.tiles[1];
    v.nx = field.nx, v.ny = field.ny, v.nz = field.nz;
    return v;
}

size_t tiles_with_own_colours(const ColourTiles& tiles)
{
    return static_cast<size_t>(
        std::count_if(tiles.own.begin(), tiles.own.end(), [](const std::unique_ptr<uint32_t[]>& p) { return !!p; }));
}

int64_t volume_field_bytes(const VolumeField& field)
{
    if (!field.distances) return 0;
    const ColourTiles& t = field.colours;
    const int64_t voxels = static_cast<int64_t>(field.nx) * field.ny * field.nz;
    return voxels * static_cast<int64_t>(sizeof(int16_t)) +
           static_cast<int64_t>(t.uniform.size()) * (sizeof(uint32_t) + sizeof(void*)) +
           static_cast<int64_t>(tiles_with_own_colours(t)) * TILE_ENTRIES * static_cast<int64_t>(sizeof(uint32_t));
}

}  // namespace kestrane
