#pragma once
// The signed chamfer distance transform of a volume and the reads of the
// finished distance field.
//
// distance_transform rewrites a grid in place (no other memory than a few
// row buffers); cost linear in the voxels. The reads take a read-only view
// and are safe to call from several threads at once.
#include <cmath>
#include <cstdint>
#include <utility>

#include "base/voxel_grid.h"

namespace kestrane {
constexpr int16_t CHAMFER_FACE = 22;
constexpr int16_t CHAMFER_EDGE = 31;
constexpr int16_t CHAMFER_CORNER = 38;

// Signed chamfer distances, positive inside, from the scan-converted values.
// A grid under 3 voxels thick is all outer layer.
void distance_transform(const VoxelGrid& grid);
// Bytes of the working rows and slices distance_transform holds for a grid
// of nx x ny voxels per slice.
int64_t distance_transform_working_bytes(int nx, int ny);
// 22 a + 9 b + 7 c for the sorted absolute offsets a >= b >= c (inline: the
// sphere loops call it for every pair).
inline double chamfer_length(double dx, double dy, double dz)
{
    double a = std::fabs(dx), b = std::fabs(dy), c = std::fabs(dz);
    if (a < b) std::swap(a, b);
    if (b < c) std::swap(b, c);
    if (a < b) std::swap(a, b);
    return CHAMFER_FACE * a + (CHAMFER_EDGE - CHAMFER_FACE) * b + (CHAMFER_CORNER - CHAMFER_EDGE) * c;
}
// chamfer_length of offsets already made non-negative, its exchanges as
// minima and maxima: the same value, without branches, for loops that run
// in vector lanes.
[[gnu::always_inline]] inline double ordered_chamfer_length(double a, double b, double c)
{
    double t = a < b ? b : a;
    b = a < b ? a : b;
    a = t;
    t = b < c ? c : b;
    c = b < c ? b : c;
    b = t;
    t = a < b ? b : a;
    b = a < b ? a : b;
    a = t;
    return CHAMFER_FACE * a + (CHAMFER_EDGE - CHAMFER_FACE) * b + (CHAMFER_CORNER - CHAMFER_EDGE) * c;
}
}  // namespace kestrane

#include "shape/distance_sampling.h"

