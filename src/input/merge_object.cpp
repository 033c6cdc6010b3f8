#include "input/scan_operations.h"

namespace kestrane {
void merge_object(const VoxelGrid& grid, const VoxelGrid& temporary)
{
    const size_t count = grid.size();
    for (size_t i = 0; i < count; ++i)
        if (temporary.voxels[i].distance > grid.voxels[i].distance) grid.voxels[i] = temporary.voxels[i];
}

}  // namespace kestrane
