#include <cstdlib>

#include "input/scan_operations.h"

namespace kestrane {
int close_object_plain(const VoxelGrid& grid)
{
    // Parity along each row: voxels after an odd number of crossings are
    // inside; a crossing voxel counts as inside on entry and exit alike.
    for (int z = 0; z < grid.nz; ++z)
        for (int y = 0; y < grid.ny; ++y) {
            int parity = 0;
            Voxel* row = &grid.at(0, y, z);
            for (int x = 0; x < grid.nx; ++x) {
                int value = row[x].distance;
                parity ^= value & 1;
                row[x].distance = static_cast<int16_t>(value != 0 ? 1 : parity);
            }
            if (parity == 1) return 1;
        }

    // Only signs are tested and rewriting keeps them, so in-place is safe.
    auto inside = [&](int x, int y, int z) { return grid.at(x, y, z).distance > 0; };
    for (int z = 1; z < grid.nz - 1; ++z)
        for (int y = 1; y < grid.ny - 1; ++y)
            for (int x = 1; x < grid.nx - 1; ++x) {
                int next_inside = inside(x - 1, y, z) + inside(x + 1, y, z) + inside(x, y - 1, z) +
                                  inside(x, y + 1, z) + inside(x, y, z - 1) + inside(x, y, z + 1);
                Voxel& voxel = grid.at(x, y, z);
                if (voxel.distance > 0)
                    voxel.distance = next_inside == 6 ? FAR_DISTANCE : NEAR_DISTANCE;
                else
                    voxel.distance = next_inside > 0 ? -NEAR_DISTANCE : -FAR_DISTANCE;
            }
    return 0;
}

void close_object_antialiased(const VoxelGrid& grid, const RowSides& toggles)
{
    for (int z = 1; z < grid.nz - 1; ++z)
        for (int y = 1; y < grid.ny - 1; ++y) {
            Voxel* row = &grid.at(0, y, z);
            const uint64_t* side = row_side_bits(toggles, y, z);
            // An odd row belongs to an open surface: from its last crossing
            // on, nothing is inside.
            int parity = 0, last = 0;
            for (int x = 0; x < grid.nx; ++x)
                if (row_side(side, x)) {
                    parity ^= 1;
                    last = x;
                }
            const int inside_until = parity ? last : grid.nx;
            parity = 0;
            for (int x = 0; x < grid.nx - 1; ++x) {
                parity ^= row_side(side, x);
                if (x == 0) continue;
                const int value = row[x].distance;
                if (value == ON_SURFACE) {
                    row[x].distance = 1;
                    continue;
                }
                const bool inside = parity && x < inside_until;
                const int magnitude = value == 0 ? FAR_DISTANCE : std::abs(value);
                row[x].distance = static_cast<int16_t>(inside ? magnitude : -magnitude);
            }
        }
}

int close_object(const VoxelGrid& grid, bool antialias, const RowSides* toggles)
{
    if (antialias && toggles) {
        close_object_antialiased(grid, *toggles);
        return 0;
    }
    return close_object_plain(grid);
}

}  // namespace kestrane
