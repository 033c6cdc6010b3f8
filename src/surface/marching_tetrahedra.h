#pragma once
// The steps of the lattice walk: crossings, edge vertices with their
// regularisation, and the triangles of each tetrahedron, on the walk's
// slice buffer and mesh blocks.
#include <cstdint>
#include <vector>

#include "surface/mesh_blocks.h"
#include "surface/sample_record.h"

namespace kestrane {
struct LatticeField;

// The state the marching tetrahedra work on: the slice buffer of lx * ly
// records (row-major, column fastest) and the growing mesh.
struct LatticeState {
    int lx = 0, ly = 0, lz = 0;
    SampleRecord* records = nullptr;
    MeshBlocks* blocks = nullptr;
    // Off: every crossing edge gets its own vertex (plain marching
    // tetrahedra), for comparisons.
    bool regularise = true;
    // Points (by point_key) whose edges keep a vertex each even where they
    // could be grouped; sorted. Null: none.
    const std::vector<int64_t>* kept_apart = nullptr;
    // For every vertex placed, the key of the point that grouped it, or -1
    // for a vertex of one edge. Null: not recorded.
    std::vector<int64_t>* vertex_owner = nullptr;
    // Non-null: the points' values, colours and positions are read from
    // this field's worked-out values (lattice_reads.h), not the records,
    // which then hold only the crossing flags and the edge vertices of the
    // points that end crossing edges.
    const LatticeField* direct = nullptr;

    SampleRecord& record(int column, int row) { return records[row * lx + column]; }
    int64_t point_key(int column, int row, int slice) const
    {
        return (static_cast<int64_t>(slice) * ly + row) * lx + column;
    }
};

// Sets the crossing flags between the point just sampled at (column, row,
// slice) and its neighbours sampled before it.
void mark_crossings(LatticeState& lattice, int column, int row, int slice);

// The 14-bit mask of the neighbours of (column, row, slice) inside the lattice.
uint16_t valid_directions(const LatticeState& lattice, int column, int row, int slice);

// Creates the vertices of the crossing edges assigned to the point at
// (column, row_plus_one - 1, slice_plus_one - 1) once all its neighbours are
// sampled. Returns 0, or an AppendStatus when the vertex list could not grow.
int place_edge_vertices(LatticeState& lattice, int column, int row_plus_one, int slice_plus_one);

// Triangulates the six tetrahedra owned by the point (column, row_plus_one
// - 1, slice_plus_one - 1), one row back in the slice before the current
// one. Returns 0, or an AppendStatus when the triangle list could not grow.
int emit_tetrahedra(LatticeState& lattice, int column, int row_plus_one, int slice_plus_one);

// Corner values and the edge vertices AB, BC, AC, AD, BD, CD of one
// tetrahedron; appends 0, 1 or 2 triangles. Returns 0 or an AppendStatus.
int triangulate_tetrahedron(MeshBlocks& blocks, int16_t a, int16_t b, int16_t c, int16_t d, int32_t ab,
                            int32_t bc, int32_t ac, int32_t ad, int32_t bd, int32_t cd);

// True when min(|p + q|, |s + r|) >= min(|s + q|, |r + p|), each absolute sum
// held in 16 bits.
bool choose_quad_diagonal(int16_t p, int16_t q, int16_t r, int16_t s);

// The regularisation decision for a point with assigned edges `assigned`,
// unassigned neighbours outside `valid` being absent. Fills groups[] with the
// connected groups of assigned edges (in the order found) and returns their
// number, or 0 when the edges must keep a vertex each.
int cluster_groups(uint16_t assigned, uint16_t valid, int16_t point_value, const int16_t neighbour_values[14],
                   uint16_t groups[14]);

}  // namespace kestrane
