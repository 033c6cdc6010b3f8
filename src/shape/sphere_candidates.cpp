#include <cstring>
#include <new>
#include <vector>

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

// The candidates of slice z, distances STRIDE bytes apart from
// `distances`, a grid of nx x ny voxels a slice, slice z at `centre`.
template <long STRIDE>
bool scan_slice(const char* distances, int nx, int ny, long centre, int z, CandidateList& list)
{
    const long sy = nx, sz = static_cast<long>(nx) * ny;
    for (int y = 1; y <= ny - 2; ++y) {
        const long row = centre + y * sy;
        for (int x = 1; x <= nx - 2; ++x) {
            int32_t l = distance_at<STRIDE>(distances, row + x);
            if (l <= 0) continue;
            int32_t n = ridge_measure<STRIDE>(distances, row + x, sy, sz, l);
            if (!(n < -480 || (n < -180 && l > DISTANCE_UNITS))) continue;
            if (list.count == list.capacity() && !list.grow()) return false;
            list[list.count++] = Sphere{int16_t(x), int16_t(y), int16_t(z), int16_t(l), CANDIDATE_OPEN};
        }
    }
    return true;
}

template <long STRIDE>
bool scan_over(const FieldView& field, CandidateList& list)
{
    const long sz = static_cast<long>(field.nx) * field.ny;
    for (int z = 1; z <= field.nz - 2; ++z)
        if (!scan_slice<STRIDE>(field.distances, field.nx, field.ny, z * sz, z, list)) return false;
    return true;
}

// Tiled distances, three slices at a time packed (the one scanned and its
// neighbours), each slice read from the tiles once.
bool scan_tiled(const FieldView& field, CandidateList& list)
{
    const int nx = field.nx, ny = field.ny;
    const size_t slice = static_cast<size_t>(nx) * ny;
    std::vector<int16_t> slices;
    try {
        slices.resize(3 * slice);
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto read = [&](int z, int16_t* into) {
        for (int y = 0; y < ny; ++y) field.tiled.row(y, z, nx, into + static_cast<size_t>(y) * nx);
    };
    read(0, slices.data());
    read(1, slices.data() + slice);
    for (int z = 1; z <= field.nz - 2; ++z) {
        if (z > 1) std::memmove(slices.data(), slices.data() + slice, 2 * slice * sizeof(int16_t));
        read(z + 1, slices.data() + 2 * slice);
        if (!scan_slice<sizeof(int16_t)>(reinterpret_cast<const char*>(slices.data()), nx, ny,
                                         static_cast<long>(slice), z, list))
            return false;
    }
    return true;
}

}  // namespace

bool scan_candidates(const FieldView& field, CandidateList& list)
{
    if (field.tiles()) return scan_tiled(field, list);
    if (field.stride == sizeof(int16_t)) return scan_over<sizeof(int16_t)>(field, list);
    return scan_over<sizeof(Voxel)>(field, list);
}

}  // namespace kestrane
