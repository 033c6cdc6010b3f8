#pragma once
// The isosurface lattice over a volume: body-centred, points (i, j, k) with
// i + j + k even at voxel position (i R, j R 0.7071, k R) for the resolution
// R. Both the load and a later change of resolution count it here.
#include <cmath>
#include <cstdint>

namespace kestrane {
// Rows of the lattice step 0.7071 R voxels along y.
constexpr double LATTICE_Y_FACTOR = 0.7071;
// Grid and lattice counts are kept in signed 16 bits.
constexpr double GRID_LIMIT = 32767.0;

// Lattice counts over a grid of volume_dims voxels at resolution r (at least
// 1): one point beyond the last voxel on each axis. False when a count does
// not fit in 16 bits.
inline bool lattice_counts(const int volume_dims[3], int r, int out[3])
{
    double rows = std::trunc((volume_dims[1] - 1) / (r * LATTICE_Y_FACTOR)) + 2;
    if (rows > GRID_LIMIT) return false;
    out[0] = (volume_dims[0] - 1) / r + 2;
    out[1] = static_cast<int>(rows);
    out[2] = (volume_dims[2] - 1) / r + 2;
    return true;
}

}  // namespace kestrane
