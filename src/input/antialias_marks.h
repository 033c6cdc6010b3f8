#pragma once
// What antialiased conversion keeps beside the grid while it draws an
// object: for each voxel, which face its distance came from (to break ties
// between faces at the same distance) and whether a row crossing toggles
// its side. Both are set only near the surface, so the tie breaks are kept
// in tiles made on their first write (0 elsewhere) and the sides in bits,
// instead of the 3 bytes a voxel they took as plain arrays.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/voxel_grid.h"

namespace kestrane {
struct TieBreaks {
    int nx = 0, ny = 0, nz = 0;
    int tiles[3] = {0, 0, 0};
    std::vector<std::unique_ptr<int16_t[]>> tile;
    bool out_of_memory = false;  // a tile could not be made
};

// A table for a grid of nx x ny x nz voxels, every entry 0; false when
// there is no memory for the table.
bool make_tie_breaks(TieBreaks& tie, int nx, int ny, int nz);
// Every entry back to 0.
void clear_tie_breaks(TieBreaks& tie);
// The entry's slot, its tile made on first use (null, with out_of_memory
// set, when it cannot be).
int16_t* tie_break_slot(TieBreaks& tie, int x, int y, int z);

inline int16_t tie_break_at(const TieBreaks& tie, int x, int y, int z)
{
    const int16_t* t = tie.tile[tile_index(tie.tiles[0], tie.tiles[1], x, y, z)].get();
    return t ? t[tile_entry(x, y, z)] : 0;
}

// One bit per voxel, rows of whole 64-bit words.
struct RowSides {
    int nx = 0, ny = 0, nz = 0;
    size_t row_words = 0;
    std::vector<uint64_t> bits;
};

bool make_row_sides(RowSides& sides, int nx, int ny, int nz);
void clear_row_sides(RowSides& sides);
inline const uint64_t* row_side_bits(const RowSides& sides, int y, int z)
{
    return sides.bits.data() + (static_cast<size_t>(z) * sides.ny + y) * sides.row_words;
}
inline void toggle_row_side(RowSides& sides, int x, int y, int z)
{
    sides.bits[(static_cast<size_t>(z) * sides.ny + y) * sides.row_words + x / 64] ^= uint64_t{1} << (x % 64);
}
inline int row_side(const uint64_t* row, int x) { return static_cast<int>((row[x / 64] >> (x % 64)) & 1); }

}  // namespace kestrane
