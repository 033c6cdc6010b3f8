#pragma once
// Which points of a frame's lattice end an edge that crosses the surface,
// and which are on or next to such a point, from the signs of the frame's
// values (a point on the lattice's border counts as outside). Worked out a
// row of points at a time, 64 points to a machine word: a point's 14
// neighbours lie in 9 rows, each at a fixed shift of at most one slot. The
// point-by-point versions are the reference the tests hold them to.
#include <cstdint>
#include <vector>

#include "surface/frame_values.h"

namespace kestrane {
// Bits by row of the lattice: row (j, k) holds words [(k ly + j) w, +w),
// w = (half + 63) / 64, bit s of a row the point in slot s of that row.
struct RowBits {
    int words_per_row = 0;
    std::vector<uint64_t> bits;
    bool test(const FrameValues& values, int i, int j, int k) const
    {
        const size_t row = static_cast<size_t>(k) * values.ly + j;
        const int s = i / 2;
        return (bits[row * words_per_row + s / 64] >> (s & 63) & 1) != 0;
    }
};

// Sets values.crossing (cleared beforehand) from the signs of the values,
// on up to `threads` threads, and returns in *near the points that cross or
// have a neighbour that does. Throws std::bad_alloc when its rows cannot be
// had.
void find_crossings(FrameValues& values, int threads, RowBits* near);

// The same, point by point.
void find_crossings_direct(FrameValues& values, RowBits* near);

}  // namespace kestrane
