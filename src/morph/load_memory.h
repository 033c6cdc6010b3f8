#pragma once
// How much memory a load holds at its peak, and how much it may have. A
// load that does not fit is refused before anything is allocated; frames
// that would not fit side by side are built one after the other.

#include <cstdint>

namespace kestrane {
struct MorphState;

// What a load's memory depends on.
struct LoadLayout {
    int16_t dims[3] = {0, 0, 0};  // voxels of each volume
    bool antialias = true;
    // Worker threads: above 1, the two sides are converted and analysed at
    // the same time (unless in turn).
    int threads = 1;
    // The sides are converted and analysed one after the other: one side's
    // 6-byte voxels are never held beside the other's.
    bool in_turn = false;
    // Every face of the side has the same colour: its field holds colours of
    // their own only in the tiles of the grid's outer layer.
    bool one_colour[2] = {false, false};
    // The side has several objects: the conversion draws the second and
    // later ones in a grid of their own.
    bool several_objects[2] = {true, true};
    int frames_at_once = 1;  // frames built side by side
};

// Bytes held at once at the peak of the load and of the frames that follow
// (at resolution 1, the finest the Res: entry can ask for later), the
// largest of:
// - converting: both voxel arrays with the converter's working grids (one
//   array and the other side's field when the sides go in turn);
// - transforming: the same with the distance transform's slices;
// - the frames: both fields, the shared displacements and each frame's
//   values, slice buffer and mesh (lattice_walk_working_bytes).
int64_t load_memory_bytes(const LoadLayout& layout);

// The most a field of volume_dims voxels holds: its distances, its
// summary, its tile words and the tiles with colours of their own.
int64_t field_memory_bytes(const int16_t volume_dims[3], bool one_colour);

// The layout of the morph's next load (after its sizing), with frames_at_once
// frames side by side.
LoadLayout load_layout(const MorphState& morph, int frames_at_once);

// How many of `wanted` frames (at least 1) can be built side by side
// within the budget.
int frames_that_fit(const MorphState& morph, int wanted);

// What a load may use: three quarters of the physical memory (or of the
// control group's limit when that is lower), no more than the memory the
// system has available now, and no more than the address space that the
// process limit (ulimit -v) still leaves.
int64_t load_memory_budget();

// What the sphere displacements frames share may hold: an eighth of the
// load's budget, at most 768 MiB (enough for a whole 128-point morph; finer
// ones keep what fits and bound the rest point by point).
int64_t displacement_cache_budget();

}  // namespace kestrane
