#include <algorithm>
#include <cmath>

#include "input/scan_operations.h"

namespace kestrane {
namespace {

struct Raster {
    const VoxelGrid& grid;
    uint32_t colour;
};

// One crossing of row (j, k) at real x: the nearest voxel's value toggles and
// it and its x neighbours take the colour. A crossing beyond either end of
// the row toggles the end voxel, which keeps the row's parity right.
void cross_row(void* context, double x, int j, int k)
{
    const Raster& r = *static_cast<const Raster*>(context);
    const VoxelGrid& grid = r.grid;
    double nearest = std::floor(x + 0.5);
    int toggled = static_cast<int>(std::min(std::max(nearest, 0.0), grid.nx - 1.0));
    grid.at(toggled, j, k).distance ^= 1;
    if (nearest < -1.0 || nearest > grid.nx) return;
    int centre = static_cast<int>(nearest);
    for (int i = centre - 1; i <= centre + 1; ++i)
        if (i >= 0 && i < grid.nx) grid.at(i, j, k).colour = r.colour;
}

struct Parity {
    const VoxelGrid& grid;
    RowSides& toggles;
};

// A crossing at real x changes the side of every voxel whose centre lies
// beyond it: the toggle goes on the first of them.
void toggle_side(void* context, double x, int j, int k)
{
    const Parity& p = *static_cast<const Parity*>(context);
    double first = std::floor(x) + 1.0;
    if (!(first <= p.grid.nx - 1.0)) return;  // beyond the row (or not a number)
    toggle_row_side(p.toggles, static_cast<int>(std::max(first, 0.0)), j, k);
}

}  // namespace

void rasterise_polygon(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                       uint32_t colour)
{
    Raster raster{grid, colour};
    for_each_row_crossing(grid, n, vertices, indices, RowCrossingVisitor{cross_row, &raster});
}

void mark_row_sides(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                    RowSides& toggles)
{
    Parity parity{grid, toggles};
    for_each_row_crossing(grid, n, vertices, indices, RowCrossingVisitor{toggle_side, &parity});
}

}  // namespace kestrane
