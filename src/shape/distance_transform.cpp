#include "shape/distance_transform.h"

#include "shape/distance_sweeps.h"

namespace kestrane {
int64_t distance_transform_working_bytes(int nx, int ny)
{
    // Two slices and a few rows of magnitudes and colours.
    const int64_t slice = static_cast<int64_t>(nx) * ny;
    return (2 * slice + 8 * (static_cast<int64_t>(nx) + 64)) * static_cast<int64_t>(sizeof(int16_t) + sizeof(uint32_t));
}

void distance_transform(const VoxelGrid& grid)
{
    const int nx = grid.nx, ny = grid.ny, nz = grid.nz;
    if (!grid.voxels || nx <= 0 || ny <= 0 || nz <= 0) return;
    if (nx < 3 || ny < 3 || nz < 3) {
        set_outer_layer(grid.voxels, nx, ny, nz);
        return;
    }
    fast_distance_transform(grid.voxels, nx, ny, nz);
}

}  // namespace kestrane
