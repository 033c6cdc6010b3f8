#pragma once
// Views of a volume as a grid of nx x ny x nz voxels, x fastest, then y,
// then z: voxel (x, y, z) has index (z ny + y) nx + x. The views own nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/colour.h"
#include "base/distance_tiles.h"
#include "base/records.h"

namespace kestrane {
// A writable view, for the steps that build a volume.
struct VoxelGrid {
    Voxel* voxels = nullptr;
    int nx = 0, ny = 0, nz = 0;

    size_t index(int x, int y, int z) const
    {
        return (static_cast<size_t>(z) * ny + y) * nx + x;
    }
    Voxel& at(int x, int y, int z) const { return voxels[index(x, y, z)]; }
    size_t size() const { return static_cast<size_t>(nx) * ny * nz; }
};

// Tiles of VOXEL_TILE voxels a side, for what is kept per tile of a grid:
// tile (x / VOXEL_TILE, ...) in a grid of tiles_x x tiles_y x ... tiles, and
// within it entry (x % VOXEL_TILE, ...), x fastest.
constexpr int VOXEL_TILE = 8;
constexpr int TILE_ENTRIES = VOXEL_TILE * VOXEL_TILE * VOXEL_TILE;
inline int tiles_along(int n) { return (n + VOXEL_TILE - 1) / VOXEL_TILE; }
inline size_t tile_index(int tiles_x, int tiles_y, int x, int y, int z)
{
    return (static_cast<size_t>(z / VOXEL_TILE) * tiles_y + y / VOXEL_TILE) * tiles_x + x / VOXEL_TILE;
}
inline size_t tile_entry(int x, int y, int z)
{
    return (static_cast<size_t>(z % VOXEL_TILE) * VOXEL_TILE + y % VOXEL_TILE) * VOXEL_TILE + x % VOXEL_TILE;
}

inline bool on_outer_layer(int x, int y, int z, int nx, int ny, int nz)
{
    return x == 0 || y == 0 || z == 0 || x == nx - 1 || y == ny - 1 || z == nz - 1;
}

// The distance `i` voxels on from `distances`, distances lying STRIDE bytes
// apart (a finished field's packed ones, or those of 6-byte voxels).
template <long STRIDE>
inline int16_t distance_at(const char* distances, long i)
{
    int16_t d;
    std::memcpy(&d, distances + i * STRIDE, sizeof d);
    return d;
}

// Colours kept per tile of VOXEL_TILE voxels a side: a tile whose voxels
// all have one colour, but for the grid's outer layer in the blank colour,
// holds just that colour (own[t] null); any other holds its voxels'
// colours, x fastest within the tile. Most of a volume takes the colour of
// the surface nearest to it, and the outer layer is blank once transformed,
// so most tiles are one colour.
struct ColourTiles {
    int tiles[3] = {0, 0, 0};
    std::vector<uint32_t> uniform;
    std::vector<std::unique_ptr<uint32_t[]>> own;
};

// A read-only view, for the steps that only sample a volume; safe to share
// between threads. It reads a finished volume (its 16-bit distances in
// tiles, or packed, its colours in tiles) or voxels still being built (the
// distance and colour of each 6-byte voxel), with the same results.
struct FieldView {
    // Voxel 0's distance, then one every `stride` bytes; for tiled
    // distances, the tiles' offsets (stride 1).
    const char* distances = nullptr;
    int stride = sizeof(Voxel);
    TiledDistances tiled;  // its ranges set: the distances are tiled
    // Colours: tiles when tile_uniform is set, else the voxels' own colour
    // words (the 4 bytes after each distance).
    const uint32_t* tile_uniform = nullptr;
    const std::unique_ptr<uint32_t[]>* tile_own = nullptr;
    int tiles_x = 0, tiles_y = 0;
    int nx = 0, ny = 0, nz = 0;

    bool present() const { return distances != nullptr; }
    bool tiles() const { return tiled.ranges != nullptr; }
    int16_t distance_at(int x, int y, int z) const
    {
        if (tiles()) return tiled.at(x, y, z);
        return distance((static_cast<size_t>(z) * ny + y) * nx + x);
    }
    int16_t distance(size_t i) const
    {
        if (tiles()) {
            const size_t row = i / static_cast<size_t>(nx), x = i % static_cast<size_t>(nx);
            const size_t y = row % static_cast<size_t>(ny), z = row / static_cast<size_t>(ny);
            return tiled.at(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z));
        }
        int16_t d;
        std::memcpy(&d, distances + i * stride, sizeof d);
        return d;
    }
    uint32_t colour(int x, int y, int z) const
    {
        if (tile_uniform) {
            const size_t t = tile_index(tiles_x, tiles_y, x, y, z);
            const uint32_t* own = tile_own[t].get();
            if (!own) return on_outer_layer(x, y, z, nx, ny, nz) ? blank_colour() : tile_uniform[t];
            return own[tile_entry(x, y, z)];
        }
        uint32_t c;
        std::memcpy(&c, distances + ((static_cast<size_t>(z) * ny + y) * nx + x) * stride + sizeof(int16_t),
                    sizeof c);
        return c;
    }
};

inline VoxelGrid grid_of(Voxel* voxels, const int16_t dims[3]) { return {voxels, dims[0], dims[1], dims[2]}; }

// A view of voxels still being built (none: an empty view).
inline FieldView field_of(const Voxel* voxels, const int16_t dims[3])
{
    FieldView f;
    f.distances = reinterpret_cast<const char*>(voxels);
    f.nx = dims[0], f.ny = dims[1], f.nz = dims[2];
    return f;
}
inline FieldView field_of(const VoxelGrid& grid)
{
    FieldView f;
    f.distances = reinterpret_cast<const char*>(grid.voxels);
    f.nx = grid.nx, f.ny = grid.ny, f.nz = grid.nz;
    return f;
}

}  // namespace kestrane
