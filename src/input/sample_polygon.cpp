#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "input/scan_operations.h"

namespace kestrane {
namespace {

// Voxels from trunc(low) to trunc(high), each held to 0..count-1 (clamped
// before converting, so a far vertex cannot overflow the integer).
void voxel_range(double low, double high, int count, int& first, int& last)
{
    first = static_cast<int>(std::trunc(std::min(std::max(low, 0.0), count - 1.0)));
    last = static_cast<int>(std::trunc(std::min(std::max(high, 0.0), count - 1.0)));
}

bool is_zero(const Vector3& v) { return v.x == 0.0 && v.y == 0.0 && v.z == 0.0; }

}  // namespace

void sample_polygon(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                    uint32_t colour, double limit, TieBreaks& tie_break)
{
    if (n < 3) return;
    auto corner = [&](int i) -> const Vector3& { return vertices[indices[i]]; };
    const Vector3& p0 = corner(0);
    const Vector3 side = vec_sub(p0, corner(1));
    // The first corner that spans a plane with the first edge fixes the normal.
    Vector3 across{0, 0, 0};
    int k = 2;
    for (; k < n; ++k) {
        across = vec_cross(vec_sub(p0, corner(k)), side);
        if (!is_zero(across)) break;
    }
    if (k == n) return;
    const Vector3 normal = vec_normalise(across);

    Vector3 low = p0, high = p0;
    for (int i = 1; i < n; ++i) {
        const Vector3& p = corner(i);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    int x0, x1, y0, y1, z0, z1;
    voxel_range(low.x - limit + 1.0, high.x + limit, grid.nx, x0, x1);
    voxel_range(low.y - limit + 1.0, high.y + limit, grid.ny, y0, y1);
    voxel_range(low.z - limit + 1.0, high.z + limit, grid.nz, z0, z1);
    const FaceGeometry face = face_geometry(n, vertices, indices, normal);

    for (int z = z0; z <= z1; ++z)
        for (int y = y0; y <= y1; ++y) {
            // Along the row the distance to the face's plane changes
            // linearly: only the voxels near where it is small can be within
            // the limit (a voxel of room either side against rounding).
            int first = x0, last = x1;
            if (std::fabs(normal.x) > 1e-6) {
                const double rest = (p0.y - y) * normal.y + (p0.z - z) * normal.z;
                const double centre = p0.x + rest / normal.x, reach = limit / std::fabs(normal.x) + 1.0;
                if (std::isfinite(centre - reach) && std::isfinite(centre + reach)) {
                    first = std::max(first, static_cast<int>(std::max(std::floor(centre - reach), x0 - 1.0)));
                    last = std::min(last, static_cast<int>(std::min(std::ceil(centre + reach), x1 + 1.0)));
                }
            }
            for (int x = first; x <= last; ++x) {
                int16_t face_on = 0;
                double d = face_distance(face, Vector3{double(x), double(y), double(z)}, limit, face_on);
                if (std::isinf(d)) continue;
                // A centre exactly on the face is the nearest a voxel can be.
                int value = d == 0.0 ? ON_SURFACE : static_cast<int>(std::trunc(DISTANCE_UNITS * d));
                if (value == 0) value = d > 0.0 ? 1 : -1;
                Voxel& voxel = grid.at(x, y, z);
                int stored = voxel.distance == ON_SURFACE ? 0 : std::abs(voxel.distance);
                int magnitude = value == ON_SURFACE ? 0 : std::abs(value);
                const int16_t tie = tie_break_at(tie_break, x, y, z);
                if (voxel.distance == 0 || magnitude < stored || (magnitude == stored && face_on > tie)) {
                    voxel.distance = static_cast<int16_t>(value);
                    voxel.colour = colour;
                    // An entry stays 0 without a tile of its own.
                    if (face_on != tie) {
                        int16_t* slot = tie_break_slot(tie_break, x, y, z);
                        if (slot) *slot = face_on;
                    }
                }
            }
        }
}

}  // namespace kestrane
