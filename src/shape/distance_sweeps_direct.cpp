#include <cstdlib>

#include "base/colour.h"
#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"

namespace kestrane {
namespace {

// Magnitude and sums stay 16-bit, as the stored distances are.
inline int16_t magnitude(int16_t d) { return static_cast<int16_t>(std::abs(d)); }

struct Neighbour {
    int dx, dy, dz;
    int16_t weight;
};

// Forward order; the backward sweep uses the same list mirrored.
constexpr Neighbour FORWARD_NEIGHBOURS[13] = {
    {-1, 0, 0, CHAMFER_FACE},    {0, -1, 0, CHAMFER_FACE},    {0, 0, -1, CHAMFER_FACE},
    {-1, -1, 0, CHAMFER_EDGE},   {1, -1, 0, CHAMFER_EDGE},    {-1, 0, -1, CHAMFER_EDGE},
    {1, 0, -1, CHAMFER_EDGE},    {0, -1, -1, CHAMFER_EDGE},   {0, 1, -1, CHAMFER_EDGE},
    {-1, -1, -1, CHAMFER_CORNER}, {1, -1, -1, CHAMFER_CORNER}, {-1, 1, -1, CHAMFER_CORNER},
    {1, 1, -1, CHAMFER_CORNER},
};

void relax_voxel(Voxel* voxels, long index, const long* offsets)
{
    Voxel& voxel = voxels[index];
    int16_t best = magnitude(voxel.distance);
    uint32_t colour = voxel.colour;
    for (int k = 0; k < 13; ++k) {
        const Voxel& n = voxels[index + offsets[k]];
        int16_t candidate = static_cast<int16_t>(magnitude(n.distance) + FORWARD_NEIGHBOURS[k].weight);
        if (candidate < best) {
            best = candidate;
            colour = n.colour;
        }
    }
    // A zero counts as outside.
    voxel.distance = voxel.distance > 0 ? best : static_cast<int16_t>(-best);
    voxel.colour = colour;
}

void neighbour_offsets(int nx, int ny, int sign, long* offsets)
{
    long slice = static_cast<long>(nx) * ny;
    for (int k = 0; k < 13; ++k) {
        const Neighbour& n = FORWARD_NEIGHBOURS[k];
        offsets[k] = sign * (n.dx + static_cast<long>(nx) * n.dy + slice * n.dz);
    }
}

}  // namespace

void set_outer_layer(Voxel* voxels, int nx, int ny, int nz)
{
    const uint32_t white = blank_colour();
    for (int z = 0; z < nz; ++z) {
        for (int y = 0; y < ny; ++y) {
            Voxel* row = voxels + (static_cast<long>(z) * ny + y) * nx;
            bool whole_row = y == 0 || y == ny - 1 || z == 0 || z == nz - 1;
            for (int x = 0; x < nx; x += (whole_row || x == nx - 1) ? 1 : nx - 1) {
                row[x].distance = static_cast<int16_t>(-FAR_DISTANCE);
                row[x].colour = white;
            }
        }
    }
}

void direct_forward_sweep(Voxel* voxels, int nx, int ny, int nz)
{
    direct_forward_sweep_from(voxels, nx, ny, nz, 1, 1);
}

void direct_forward_sweep_from(Voxel* voxels, int nx, int ny, int nz, int y_first, int z_first)
{
    long offsets[13];
    neighbour_offsets(nx, ny, 1, offsets);
    for (int z = z_first; z <= nz - 2; ++z)
        for (int y = z == z_first ? y_first : 1; y <= ny - 2; ++y)
            for (int x = 1; x <= nx - 2; ++x)
                relax_voxel(voxels, (static_cast<long>(z) * ny + y) * nx + x, offsets);
}

void direct_backward_sweep(Voxel* voxels, int nx, int ny, int nz)
{
    long offsets[13];
    neighbour_offsets(nx, ny, -1, offsets);
    for (int z = nz - 2; z >= 1; --z)
        for (int y = ny - 2; y >= 1; --y)
            for (int x = nx - 2; x >= 1; --x)
                relax_voxel(voxels, (static_cast<long>(z) * ny + y) * nx + x, offsets);
}

void direct_distance_transform(Voxel* voxels, int nx, int ny, int nz)
{
    set_outer_layer(voxels, nx, ny, nz);
    direct_forward_sweep(voxels, nx, ny, nz);
    direct_backward_sweep(voxels, nx, ny, nz);
}

}  // namespace kestrane
