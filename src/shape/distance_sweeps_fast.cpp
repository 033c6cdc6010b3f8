#include "shape/distance_sweeps.h"

void fast_distance_transform(Voxel* voxels, int nx, int ny, int nz)
{
    direct_distance_transform(voxels, nx, ny, nz);
}
