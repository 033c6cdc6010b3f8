#include "base/volume_field.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// The ranges of the distance tiles within colour tile (tx, ty, tz), read
// while its voxels are at hand: the colours' pass over the grid also gives
// the distances' ranges.
void distance_ranges_in(const VoxelGrid& grid, int tx, int ty, int tz, DistanceTiles& t)
{
    static_assert(VOXEL_TILE % DISTANCE_TILE == 0, "a colour tile holds whole distance tiles");
    const int x0 = tx * VOXEL_TILE, y0 = ty * VOXEL_TILE, z0 = tz * VOXEL_TILE;
    const int x1 = std::min(x0 + VOXEL_TILE, grid.nx), y1 = std::min(y0 + VOXEL_TILE, grid.ny),
              z1 = std::min(z0 + VOXEL_TILE, grid.nz);
    for (int z = z0; z < z1; ++z)
        for (int y = y0; y < y1; ++y) {
            const Voxel* row = &grid.at(0, y, z);
            TileRange* along = &t.ranges[distance_tile_index(t.tiles[0], t.tiles[1], 0, y, z)];
            for (int xs = x0; xs < x1; xs += DISTANCE_TILE) {
                TileRange& r = along[xs / DISTANCE_TILE];
                int16_t lo = r.lo, hi = r.hi;
                for (int x = xs; x < std::min(xs + DISTANCE_TILE, x1); ++x) {
                    lo = std::min(lo, row[x].distance);
                    hi = std::max(hi, row[x].distance);
                }
                r = {lo, hi};
            }
        }
}

// Room for the distances of the tiles that spread too wide for a byte, each
// one's place among them in its first offsets; false without the memory.
bool place_wide_tiles(DistanceTiles& t)
{
    const size_t wide = static_cast<size_t>(std::count_if(t.ranges.begin(), t.ranges.end(), wide_tile));
    try {
        t.wide.assign(wide * DISTANCE_TILE_ENTRIES, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint32_t place = 0;
    for (size_t tile = 0; tile < t.ranges.size(); ++tile)
        if (wide_tile(t.ranges[tile])) {
            std::memcpy(&t.offsets[tile * DISTANCE_TILE_ENTRIES], &place, sizeof place);
            ++place;
        }
    return true;
}

// The distances of slab `slab` of tiles, as offsets or, in a wide tile, whole.
void slab_distances(const VoxelGrid& grid, DistanceTiles& t, int slab)
{
    const int z0 = slab * DISTANCE_TILE, z1 = std::min(z0 + DISTANCE_TILE, grid.nz);
    const size_t first = static_cast<size_t>(slab) * t.tiles[1] * t.tiles[0];
    for (int z = z0; z < z1; ++z)
        for (int y = 0; y < grid.ny; ++y) {
            const Voxel* row = &grid.at(0, y, z);
            const size_t along = first + static_cast<size_t>(y / DISTANCE_TILE) * t.tiles[0];
            const int entry = distance_tile_entry(0, y, z);
            for (int tx = 0, x0 = 0; x0 < grid.nx; ++tx, x0 += DISTANCE_TILE) {
                const int n = std::min(DISTANCE_TILE, grid.nx - x0);
                const size_t tile = along + static_cast<size_t>(tx);
                const TileRange r = t.ranges[tile];
                if (!wide_tile(r)) {
                    uint8_t* o = &t.offsets[tile * DISTANCE_TILE_ENTRIES + entry];
                    for (int k = 0; k < n; ++k) o[k] = static_cast<uint8_t>(row[x0 + k].distance - r.lo);
                } else {
                    uint32_t place;
                    std::memcpy(&place, &t.offsets[tile * DISTANCE_TILE_ENTRIES], sizeof place);
                    int16_t* w = &t.wide[static_cast<size_t>(place) * DISTANCE_TILE_ENTRIES + entry];
                    for (int k = 0; k < n; ++k) w[k] = row[x0 + k].distance;
                }
            }
        }
}

}  // namespace

bool split_voxels(const VoxelGrid& grid, VolumeField* field, bool give_back, int64_t tiled_from)
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
    const bool tiled = static_cast<int64_t>(count) >= tiled_from;
    DistanceTiles& d = f.tiles;
    if (tiled) {
        try {
            size_distance_tiles(d, grid.nx, grid.ny, grid.nz);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    size_t i = 0;
    for (int tz = 0; tz < t.tiles[2]; ++tz)
        for (int ty = 0; ty < t.tiles[1]; ++ty)
            for (int tx = 0; tx < t.tiles[0]; ++tx, ++i) {
                if (!fill_tile(grid, tx, ty, tz, t.uniform[i], t.own[i])) return false;
                if (tiled) distance_ranges_in(grid, tx, ty, tz, d);
            }
    give_back = give_back && static_cast<int64_t>(count * sizeof(Voxel)) >= GIVE_BACK_BYTES;
    PageGiver giver(grid.voxels);
    if (!tiled) {
        f.packed.reset(new (std::nothrow) int16_t[count]);
        if (!f.packed) return false;
        // In slabs of about 16 MB of voxels, each given back once copied.
        const size_t slab = give_back ? (size_t(16) << 20) / sizeof(Voxel) : count;
        for (size_t start = 0; start < count; start += slab) {
            const size_t end = std::min(count, start + slab);
            for (size_t v = start; v < end; ++v) f.packed[v] = grid.voxels[v].distance;
            if (give_back) giver.give_back(grid.voxels + end);
        }
        *field = std::move(f);
        return true;
    }
    // Every tile's range is known: the memory the wide tiles need is had
    // before any of the voxels' goes back.
    if (!place_wide_tiles(d)) return false;
    // A slab of tiles at a time, its voxels given back once it is made.
    for (int slab = 0; slab < d.tiles[2]; ++slab) {
        slab_distances(grid, d, slab);
        const int end = std::min((slab + 1) * DISTANCE_TILE, grid.nz);
        if (give_back) giver.give_back(grid.voxels + static_cast<size_t>(end) * grid.nx * grid.ny);
    }
    *field = std::move(f);
    return true;
}

FieldView field_view(const VolumeField& field)
{
    FieldView v;
    if (field.packed) {
        v.distances = reinterpret_cast<const char*>(field.packed.get());
        v.stride = sizeof(int16_t);
    } else if (field.tiles) {
        v.tiled = field.tiles.reads();
        v.distances = reinterpret_cast<const char*>(v.tiled.offsets);
        v.stride = 1;
    } else {
        return v;
    }
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
    if (!field.present()) return 0;
    const ColourTiles& t = field.colours;
    const int64_t distances =
        field.packed ? static_cast<int64_t>(field.nx) * field.ny * field.nz * 2 : field.tiles.bytes();
    return distances + static_cast<int64_t>(t.uniform.size()) * (sizeof(uint32_t) + sizeof(void*)) +
           static_cast<int64_t>(tiles_with_own_colours(t)) * TILE_ENTRIES * static_cast<int64_t>(sizeof(uint32_t));
}

}  // namespace kestrane
