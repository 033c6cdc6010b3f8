#pragma once
// Views of a voxel array as a grid of nx x ny x nz voxels, x fastest, then y,
// then z: voxel (x, y, z) has index (z ny + y) nx + x. The views own nothing.
#include <cstddef>
#include <cstdint>

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

// A read-only view, for the steps that only sample a finished volume; safe
// to share between threads.
struct FieldView {
    const Voxel* voxels = nullptr;
    int nx = 0, ny = 0, nz = 0;
};

inline VoxelGrid grid_of(Voxel* voxels, const int16_t dims[3]) { return {voxels, dims[0], dims[1], dims[2]}; }
inline FieldView field_of(const Voxel* voxels, const int16_t dims[3]) { return {voxels, dims[0], dims[1], dims[2]}; }

}  // namespace kestrane
