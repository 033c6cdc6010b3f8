#pragma once
#include <cstddef>
#include <cstdint>

#include "core/app_state.h"

// A view of nx*ny*nz voxels, x fastest, then y, then z.
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

// The common grid size of both volumes over the given voxels.
inline VoxelGrid grid_of(Voxel* voxels)
{
    return {voxels, app.volume_dims[0], app.volume_dims[1], app.volume_dims[2]};
}
