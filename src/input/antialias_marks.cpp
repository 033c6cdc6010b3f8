#include "input/antialias_marks.h"

#include <algorithm>
#include <new>

namespace kestrane {

bool make_tie_breaks(TieBreaks& tie, int nx, int ny, int nz)
{
    tie = TieBreaks{};
    if (nx <= 0 || ny <= 0 || nz <= 0) return false;
    tie.nx = nx, tie.ny = ny, tie.nz = nz;
    tie.tiles[0] = tiles_along(nx), tie.tiles[1] = tiles_along(ny), tie.tiles[2] = tiles_along(nz);
    try {
        tie.tile.resize(static_cast<size_t>(tie.tiles[0]) * tie.tiles[1] * tie.tiles[2]);
    } catch (const std::bad_alloc&) {
        tie = TieBreaks{};
        return false;
    }
    return true;
}

void clear_tie_breaks(TieBreaks& tie)
{
    for (std::unique_ptr<int16_t[]>& t : tie.tile) t.reset();
    tie.out_of_memory = false;
}

int16_t* tie_break_slot(TieBreaks& tie, int x, int y, int z)
{
    std::unique_ptr<int16_t[]>& t = tie.tile[tile_index(tie.tiles[0], tie.tiles[1], x, y, z)];
    if (!t) {
        t.reset(new (std::nothrow) int16_t[TILE_ENTRIES]());
        if (!t) {
            tie.out_of_memory = true;
            return nullptr;
        }
    }
    return t.get() + tile_entry(x, y, z);
}

bool make_row_sides(RowSides& sides, int nx, int ny, int nz)
{
    sides = RowSides{};
    if (nx <= 0 || ny <= 0 || nz <= 0) return false;
    sides.nx = nx, sides.ny = ny, sides.nz = nz;
    sides.row_words = (static_cast<size_t>(nx) + 63) / 64;
    try {
        sides.bits.assign(sides.row_words * ny * nz, 0);
    } catch (const std::bad_alloc&) {
        sides = RowSides{};
        return false;
    }
    return true;
}

void clear_row_sides(RowSides& sides) { std::fill(sides.bits.begin(), sides.bits.end(), uint64_t{0}); }

}  // namespace kestrane
