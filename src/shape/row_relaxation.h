#pragma once
// The vectorisable passes of the row-wise distance sweeps, on buffers the
// caller owns; linear in the row.
#include <cstdint>

#include "base/records.h"
#include "shape/distance_transform.h"

namespace kestrane {
// The vectorisable passes of the row-wise distance sweeps. Each loops in
// whole blocks of ROW_BLOCK voxels, so every buffer needs ROW_SLACK entries
// past the last voxel handled (readable, and writable for outputs).
constexpr int ROW_BLOCK = 32;
constexpr int ROW_SLACK = ROW_BLOCK + 1;

// Largest magnitude for which |d| + 38 still fits in 16 bits.
constexpr int SAFE_MAGNITUDE = 32767 - CHAMFER_CORNER;

// Unpacks voxels [0, count) of a row into distances and colours. Returns
// false when a magnitude exceeds SAFE_MAGNITUDE.
bool unpack_row(const Voxel* row, int count, int16_t* distance, uint32_t* colour);

// Writes voxels [first, last) of a row from magnitudes and colours, with
// the sign of the distance found there before (a zero counts as outside).
void pack_row(Voxel* row, int first, int last, const int16_t* old_distance, const int16_t* magnitude,
              const uint32_t* colour);

// For x in [first, last), over the voxel's own value |raw[x]| (colour
// raw_colour[x]) and the twelve other neighbours' candidates rows[k][x] +
// weight of neighbour k (colour colours[k][x]), in list order with strictly
// smaller replacing:
//   best[x], colour[x] = the winning candidate and its colour,
//   beaten[x]          = best[x] + 1 when a neighbour won, else best[x].
// The same-row neighbour, which comes between the voxel's own value and the
// others, replaces the winner exactly when its candidate is below beaten[x].
// Magnitudes must be at most SAFE_MAGNITUDE.
void best_of_rows(const int16_t* raw, const uint32_t* raw_colour, const int16_t* const* rows,
                  const uint32_t* const* colours, int first, int last, int16_t* best, int16_t* beaten,
                  uint32_t* colour);

}  // namespace kestrane
