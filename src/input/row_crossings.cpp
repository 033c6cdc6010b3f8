#include <algorithm>
#include <cmath>

#include "input/scan_operations.h"

namespace kestrane {
// Every crossing of a face with a row (y = j, z = k) of the grid, under one
// half-open rule: a plane or row exactly at a vertex or edge counts as lying
// just below it. So a horizontal face, a face in the plane of a row and a
// vertex or edge touching a row cross nothing or cross once consistently
// with the faces around them, and a closed surface crosses every row an even
// number of times.

namespace {

// The whole planes or rows strictly above `low` and up to `high`, clipped to
// 0..count-1; first > last when there are none. Floor, not truncation, so a
// coordinate below 0 behaves like any other.
void span(double low, double high, int count, int& first, int& last)
{
    double a = std::max(std::floor(low) + 1.0, 0.0);
    double b = std::min(std::floor(high), count - 1.0);
    if (a > b) {
        first = 1;
        last = 0;
        return;
    }
    first = static_cast<int>(a);
    last = static_cast<int>(b);
}

double at_plane(double lower_value, double upper_value, double lower_z, double upper_z, double k)
{
    return (upper_value * (k - lower_z) + lower_value * (upper_z - k)) / (upper_z - lower_z);
}

// The crossings between the edge a -> a_up of one chain and b -> b_up of the other.
void cross_planes(const VoxelGrid& grid, const Vector3& a, const Vector3& a_up, const Vector3& b,
                  const Vector3& b_up, const RowCrossingVisitor& visit)
{
    int k_first, k_last;
    span(std::max(a.z, b.z), std::min(a_up.z, b_up.z), grid.nz, k_first, k_last);
    for (int k = k_first; k <= k_last; ++k) {
        double xa = at_plane(a.x, a_up.x, a.z, a_up.z, k);
        double ya = at_plane(a.y, a_up.y, a.z, a_up.z, k);
        double xb = at_plane(b.x, b_up.x, b.z, b_up.z, k);
        double yb = at_plane(b.y, b_up.y, b.z, b_up.z, k);
        int j_first, j_last;
        span(std::min(ya, yb), std::max(ya, yb), grid.ny, j_first, j_last);
        for (int j = j_first; j <= j_last; ++j) {
            double x = ((yb - j) * xa + (j - ya) * xb) / (yb - ya);
            visit.crossing(visit.context, x, j, k);
        }
    }
}

}  // namespace

void for_each_row_crossing(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                           const RowCrossingVisitor& visit)
{
    if (n < 3) return;
    auto corner = [&](int i) -> const Vector3& { return vertices[indices[i]]; };
    int bottom = 0;
    for (int i = 1; i < n; ++i)
        if (corner(i).z < corner(bottom).z) bottom = i;
    // Chain A walks backwards round the loop, chain B forwards.
    int a = bottom, a_up = (bottom - 1 + n) % n;
    int b = bottom, b_up = (bottom + 1) % n;
    for (;;) {
        cross_planes(grid, corner(a), corner(a_up), corner(b), corner(b_up), visit);
        if (a_up == b_up) return;
        if (corner(b_up).z > corner(a_up).z) {
            a = a_up;
            a_up = (a_up - 1 + n) % n;
        } else {
            b = b_up;
            b_up = (b_up + 1) % n;
        }
    }
}

}  // namespace kestrane
