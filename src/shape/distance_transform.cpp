#include "shape/distance_transform.h"

#include "shape/distance_sweeps.h"

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
