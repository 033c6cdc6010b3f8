#pragma once
// The same-row pass of the distance sweeps along a whole row, vectorised
// where the processor allows, with a plain version that must agree.
#include <cstdint>

namespace kestrane {
// The same-row neighbour of the distance sweeps, run along a whole row once
// the best of the other candidates is known for every voxel (best, beaten,
// best_colour as best_of_rows gives them).
//
// Positions 0 .. nx-1; the row's voxels are 1 .. nx-2, visited ascending
// (direction 1) or descending (direction -1). The voxel before the first is
// position 0 (or nx-1) with the given magnitude and colour. For each voxel,
// in visiting order, with m and c the previous voxel's results:
//   the neighbour's candidate m + 22 wins when it is below beaten[x]:
//   magnitude[x] = min(m + 22, best[x]), colour[x] = it wins ? c : best_colour[x].
//
// best, beaten and best_colour must have ROW_SCAN_PAD readable entries
// before position 0 and after position nx-1.
constexpr int ROW_SCAN_PAD = 32;

// allow_vector off: the plain scan even where the processor has the vector
// one (tests check both).
void scan_row(const int16_t* best, const int16_t* beaten, const uint32_t* best_colour, int nx, int direction,
              int first_magnitude, uint32_t first_colour, int16_t* magnitude, uint32_t* colour,
              bool allow_vector = true);

}  // namespace kestrane
