#pragma once
// The values and colours of every point of a frame's lattice, computed before
// the walk reads them: exactly (morph_batch) wherever the walk reads a value,
// and only as a sign where certified bounds (morph_bounds) prove it. The walk
// reads a point's value only when the point or one of its neighbours ends a
// crossing edge (the crossing itself, the ownership of the edge, the
// grouping and link-edge tests, the normals, the quad diagonals); everywhere
// else it looks at the sign alone. So the mesh is the very mesh of exact
// values everywhere, which the tests check against exhaustive evaluation.
//
// Blocks of points are bounded, halved while their sign is uncertain, and
// evaluated exactly at the smallest size; then every point on or next to a
// crossing edge that only has a sign is evaluated. Both steps run on up to
// `threads` threads; the result does not depend on their number.
//
// Memory grows with the surface, not the lattice: the values are kept in
// blocks of 8 positions a side, and a block whose points and neighbours all
// lie on one side of the surface is one sign, with no storage of its own.
// A stored block holds 9 bytes per point; all of it is freed with the
// FrameValues.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "shape/field_summary.h"
#include "shape/morph_batch.h"
#include "surface/lattice_walk.h"

namespace kestrane {
// Lattice positions per side of a block of values.
constexpr int VALUE_BLOCK = 8;
// Points of a block: every other position of its 8 x 8 x 8.
constexpr int VALUE_BLOCK_POINTS = VALUE_BLOCK * VALUE_BLOCK * VALUE_BLOCK / 2;

struct ValueBlock {
    int16_t value[VALUE_BLOCK_POINTS];
    uint32_t colour[VALUE_BLOCK_POINTS];
    uint8_t crossing[VALUE_BLOCK_POINTS];  // 1: an edge from the point crosses the surface
    uint8_t state[VALUE_BLOCK_POINTS];     // while computing: unknown, sign only, exact
    uint8_t outside[VALUE_BLOCK_POINTS];   // while computing: outside or on the border
};

struct FrameValues {
    int lx = 0, ly = 0, lz = 0;
    int bx = 0, by = 0, bz = 0;  // blocks per axis
    // Per block: its values, or none for a block of one sign, which is sign.
    std::vector<std::unique_ptr<ValueBlock>> blocks;
    std::vector<int8_t> sign;  // -1 outside, +1 inside, for the blocks without values
    size_t block_of(int i, int j, int k) const
    {
        return (static_cast<size_t>(k / VALUE_BLOCK) * by + static_cast<size_t>(j / VALUE_BLOCK)) * bx +
               static_cast<size_t>(i / VALUE_BLOCK);
    }
    // A point's place in its block (positions of one parity per row).
    static int local(int i, int j, int k)
    {
        return ((k % VALUE_BLOCK) * VALUE_BLOCK + j % VALUE_BLOCK) * (VALUE_BLOCK / 2) + (i % VALUE_BLOCK) / 2;
    }
};

struct FrameValueStats {
    long points = 0;          // lattice points
    long exact = 0;           // evaluated exactly
    long exact_afterwards = 0;  // of those, next to a crossing only found later
    long stored_blocks = 0;   // blocks with values of their own
    long blocks = 0;          // blocks in all
};

// Fills values over the lattice (counts, resolution) for the morph at frame.t,
// with summaries of the two fields for the bounds (null: every point exact).
// False when there is no memory for the blocks, or when cancel (if given)
// was set meanwhile.
bool compute_frame_values(const MorphFrame& frame, const FieldSummary* summaries, const LatticeField& lattice,
                          int threads, FrameValues* values, FrameValueStats* stats,
                          const std::atomic<bool>* cancel = nullptr);

// Bytes compute_frame_values may hold for a lattice of lx x ly x lz
// positions at most: every block stored (a surface through all of them).
int64_t frame_values_working_bytes(int lx, int ly, int lz);

// The value of point (i, j, k) as the walk reads it (with the border rule
// applied by the walk itself).
int16_t frame_value(const FrameValues& values, int i, int j, int k, uint32_t* colour);
// Whether an edge from point (i, j, k) crosses the surface.
bool frame_crossing(const FrameValues& values, int i, int j, int k);

}  // namespace kestrane
