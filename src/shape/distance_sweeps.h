#pragma once
// The pieces of the distance transform on a bare voxel grid of nx x ny x nz
// (each count at least 3), rewritten in place, so that tests and benchmarks
// can run them on grids of their own. Linear in the voxels.
#include <cstdint>

#include "base/records.h"

namespace kestrane {
// The pieces of the distance transform, on a bare voxel grid of nx x ny x nz
// (each count at least 3), so that tests and benchmarks can run them on
// grids of their own.

// Every voxel of the outer layer becomes -FAR_DISTANCE and white.
void set_outer_layer(Voxel* voxels, int nx, int ny, int nz);

// The plain voxel-by-voxel forward and backward sweeps. They are the
// reference the fast sweeps must match bit for bit.
void direct_forward_sweep(Voxel* voxels, int nx, int ny, int nz);
void direct_backward_sweep(Voxel* voxels, int nx, int ny, int nz);
// The forward sweep from interior row (y, z) on.
void direct_forward_sweep_from(Voxel* voxels, int nx, int ny, int nz, int y, int z);

// Outer layer and both sweeps, voxel by voxel.
void direct_distance_transform(Voxel* voxels, int nx, int ny, int nz);

// Outer layer and both sweeps, a row at a time; same results as the direct
// version, bit for bit, distances and colours. vector_rows off: the rows are
// scanned the plain way even where the processor has the vector way (tests).
void fast_distance_transform(Voxel* voxels, int nx, int ny, int nz, bool vector_rows = true);

}  // namespace kestrane
