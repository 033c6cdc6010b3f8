#include <algorithm>
#include <cmath>

#include "core/app_state.h"
#include "shape/box_projection.h"
#include "shape/distance_transform.h"

namespace {

constexpr int16_t FIELD_LIMIT = 31999;

// Four times a distance, limited to the field's range; non-numbers read as
// far outside.
int16_t field_value(double g)
{
    double f = 4.0 * g;
    if (!(f > -32000.0)) return -FIELD_LIMIT;
    if (f >= 32000.0) return FIELD_LIMIT;
    return static_cast<int16_t>(f);  // truncates toward zero
}

double lerp(double a, double b, double f) { return a + f * (b - a); }

// Trilinear distance at a point inside the inner box.
double interpolate(const Voxel* voxels, int nx, int ny, double x, double y, double z)
{
    int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);
    double fx = x - ix, fy = y - iy, fz = z - iz;
    long sx = 1, sy = nx, sz = static_cast<long>(nx) * ny;
    const Voxel* c = voxels + iz * sz + iy * sy + ix;
    auto d = [&](long offset) { return static_cast<double>(c[offset].distance); };
    double d00 = lerp(d(0), d(sx), fx);
    double d10 = lerp(d(sy), d(sy + sx), fx);
    double d01 = lerp(d(sz), d(sz + sx), fx);
    double d11 = lerp(d(sz + sy), d(sz + sy + sx), fx);
    return lerp(lerp(d00, d10, fy), lerp(d01, d11, fy), fz);
}

}  // namespace

double chamfer_length(double dx, double dy, double dz)
{
    double a = std::fabs(dx), b = std::fabs(dy), c = std::fabs(dz);
    if (a < b) std::swap(a, b);
    if (b < c) std::swap(b, c);
    if (a < b) std::swap(a, b);
    return CHAMFER_FACE * a + (CHAMFER_EDGE - CHAMFER_FACE) * b + (CHAMFER_CORNER - CHAMFER_EDGE) * c;
}

// A volume without a grid (or with no inner box) and a point with a
// non-finite coordinate read as far outside.
int16_t sample_distance(int v, double x, double y, double z)
{
    const Voxel* voxels = app.volumes[v].voxels.get();
    int nx = app.volume_dims[0], ny = app.volume_dims[1], nz = app.volume_dims[2];
    if (!voxels || nx < 3 || ny < 3 || nz < 3) return -FIELD_LIMIT;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return -FIELD_LIMIT;
    if (inside_inner_box(x, y, z, nx, ny, nz)) return field_value(interpolate(voxels, nx, ny, x, y, z));
    BoxPoint p = project_to_inner_box(x, y, z, nx, ny, nz);
    int inner = field_value(interpolate(voxels, nx, ny, p.x, p.y, p.z)) / 4;
    return field_value(inner - chamfer_length(x - p.x, y - p.y, z - p.z));
}
