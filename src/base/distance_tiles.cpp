#include "base/distance_tiles.h"

namespace kestrane {
int64_t distance_tiles_bytes(int nx, int ny, int nz)
{
    if (nx <= 0 || ny <= 0 || nz <= 0) return 0;
    const int64_t along[3] = {distance_tiles_along(nx), distance_tiles_along(ny), distance_tiles_along(nz)};
    const int64_t tiles = along[0] * along[1] * along[2];
    int64_t inner = 1;
    for (int64_t n : along) inner *= n > 2 ? n - 2 : 0;
    const int64_t wide = (tiles - inner) * DISTANCE_TILE_ENTRIES * static_cast<int64_t>(sizeof(int16_t));
    return tiles * (DISTANCE_TILE_ENTRIES + static_cast<int64_t>(sizeof(TileRange))) + wide;
}

void size_distance_tiles(DistanceTiles& t, int nx, int ny, int nz)
{
    t = DistanceTiles{};
    t.tiles[0] = distance_tiles_along(nx), t.tiles[1] = distance_tiles_along(ny), t.tiles[2] = distance_tiles_along(nz);
    const size_t tiles = static_cast<size_t>(t.tiles[0]) * t.tiles[1] * t.tiles[2];
    t.ranges.assign(tiles, TileRange{32767, -32768});
    t.offsets.assign(tiles * DISTANCE_TILE_ENTRIES, 0);
}

}  // namespace kestrane
