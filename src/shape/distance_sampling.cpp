#include <algorithm>
#include <cmath>

#include "shape/box_projection.h"
#include "shape/distance_transform.h"
#include "shape/field_value.h"

namespace kestrane {
namespace {

double lerp(double a, double b, double f) { return a + f * (b - a); }

// Trilinear distance at a point inside the inner box, over distances
// STRIDE bytes apart (a finished field's, or voxels').
template <long STRIDE>
double interpolate_over(const FieldView& field, double x, double y, double z)
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

double interpolate(const FieldView& field, double x, double y, double z)
{
    if (field.stride == sizeof(int16_t)) return interpolate_over<sizeof(int16_t)>(field, x, y, z);
    return interpolate_over<sizeof(Voxel)>(field, x, y, z);
}

}  // namespace

int16_t sample_distance(const FieldView& field, double x, double y, double z)
{
    const int nx = field.nx, ny = field.ny, nz = field.nz;
    if (!field.present() || nx < 3 || ny < 3 || nz < 3) return -FIELD_LIMIT;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return -FIELD_LIMIT;
    if (inside_inner_box(x, y, z, nx, ny, nz)) return field_value(4.0 * interpolate(field, x, y, z));
    BoxPoint p = project_to_inner_box(x, y, z, nx, ny, nz);
    int inner = field_value(4.0 * interpolate(field, p.x, p.y, p.z)) / 4;
    return field_value(4.0 * (inner - chamfer_length(x - p.x, y - p.y, z - p.z)));
}

}  // namespace kestrane
