#include <algorithm>
#include <cstring>

#include "base/colour.h"
#include "input/scan_operations.h"

namespace kestrane {
void reset_grid(const VoxelGrid& grid, TieBreaks* tie_break, int16_t value)
{
    const size_t count = grid.size();
    if (count == 0) return;
    // One row by hand, the rest copied from it.
    const Voxel blank{value, blank_colour()};
    const size_t row = std::min(count, static_cast<size_t>(grid.nx > 0 ? grid.nx : 1));
    for (size_t i = 0; i < row; ++i) grid.voxels[i] = blank;
    for (size_t i = row; i < count; i += row) std::memcpy(grid.voxels + i, grid.voxels, std::min(row, count - i) * sizeof(Voxel));
    if (tie_break) clear_tie_breaks(*tie_break);
}

}  // namespace kestrane
