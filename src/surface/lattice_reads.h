#pragma once
// What the steps of the walk read of a lattice point: its record in the
// slice buffer, filled as the point is sampled, or, with a frame's values
// worked out beforehand, those values themselves (the walk then visits only
// the points that end crossing edges). Both give the same bits.
#include <cstdint>

#include "base/lattice_geometry.h"
#include "surface/frame_values.h"
#include "surface/lattice_walk.h"
#include "surface/marching_tetrahedra.h"

namespace kestrane {
// Point (i, j, k) in mesh units: 64 to a voxel, from the middle voxel.
inline Vector3 lattice_position(const LatticeField& f, int i, int j, int k)
{
    const double y = static_cast<double>(j * f.resolution) * LATTICE_Y_FACTOR;
    return {(static_cast<double>(i * f.resolution) - f.cx) * 64, (y - f.cy) * 64,
            (static_cast<double>(k * f.resolution) - f.cz) * 64};
}

// A worked-out value with the border rule: border points count as outside
// (at least -1), so that no surface ends at the border.
inline int16_t worked_out_value(const LatticeField& f, int i, int j, int k)
{
    const int16_t v = value_at(*f.values, i, j, k);
    return v >= 0 && on_lattice_border(f, i, j, k) ? int16_t(-1) : v;
}

// The colour the walk gives a point: only the ends of crossing edges have
// one on the mesh.
inline uint32_t worked_out_colour(const LatticeField& f, int i, int j, int k)
{
    return point_crosses(*f.values, i, j, k) ? point_colour(*f.values, i, j, k) : 0;
}

// The value of point (column, row, slice); below: it lies two slices under
// its record's newest sample.
inline int16_t point_value(LatticeState& l, int column, int row, int slice, bool below)
{
    if (l.direct) return worked_out_value(*l.direct, column, row, slice);
    const SampleRecord& r = l.record(column, row);
    return below ? r.previous_value : r.value;
}

}  // namespace kestrane
