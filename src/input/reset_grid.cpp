#include "base/colour.h"
#include "input/scan_operations.h"

void reset_grid(const VoxelGrid& grid, int16_t* tie_break, int16_t value)
{
    const Voxel blank{value, blank_colour()};
    const size_t count = grid.size();
    for (size_t i = 0; i < count; ++i) grid.voxels[i] = blank;
    if (tie_break)
        for (size_t i = 0; i < count; ++i) tie_break[i] = 0;
}
