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

// The same over tiled distances: each corner from its tile, which along an
// axis is the next one only where the read starts on a tile's last voxel.
inline double interpolate_tiled(const FieldView& field, double x, double y, double z)
{
    int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);
    double fx = x - ix, fy = y - iy, fz = z - iz;
    constexpr int last = DISTANCE_TILE - 1, sy = DISTANCE_TILE, sz = DISTANCE_TILE * DISTANCE_TILE;
    const TiledDistances& t = field.tiled;
    const size_t t0 = distance_tile_index(t.tiles_x, t.tiles_y, ix, iy, iz);
    const int e0 = distance_tile_entry(ix, iy, iz);
    const bool cx = (ix & last) == last, cy = (iy & last) == last, cz = (iz & last) == last;
    const size_t tile_step[3] = {cx ? 1u : 0u, cy ? static_cast<size_t>(t.tiles_x) : 0u,
                                 cz ? static_cast<size_t>(t.tiles_x) * t.tiles_y : 0u};
    const int entry_step[3] = {cx ? -last : 1, cy ? -last * sy : sy, cz ? -last * sz : sz};
    double c[8];
    for (int k = 0; k < 8; ++k) {
        const int bx = k & 1, by = k >> 1 & 1, bz = k >> 2;
        const size_t tile = t0 + bx * tile_step[0] + by * tile_step[1] + bz * tile_step[2];
        const int e = e0 + bx * entry_step[0] + by * entry_step[1] + bz * entry_step[2];
        c[k] = static_cast<double>(t.in_tile(tile, e));
    }
    double d00 = lerp(c[0], c[1], fx);
    double d10 = lerp(c[2], c[3], fx);
    double d01 = lerp(c[4], c[5], fx);
    double d11 = lerp(c[6], c[7], fx);
    return lerp(lerp(d00, d10, fy), lerp(d01, d11, fy), fz);
}

inline double interpolate(const FieldView& field, double x, double y, double z)
{
    if (field.tiles()) return interpolate_tiled(field, x, y, z);
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

// sample_distance at a point whose x and z are whole voxel positions, as an
// unwarped lattice point's are: there the trilinear read weighs the voxels
// along x and z by 0 and 1, so the read between the two voxels along y alone
// is the very same value (the rest is checked and read the full way).
inline int16_t sample_distance_whole_xz(const FieldView& field, double x, double y, double z)
{
    const int nx = field.nx, ny = field.ny, nz = field.nz;
    const int ix = static_cast<int>(x), iz = static_cast<int>(z);
    if (!field.present() || nx < 3 || ny < 3 || nz < 3 || !inside_inner_box(x, y, z, nx, ny, nz) || x != ix ||
        z != iz)
        return sample_distance(field, x, y, z);
    const int iy = static_cast<int>(y);
    double below, above;
    if (field.tiles()) {
        below = field.tiled.at(ix, iy, iz);
        above = field.tiled.at(ix, iy + 1, iz);
    } else {
        const long at = (static_cast<long>(iz) * ny + iy) * nx + ix;
        if (field.stride == sizeof(int16_t)) {
            below = distance_at<sizeof(int16_t)>(field.distances, at);
            above = distance_at<sizeof(int16_t)>(field.distances, at + nx);
        } else {
            below = distance_at<sizeof(Voxel)>(field.distances, at);
            above = distance_at<sizeof(Voxel)>(field.distances, at + nx);
        }
    }
    return field_value(4.0 * sampling::lerp(below, above, y - iy));
}

}  // namespace kestrane
