#pragma once
// One record of the walk's slice buffer.
#include <cstdint>

#include "base/vector3.h"

namespace kestrane {
// One column/row position of the slice buffer. A position is a lattice point
// only every other slice, so the record keeps the newest sample and the one
// two slices earlier.
struct SampleRecord {
    int16_t value;
    int16_t previous_value;
    uint32_t colour;
    uint32_t previous_colour;
    Vector3 position;  // mesh units
    Vector3 previous_position;
    // Bit d: the edge in direction d from the newest sample crosses the
    // surface and this sample is its nearer end.
    uint16_t crossing_flags;
    // Mesh vertex of the edge in direction d = 0..6 from the newest sample;
    // the edge in direction d + 7 uses slot d of that neighbour.
    int32_t edge_vertex[7];
};

}  // namespace kestrane
