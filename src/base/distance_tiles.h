#pragma once
// A finished field's 16-bit distances in tiles of 4 voxels a side, a byte a
// voxel: each tile holds its least and greatest distance, and its voxels as
// offsets from the least. Within the grid a chamfer field changes by at most
// 38 from a voxel to its neighbour, so across a tile (3 steps an axis) by at
// most 114 and the offsets fit a byte. A tile whose distances spread wider
// keeps them whole, 2 bytes a voxel, beside the others: those on the grid's
// outer layer, which holds the far-outside distance (2.5% of the tiles of a
// 512-point grid), and any of a field made otherwise. The reads give back
// exactly the distances the tiles were made from.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestrane {
constexpr int DISTANCE_TILE = 4;
constexpr int DISTANCE_TILE_ENTRIES = DISTANCE_TILE * DISTANCE_TILE * DISTANCE_TILE;
// Offsets this far apart or more do not fit a byte: the tile is kept whole.
constexpr int WIDEST_OFFSET = 255;

struct TileRange {
    int16_t lo, hi;
};

inline int distance_tiles_along(int n) { return (n + DISTANCE_TILE - 1) / DISTANCE_TILE; }
// Voxel (x, y, z)'s place within its tile, x fastest.
inline int distance_tile_entry(int x, int y, int z)
{
    return ((z & (DISTANCE_TILE - 1)) * DISTANCE_TILE + (y & (DISTANCE_TILE - 1))) * DISTANCE_TILE +
           (x & (DISTANCE_TILE - 1));
}
inline size_t distance_tile_index(int tiles_x, int tiles_y, int x, int y, int z)
{
    return (static_cast<size_t>(z / DISTANCE_TILE) * tiles_y + y / DISTANCE_TILE) * tiles_x + x / DISTANCE_TILE;
}
inline bool wide_tile(TileRange r) { return r.hi - r.lo > WIDEST_OFFSET; }

// What a read of the tiles needs; the arrays belong to a DistanceTiles.
struct TiledDistances {
    const TileRange* ranges = nullptr;
    // DISTANCE_TILE_ENTRIES a tile, tile after tile; a wide tile's first 4
    // bytes hold its place among the wide ones instead.
    const uint8_t* offsets = nullptr;
    const int16_t* wide = nullptr;  // DISTANCE_TILE_ENTRIES a wide tile
    int tiles_x = 0, tiles_y = 0;

    int16_t wide_distance(size_t tile, int entry) const
    {
        uint32_t place;
        std::memcpy(&place, offsets + tile * DISTANCE_TILE_ENTRIES, sizeof place);
        return wide[static_cast<size_t>(place) * DISTANCE_TILE_ENTRIES + entry];
    }
    // Row (y, z) of a grid nx voxels wide, into out.
    void row(int y, int z, int nx, int16_t* out) const
    {
        const size_t along = (static_cast<size_t>(z / DISTANCE_TILE) * tiles_y + y / DISTANCE_TILE) * tiles_x;
        const int first = distance_tile_entry(0, y, z);
        for (int x0 = 0, tx = 0; x0 < nx; x0 += DISTANCE_TILE, ++tx) {
            const size_t t = along + static_cast<size_t>(tx);
            const TileRange r = ranges[t];
            const int n = nx - x0 < DISTANCE_TILE ? nx - x0 : DISTANCE_TILE;
            if (wide_tile(r)) {
                for (int k = 0; k < n; ++k) out[x0 + k] = wide_distance(t, first + k);
            } else {
                const uint8_t* o = offsets + t * DISTANCE_TILE_ENTRIES + first;
                for (int k = 0; k < n; ++k) out[x0 + k] = static_cast<int16_t>(r.lo + o[k]);
            }
        }
    }
    // The distance at `entry` of tile `tile`.
    int16_t in_tile(size_t tile, int entry) const
    {
        const TileRange r = ranges[tile];
        if (wide_tile(r)) return wide_distance(tile, entry);
        return static_cast<int16_t>(r.lo + offsets[tile * DISTANCE_TILE_ENTRIES + entry]);
    }
    int16_t at(int x, int y, int z) const
    {
        return in_tile(distance_tile_index(tiles_x, tiles_y, x, y, z), distance_tile_entry(x, y, z));
    }
};

struct DistanceTiles {
    int tiles[3] = {0, 0, 0};
    std::vector<TileRange> ranges;
    std::vector<uint8_t> offsets;
    std::vector<int16_t> wide;

    explicit operator bool() const { return !offsets.empty(); }
    TiledDistances reads() const
    {
        return {ranges.data(), offsets.data(), wide.data(), tiles[0], tiles[1]};
    }
    int64_t bytes() const
    {
        return static_cast<int64_t>(ranges.size() * sizeof(TileRange) + offsets.size() + wide.size() * sizeof(int16_t));
    }
};

// Bytes of the tiles of an nx x ny x nz chamfer field: wide only on the
// outer layer.
int64_t distance_tiles_bytes(int nx, int ny, int nz);

// Sizes tiles for an nx x ny x nz grid, every tile's range empty and no
// wide tiles yet. Throws std::bad_alloc.
void size_distance_tiles(DistanceTiles& tiles, int nx, int ny, int nz);

}  // namespace kestrane
