#include <cstdlib>

#include "surface/lattice_reads.h"
#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"

namespace kestrane {
namespace {

// Whether the backward neighbour in direction d of (c, r, s) exists.
bool backward_neighbour_exists(const LatticeState& lattice, int d, int c, int r, int s)
{
    switch (d) {
    case 0: return c < lattice.lx - 1 && r > 0;
    case 1: return r > 1;
    case 2: return c > 0 && r > 0;
    case 3: return c < lattice.lx - 1 && s >= 1;
    case 4: return r > 0 && s >= 1;
    case 5: return c > 0 && s >= 1;
    default: return r < lattice.ly - 1 && s > 0;
    }
}

}  // namespace

void mark_crossings(LatticeState& lattice, int column, int row, int slice)
{
    SampleRecord& point = lattice.record(column, row);
    int value = point_value(lattice, column, row, slice, false);
    for (int d = 0; d < BACKWARD_DIRECTIONS; ++d) {
        if (!backward_neighbour_exists(lattice, d, column, row, slice)) continue;
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        SampleRecord& neighbour = lattice.record(column + o.di, row + o.dj);
        // Sampled earlier, it is its record's newest sample.
        int other = point_value(lattice, column + o.di, row + o.dj, slice + o.dk, false);
        if ((value < 0) == (other < 0)) continue;
        // The nearer end owns the edge; a tie goes to the earlier sample.
        if (std::abs(value) < std::abs(other))
            point.crossing_flags |= static_cast<uint16_t>(1u << d);
        else
            neighbour.crossing_flags |= static_cast<uint16_t>(1u << (d + 7));
    }
}

}  // namespace kestrane
