#pragma once
// The least and greatest distance over blocks of a distance field, at every
// power-of-two block size, so that the range of sample_distance over a box of
// points can be bounded by reading a few entries: each trilinear read lies
// between its corners, and a point outside the inner box reads the box's
// outer layers less a chamfer distance.
//
// Built once per volume (about 0.6 bytes a voxel, a tiled field's 0.01: its
// tiles' ranges are the blocks of 4, and boxes of up to 16 voxels a side
// read its tiles instead of blocks of 2); the summary reads the field's
// voxels for the finest boxes, so the field must outlive it unchanged.
// Range queries only read.
#include <cstdint>
#include <vector>

#include "base/voxel_grid.h"

namespace kestrane {
// An interval of field values (-31999 .. 31999), lo <= hi.
struct FieldRange {
    int lo, hi;
};

// An axis-aligned box of real voxel positions, lo <= hi on every axis.
struct PointBox {
    double lo[3], hi[3];
};

struct FieldLevel {
    int size = 1;          // voxels per block side
    int blocks[3] = {0, 0, 0};
    // Block b's least distance at 2 b, its greatest at 2 b + 1: a query
    // reads both, so side by side. A tiled field's tiles of 4 hold theirs
    // already: that level reads them (shared) instead.
    std::vector<int16_t> bounds;
    const int16_t* shared = nullptr;
    const int16_t* data() const { return shared ? shared : bounds.data(); }
    size_t count() const { return static_cast<size_t>(blocks[0]) * blocks[1] * blocks[2]; }
};

struct FieldSummary {
    FieldView field;                // level 0: the voxels themselves
    std::vector<FieldLevel> levels; // block sizes 2 (not for a tiled field), 4, 8, ...
    int shell_greatest = 0;         // over the layers an outside point reads
    bool usable = false;            // a grid of at least 3 voxels a side
};

FieldSummary summarise_field(const FieldView& field);
// The level of blocks of 4 voxels a side, or null.
const FieldLevel* blocks_of_four(const FieldSummary& summary);

// The range of sample_distance over every point of the box.
FieldRange distance_range(const FieldSummary& summary, const PointBox& box);

// The least and greatest distance of voxels [first, last] on every axis
// (within the field): packed distances a row of up to 8 at a time;
// voxel_range_direct, voxel by voxel, is the reference.
FieldRange voxel_range(const FieldView& field, const int first[3], const int last[3]);
// The same over blocks [first, last] of a level (block coordinates): rows
// of up to 8 blocks a read; block_range_direct, block by block, is the
// reference.
FieldRange block_range(const FieldLevel& level, const int first[3], const int last[3]);
FieldRange block_range_direct(const FieldLevel& level, const int first[3], const int last[3]);
FieldRange voxel_range_direct(const FieldView& field, const int first[3], const int last[3]);

}  // namespace kestrane
