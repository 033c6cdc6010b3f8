#include <new>

#include "shape/sphere_candidates.h"

namespace kestrane {
bool CandidateList::grow()
{
    if (capacity_limit != 0 && capacity() + CANDIDATE_BLOCK > capacity_limit) return false;
    try {
        std::unique_ptr<Sphere[]> block(new Sphere[CANDIDATE_BLOCK]);
        blocks.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

// Weighted discrete Laplacian, edge terms weighted 22/31 and corner terms
// 22/38, in 32-bit integers; strongly negative on the ridges.
template <long STRIDE>
int32_t ridge_measure(const char* distances, long c, long sy, long sz, int32_t l)
{
    int32_t f = 0, e = 0, k = 0;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int order = (dx != 0) + (dy != 0) + (dz != 0);
                int32_t d = distance_at<STRIDE>(distances, c + dz * sz + dy * sy + dx);
                if (order == 1) f += d;
                else if (order == 2) e += d;
                else if (order == 3) k += d;
            }
    return f + (22 * e) / 31 + (22 * k) / 38 - (264 * l) / 31 - (176 * l) / 38 - 6 * l;
}

template <long STRIDE>
bool scan_over(const FieldView& field, CandidateList& list)
{
    const int nx = field.nx, ny = field.ny, nz = field.nz;
    long sy = nx, sz = static_cast<long>(nx) * ny;
    for (int z = 1; z <= nz - 2; ++z)
        for (int y = 1; y <= ny - 2; ++y) {
            const long row = z * sz + y * sy;
            for (int x = 1; x <= nx - 2; ++x) {
                int32_t l = distance_at<STRIDE>(field.distances, row + x);
                if (l <= 0) continue;
                int32_t n = ridge_measure<STRIDE>(field.distances, row + x, sy, sz, l);
                if (!(n < -480 || (n < -180 && l > DISTANCE_UNITS))) continue;
                if (list.count == list.capacity() && !list.grow()) return false;
                list[list.count++] = Sphere{int16_t(x), int16_t(y), int16_t(z), int16_t(l), CANDIDATE_OPEN};
            }
        }
    return true;
}

}  // namespace

bool scan_candidates(const FieldView& field, CandidateList& list)
{
    if (field.stride == sizeof(int16_t)) return scan_over<sizeof(int16_t)>(field, list);
    return scan_over<sizeof(Voxel)>(field, list);
}

}  // namespace kestrane
