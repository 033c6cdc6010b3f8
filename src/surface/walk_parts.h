#pragma once
// A walk over a frame's worked-out values in parts of consecutive slices,
// walked side by side and joined into the very mesh one walk gives.
//
// Iteration k of a walk samples slice k and finishes the points of slice
// k - 1 (k = lz only finishes). A part other than the first begins a few
// iterations early, placing vertices but emitting no triangles, so that its
// slice buffer holds what the walk before it would have left there; the
// vertices it placed in the last of those iterations are the ones the part
// before placed there, in the same order, and stand for them. Should they
// differ, or a triangle reach further back, the parts do not join and the
// caller walks the lattice in one go.
#include <cstdint>
#include <vector>

#include "surface/mesh.h"
#include "surface/mesh_blocks.h"

namespace kestrane {
struct FrameValues;

// Iterations a part walks ahead of its own, and how many of the last of
// them place the vertices the part before placed too.
constexpr int PART_LEAD_IN = 5;
constexpr int PART_SHARED = 3;

struct WalkPart {
    int first = 0;      // the first iteration walked
    int emit_from = 0;  // the first of its own (before it: the lead-in)
    int last = 0;       // one past its last
    MeshBlocks blocks;
    std::vector<int64_t> owners;  // per vertex placed: the grouping point, or -1
    // The vertex count at the start of each iteration walked, and after the
    // last; the triangle count after each of its own iterations.
    std::vector<int32_t> vertices_at;
    std::vector<long> triangles_after;
    int status = 0;
};

// Where each part's own iterations begin (the first part's at 0), for up to
// `parts` parts with about as many crossing points each, every part long
// enough for the next one's lead-in: a single part where the lattice is too
// thin.
std::vector<int> walk_part_starts(const FrameValues& values, int parts);

// The parts' vertices, triangles (in the order one walk emits them) and
// vertex owners, joined; false when the parts do not join up (see above) or
// the mesh would not fit the lists one walk has (its block sizes given).
bool join_walk_parts(const std::vector<WalkPart>& parts, int32_t vertex_block_size, int32_t triangle_block_size,
                     std::vector<MeshVertex>& vertices, std::vector<MeshTriangle>& triangles,
                     std::vector<int64_t>& owners);

}  // namespace kestrane
