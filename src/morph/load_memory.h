#pragma once
// How much memory a load holds at its peak, and how much it may have. A
// load that does not fit is refused before anything is allocated.

#include <cstdint>

namespace kestrane {

// Bytes held at once by a load of two volumes of volume_dims voxels and the
// work that follows it: both voxel arrays, plus the largest of the scan
// converter's working grids and the distance transform's slices (twice when
// worker_threads > 1: both surfaces at once), and a frame's values, slice
// buffer and first mesh blocks for each of worker_threads threads (counted at
// resolution 1, the finest the Res: entry can ask for later).
int64_t load_memory_bytes(const int16_t volume_dims[3], bool antialias, int worker_threads);

// What a load may use: half of the physical memory (or of the control
// group's limit when that is lower), and no more than the address space
// that the process limit (ulimit -v) still leaves.
int64_t load_memory_budget();

// What the sphere displacements frames share may hold: an eighth of the
// load's budget, at most 256 MiB (enough for a whole 128-point morph; finer
// ones keep what fits and bound the rest point by point).
int64_t displacement_cache_budget();

}  // namespace kestrane
