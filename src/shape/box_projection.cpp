#include "shape/box_projection.h"

#include <algorithm>
#include <cmath>

namespace kestrane {
namespace {

// Position along one axis as -0.5 .. 0.5 over the inner box. A box one voxel
// thick has no span: points off it then count as infinitely far along that
// axis, which is the limit of the thin-box case.
double normalised(double a, int n)
{
    int span = n - 3;
    if (span > 0) return (a - 1.0) / span - 0.5;
    if (a < 1.0) return -HUGE_VAL;
    if (a > 1.0) return HUGE_VAL;
    return 0.0;
}

double denormalised(double u, int n)
{
    int span = n - 3;
    double a = span > 0 ? (u + 0.5) * span + 1.0 : 1.0;
    return std::clamp(a, 1.0, static_cast<double>(n - 2));
}

}  // namespace

BoxPoint project_to_inner_box(double x, double y, double z, int nx, int ny, int nz)
{
    double u[3] = {normalised(x, nx), normalised(y, ny), normalised(z, nz)};
    double a[3] = {std::fabs(u[0]), std::fabs(u[1]), std::fabs(u[2])};
    int axis;
    if (a[0] > a[1] && a[0] > a[2]) axis = 0;
    else if (a[1] > a[2]) axis = 1;
    else axis = 2;
    double target = u[axis] < 0 ? -0.5 : 0.5;
    if (std::isinf(u[axis])) {
        // Only a one-voxel axis gives an infinite coordinate: the others
        // shrink to the centre, infinite ones keep their side.
        for (int i = 0; i < 3; ++i) u[i] = std::isinf(u[i]) ? (u[i] < 0 ? -0.5 : 0.5) : 0.0;
    } else {
        double f = target / u[axis];
        for (int i = 0; i < 3; ++i) u[i] *= f;
        u[axis] = target;
    }
    return {denormalised(u[0], nx), denormalised(u[1], ny), denormalised(u[2], nz)};
}

}  // namespace kestrane
