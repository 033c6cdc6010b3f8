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
// `threads` threads; the result does not depend on their number. With a
// displacement cache (displacement_cache.h) the spheres' part of the bounds
// and of the exact values comes from what earlier frames kept, and colours
// are worked out last, only at the ends of crossing edges (the only ones the
// walk puts on the mesh; the others read as 0).
// Memory: a bit per lattice point (whether it ends a crossing edge), 18
// bytes a block, 512 bytes per block with values of its own and 1 KB per
// block with colours, freed with the FrameValues; two bits more a point
// while the crossings are found.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "shape/field_summary.h"
#include "surface/displacement_cache.h"
#include "shape/morph_batch.h"
#include "surface/lattice_walk.h"

namespace kestrane {
// What a point whose sign alone is known holds: beyond every value a frame
// takes (distances reach 32000 far away at most), so that it also tells
// which points still need their values worked out.
constexpr int16_t SIGN_ONLY_VALUE = INT16_MAX;

struct FrameValues {
    int lx = 0, ly = 0, lz = 0, half = 0;  // half: points per row, (lx + 1) / 2
    long bx = 0, by = 0;  // blocks of VALUE_BLOCK positions along x and y
    // Values per block, by block_entry: a block without a page holds one
    // sign for all its points (block_sign), as most blocks away from the
    // surface do, so the values take memory near the surface alone.
    std::vector<std::unique_ptr<int16_t[]>> value_blocks;
    std::vector<int16_t> block_sign;
    // Colours per block, only for the blocks that have any (a block without
    // reads as 0): colours are worked out where the mesh takes them, a small
    // part of the lattice.
    std::vector<std::unique_ptr<uint32_t[]>> colour_blocks;
    // One bit per point, by slot: an edge from the point crosses the surface.
    std::vector<uint64_t> crossing;
    size_t index(int i, int j, int k) const
    {
        return (static_cast<size_t>(k) * ly + j) * half + static_cast<size_t>(i / 2);
    }
    size_t block(int i, int j, int k) const
    {
        return static_cast<size_t>((k / VALUE_BLOCK * by + j / VALUE_BLOCK) * bx + i / VALUE_BLOCK);
    }
};


struct FrameValueStats {
    long points = 0;          // lattice points
    long exact = 0;           // evaluated exactly
    long exact_afterwards = 0;  // of those, next to a crossing only found later
    long value_blocks = 0;      // blocks with values of their own (the others hold one sign)
    long blocks = 0;
};

// Fills values over the lattice (counts, resolution) for the morph at frame.t,
// with summaries of the two fields for the bounds (null: every point exact).
// With a cache made for this lattice and these inputs, the displacements of
// points it keeps are read from it and those computed are kept; the values
// are the same either way. False when there is no memory for the arrays, or
// when cancel (if given) was set meanwhile.
bool compute_frame_values(const MorphFrame& frame, const FieldSummary* summaries, const LatticeField& lattice,
                          int threads, FrameValues* values, FrameValueStats* stats,
                          const std::atomic<bool>* cancel = nullptr, DisplacementCache* displacements = nullptr);

// Without a cache a point's colour is worked out with its value where the
// value lies within this many distance units of the surface for each
// lattice step (a farther point seldom ends a crossing edge), the other
// crossing ends' colours once the crossings are known: the colours are the
// same either way. For tests: sets it for the whole process and returns the
// one before (150 to begin with).
int use_colours_now_within(int units);

// Bytes compute_frame_values holds for a lattice of lx x ly x lz positions:
// the crossing bits of every other position, the blocks' tables, the
// colours of the blocks a mesh of frame_mesh_triangles goes through and the
// values of twice as many blocks.
int64_t frame_values_working_bytes(int lx, int ly, int lz);

// Sizes values for a lattice of lx x ly x lz positions, every block one
// sign (outside) without a page, no colours and no crossing bits set.
// Throws std::bad_alloc.
void reset_frame_values(FrameValues* values, int lx, int ly, int lz);
// Block b's page of values, made (holding the block's sign) if it has none;
// null when there is no memory for it.
int16_t* value_page(FrameValues& values, size_t block);

// The value of point (i, j, k): worked out, or SIGN_ONLY_VALUE with its sign.
inline int16_t value_at(const FrameValues& values, int i, int j, int k)
{
    const size_t b = values.block(i, j, k);
    const int16_t* page = values.value_blocks[b].get();
    return page ? page[block_entry(i, j, k)] : values.block_sign[b];
}

// Whether an edge from the point in slot `slot`, or at (i, j, k), crosses the
// surface.
inline bool slot_crosses(const FrameValues& values, size_t slot)
{
    return (values.crossing[slot >> 6] >> (slot & 63) & 1) != 0;
}
inline bool point_crosses(const FrameValues& values, int i, int j, int k)
{
    return slot_crosses(values, values.index(i, j, k));
}
// The colour of point (i, j, k) (0 where none was worked out).
inline uint32_t point_colour(const FrameValues& values, int i, int j, int k)
{
    const std::unique_ptr<uint32_t[]>& page = values.colour_blocks[values.block(i, j, k)];
    return page ? page[block_entry(i, j, k)] : 0;
}

}  // namespace kestrane
