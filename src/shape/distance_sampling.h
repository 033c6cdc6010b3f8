#pragma once
// The trilinear read of a distance field at a real voxel position. Inline:
// the exact values and the bounds of every frame read it millions of times,
// and a point inside the inner box (nearly all of them) needs nothing else.
#include <cmath>
#include <cstdint>

#include "base/voxel_grid.h"
#include "shape/box_projection.h"
#include "shape/field_value.h"

namespace kestrane {
namespace sampling {

inline double lerp(double a, double b, double f) { return a + f * (b - a); }

// Trilinear distance at a point inside the inner box, over distances
// STRIDE bytes apart (a finished field's, or voxels').
template <long STRIDE>
inline double interpolate_over(const FieldView& field, double x, double y, double z)
{
    int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);
    double fx = x - ix, fy = y - iy, fz = z - iz;
    const long sx = 1, sy = field.nx, sz = static_cast<long>(field.nx) * field.ny;
    const char* c = field.distances + (iz * sz + iy * sy + ix) * STRIDE;
    auto d = [&](long offset) { return static_cast<double>(distance_at<STRIDE>(c, offset)); };
    double d00 = lerp(d(0), d(sx), fx);
    double d10 = lerp(d(sy), d(sy + sx), fx);
    double d01 = lerp(d(sz), d(sz + sx), fx);
    double d11 = lerp(d(sz + sy), d(sz + sy + sx), fx);
    return lerp(lerp(d00, d10, fy), lerp(d01, d11, fy), fz);
}

inline double interpolate(const FieldView& field, double x, double y, double z)
{
    if (field.stride == sizeof(int16_t)) return interpolate_over<sizeof(int16_t)>(field, x, y, z);
    return interpolate_over<sizeof(Voxel)>(field, x, y, z);
}

}  // namespace sampling

// sample_distance at a finite point outside the inner box of a grid of at
// least 3 voxels a side.
int16_t sample_distance_beyond_box(const FieldView& field, double x, double y, double z);

// Four times the distance at a real voxel position, -31999..31999. Points
// outside the inner box read the box surface plus the chamfer distance to it;
// a view without voxels and a non-finite point read as far outside.
inline int16_t sample_distance(const FieldView& field, double x, double y, double z)
{
    const int nx = field.nx, ny = field.ny, nz = field.nz;
    if (!field.present() || nx < 3 || ny < 3 || nz < 3) return -FIELD_LIMIT;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return -FIELD_LIMIT;
    if (inside_inner_box(x, y, z, nx, ny, nz)) return field_value(4.0 * sampling::interpolate(field, x, y, z));
    return sample_distance_beyond_box(field, x, y, z);
}

}  // namespace kestrane
