#include <cstdint>
#include <new>
#include <vector>

#include "base/colour.h"
#include "shape/distance_sweeps.h"
#include "shape/row_relaxation.h"
#include "shape/row_scan.h"

namespace kestrane {
// Each sweep works a row at a time. Twelve of the thirteen neighbours lie in
// rows that this sweep has already finished, so the best of them is taken
// for the whole row in one vectorised pass; only the neighbour in the same
// row is left to a scan along x (row_scan.h). Finished rows are kept unpacked
// (magnitudes and colours apart) for the two slices the sweep reads.

namespace {

struct SweepState {
    int nx = 0, ny = 0, nz = 0;
    bool vector_rows = true;
    Voxel* voxels = nullptr;
    // Two slices of finished rows, by slice parity, then the outer row.
    std::vector<int16_t> magnitude;
    std::vector<uint32_t> colour;
    std::vector<int16_t> outer_magnitude;
    std::vector<uint32_t> outer_colour;
    // The row being worked: its values as found, and the best of the others
    // (these with room before position 0 for the row scan).
    std::vector<int16_t> raw, best_store, beaten_store;
    std::vector<uint32_t> raw_colour, best_colour_store;
    int16_t *best = nullptr, *beaten = nullptr;
    uint32_t* best_colour = nullptr;

    bool allocate()
    {
        try {
            // Room past the last row for the whole-block overrun.
            size_t ring = 2 * static_cast<size_t>(nx) * ny + ROW_SLACK;
            size_t row = static_cast<size_t>(nx) + ROW_SLACK;
            magnitude.assign(ring, static_cast<int16_t>(FAR_DISTANCE));
            colour.assign(ring, blank_colour());
            outer_magnitude.assign(row, static_cast<int16_t>(FAR_DISTANCE));
            outer_colour.assign(row, blank_colour());
            size_t padded = row + 2 * ROW_SCAN_PAD;
            raw.assign(row, 0);
            raw_colour.assign(row, 0);
            best_store.assign(padded, 0);
            beaten_store.assign(padded, 0);
            best_colour_store.assign(padded, 0);
            best = best_store.data() + ROW_SCAN_PAD;
            beaten = beaten_store.data() + ROW_SCAN_PAD;
            best_colour = best_colour_store.data() + ROW_SCAN_PAD;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    bool outer_row(int y, int z) const { return y == 0 || y == ny - 1 || z == 0 || z == nz - 1; }
    size_t ring_row(int y, int z) const { return (static_cast<size_t>(z & 1) * ny + y) * nx; }
    const int16_t* magnitudes(int y, int z) const
    {
        return outer_row(y, z) ? outer_magnitude.data() : magnitude.data() + ring_row(y, z);
    }
    const uint32_t* colours(int y, int z) const
    {
        return outer_row(y, z) ? outer_colour.data() : colour.data() + ring_row(y, z);
    }
    Voxel* row(int y, int z) const { return voxels + (static_cast<long>(z) * ny + y) * nx; }
};

// The twelve other neighbours as (row, x offset) in the order of the
// neighbour list. The backward sweep mirrors every offset.
struct RowNeighbour {
    int dy, dz, dx;
};
constexpr RowNeighbour FORWARD_ROWS[12] = {
    {-1, 0, 0}, {0, -1, 0},  {-1, 0, -1},  {-1, 0, 1},   {0, -1, -1}, {0, -1, 1},
    {-1, -1, 0}, {1, -1, 0}, {-1, -1, -1}, {-1, -1, 1}, {1, -1, -1}, {1, -1, 1},
};

// Relaxes row (y, z), already unpacked into raw and raw_colour.
void relax_row(SweepState& s, int y, int z, int direction)
{
    const int16_t* rows[12];
    const uint32_t* colours[12];
    for (int k = 0; k < 12; ++k) {
        const RowNeighbour& n = FORWARD_ROWS[k];
        int row_y = y + direction * n.dy, row_z = z + direction * n.dz, dx = direction * n.dx;
        rows[k] = s.magnitudes(row_y, row_z) + dx;
        colours[k] = s.colours(row_y, row_z) + dx;
    }
    const int nx = s.nx;
    best_of_rows(s.raw.data(), s.raw_colour.data(), rows, colours, 1, nx - 1, s.best, s.beaten, s.best_colour);

    int16_t* magnitude = s.magnitude.data() + s.ring_row(y, z);
    uint32_t* colour = s.colour.data() + s.ring_row(y, z);
    // The voxel before the first is the outer layer's.
    int previous = direction > 0 ? 0 : nx - 1;
    int carried = s.raw[previous] < 0 ? -s.raw[previous] : s.raw[previous];
    scan_row(s.best, s.beaten, s.best_colour, nx, direction, carried, s.raw_colour[previous], magnitude, colour,
             s.vector_rows);
    pack_row(s.row(y, z), 1, nx - 1, s.raw.data(), magnitude, colour);
}

// Rows this far ahead in a sweep's order are fetched early: the sweeps
// stream through the whole grid and would otherwise wait on memory.
constexpr long PREFETCH_ROWS = 2;

bool unpack(SweepState& s, int y, int z, int direction)
{
    Voxel* r = s.row(y, z);
    long row_index = static_cast<long>(z) * s.ny + y + direction * PREFETCH_ROWS;
    if (row_index >= 0 && row_index < static_cast<long>(s.ny) * s.nz) {
        const char* ahead = reinterpret_cast<const char*>(s.voxels + row_index * s.nx);
        for (long offset = 0; offset < static_cast<long>(sizeof(Voxel)) * s.nx; offset += 64)
            __builtin_prefetch(ahead + offset, 1);
    }
    return unpack_row(r, s.nx, s.raw.data(), s.raw_colour.data());
}

}  // namespace

void fast_distance_transform(Voxel* voxels, int nx, int ny, int nz, bool vector_rows)
{
    SweepState s;
    s.nx = nx, s.ny = ny, s.nz = nz, s.voxels = voxels;
    s.vector_rows = vector_rows;
    // The row passes read voxels as 16-bit words.
    if (reinterpret_cast<uintptr_t>(voxels) % alignof(int16_t) != 0 || !s.allocate()) {
        direct_distance_transform(voxels, nx, ny, nz);
        return;
    }
    set_outer_layer(voxels, nx, ny, nz);
    for (int z = 1; z <= nz - 2; ++z)
        for (int y = 1; y <= ny - 2; ++y) {
            if (!unpack(s, y, z, 1)) {
                // A magnitude so large that 16-bit sums wrap: the rows before
                // are exact, the rest goes voxel by voxel, wrapping the same.
                direct_forward_sweep_from(voxels, nx, ny, nz, y, z);
                direct_backward_sweep(voxels, nx, ny, nz);
                return;
            }
            relax_row(s, y, z, 1);
        }
    // The forward sweep only lowered magnitudes, so every row stays safe.
    for (int z = nz - 2; z >= 1; --z)
        for (int y = ny - 2; y >= 1; --y) {
            unpack(s, y, z, -1);
            relax_row(s, y, z, -1);
        }
}

}  // namespace kestrane
