#include <cstdlib>

#include "surface/lattice_reads.h"
#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"

namespace kestrane {
namespace {

constexpr int POINT = -1;  // the owning point itself among the corners

// Where the vertex slot of a lattice edge lives: the record at a column/row
// offset from the owning point and the entry in it.
struct SlotPlace {
    int di, dj, entry;
};

struct Tetrahedron {
    int b, c;            // directions of corners B and C; A is the point, D direction 4
    SlotPlace edge[6];   // AB, BC, AC, AD, BD, CD
};

LatticeOffset corner_offset(int corner)
{
    return corner == POINT ? LatticeOffset{0, 0, 0} : DIRECTION_OFFSET[corner];
}

// The later-sampled end of an edge keeps its slot for the backward direction.
SlotPlace slot_place(int from, int to)
{
    LatticeOffset x = corner_offset(from), y = corner_offset(to);
    for (int d = 0; d < DIRECTION_COUNT; ++d) {
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        if (o.di != y.di - x.di || o.dj != y.dj - x.dj || o.dk != y.dk - x.dk) continue;
        if (d < BACKWARD_DIRECTIONS) return {x.di, x.dj, d};
        return {y.di, y.dj, d - 7};
    }
    return {0, 0, -1};  // not reached: tetrahedron corners are neighbours
}

struct TetrahedronTable {
    Tetrahedron t[6];
    TetrahedronTable()
    {
        const int corners[6][2] = {{1, 0}, {2, 1}, {5, 2}, {0, 3}, {3, 6}, {6, 5}};
        for (int i = 0; i < 6; ++i) {
            int b = corners[i][0], c = corners[i][1], d = 4;
            t[i] = {b, c,
                    {slot_place(POINT, b), slot_place(b, c), slot_place(POINT, c), slot_place(POINT, d),
                     slot_place(b, d), slot_place(c, d)}};
        }
    }
};

const TetrahedronTable& tetrahedra()
{
    static const TetrahedronTable table;
    return table;
}

bool tetrahedron_exists(int i, int c, int r, int lx, int ly)
{
    switch (i) {
    case 0: return c < lx - 1 && r >= 2;
    case 1: return c > 0 && r >= 2;
    case 2: return c > 0;
    case 3: return c < lx - 1;
    case 4: return c < lx - 1 && r < ly - 1;
    default: return c > 0 && r < ly - 1;
    }
}

int16_t corner_value(LatticeState& lattice, int column, int row, int slice, int corner)
{
    if (corner == POINT) return point_value(lattice, column, row, slice, false);
    const LatticeOffset& o = DIRECTION_OFFSET[corner];
    return point_value(lattice, column + o.di, row + o.dj, slice + o.dk, o.dk < 0);
}

int add_two_triangles(MeshBlocks& m, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f)
{
    int status = add_mesh_triangle(m, a, b, c);
    return status ? status : add_mesh_triangle(m, d, e, f);
}

int16_t absolute_sum(int16_t a, int16_t b) { return static_cast<int16_t>(std::abs(a + b)); }

}  // namespace

bool choose_quad_diagonal(int16_t p, int16_t q, int16_t r, int16_t s)
{
    int16_t pq = absolute_sum(p, q), sr = absolute_sum(s, r);
    int16_t sq = absolute_sum(s, q), rp = absolute_sum(r, p);
    return (pq < sr ? pq : sr) >= (sq < rp ? sq : rp);
}

int triangulate_tetrahedron(MeshBlocks& m, int16_t a, int16_t b, int16_t c, int16_t d, int32_t ab, int32_t bc,
                            int32_t ac, int32_t ad, int32_t bd, int32_t cd)
{
    int index = 8 * (a >= 0) + 4 * (b >= 0) + 2 * (c >= 0) + (d >= 0);
    switch (index) {
    case 1: return add_mesh_triangle(m, ad, bd, cd);
    case 2: return add_mesh_triangle(m, bc, ac, cd);
    case 4: return add_mesh_triangle(m, ab, bc, bd);
    case 7: return add_mesh_triangle(m, ac, ad, ab);
    case 8: return add_mesh_triangle(m, ab, ad, ac);
    case 11: return add_mesh_triangle(m, bd, bc, ab);
    case 13: return add_mesh_triangle(m, cd, ac, bc);
    case 14: return add_mesh_triangle(m, cd, bd, ad);
    case 3:
        if (choose_quad_diagonal(a, d, c, b)) return add_two_triangles(m, ac, ad, bd, bd, bc, ac);
        return add_two_triangles(m, bc, ac, ad, ad, bd, bc);
    case 5:
        if (choose_quad_diagonal(a, d, b, c)) return add_two_triangles(m, ab, bc, cd, cd, ad, ab);
        return add_two_triangles(m, ab, bc, ad, ad, bc, cd);
    case 6:
        if (choose_quad_diagonal(a, b, c, d)) return add_two_triangles(m, ab, ac, bd, bd, ac, cd);
        return add_two_triangles(m, ab, ac, cd, cd, bd, ab);
    case 9:
        if (choose_quad_diagonal(b, a, d, c)) return add_two_triangles(m, ab, bd, ac, ac, bd, cd);
        return add_two_triangles(m, cd, ac, ab, ab, bd, cd);
    case 10:
        if (choose_quad_diagonal(b, a, c, d)) return add_two_triangles(m, ab, ad, bc, bc, ad, cd);
        return add_two_triangles(m, ab, cd, bc, ad, cd, ab);
    case 12:
        if (choose_quad_diagonal(d, a, b, c)) return add_two_triangles(m, bc, bd, ac, ac, bd, ad);
        return add_two_triangles(m, bc, ad, ac, bd, ad, bc);
    default: return 0;
    }
}

int emit_tetrahedra(LatticeState& lattice, int column, int row_plus_one, int slice_plus_one)
{
    int row = row_plus_one - 1, slice = slice_plus_one - 1;
    if (row < 1) return 0;  // a point in row 0 owns no tetrahedra
    // The point and its seven backward neighbours are the corners of all six
    // tetrahedra; where they all lie on one side there is nothing to do.
    int16_t value[BACKWARD_DIRECTIONS] = {};
    int16_t a = corner_value(lattice, column, row, slice, POINT);
    bool any_inside = a >= 0, any_outside = a < 0;
    for (int d = 0; d < BACKWARD_DIRECTIONS; ++d) {
        if (d == 1 && row < 2) continue;  // direction 1 leaves the lattice in row 1
        if ((d == 0 || d == 3) && column >= lattice.lx - 1) continue;
        if ((d == 2 || d == 5) && column <= 0) continue;
        if (d == 6 && row >= lattice.ly - 1) continue;
        value[d] = corner_value(lattice, column, row, slice, d);
        any_inside |= value[d] >= 0;
        any_outside |= value[d] < 0;
    }
    if (!(any_inside && any_outside)) return 0;

    for (int i = 0; i < 6; ++i) {
        if (!tetrahedron_exists(i, column, row, lattice.lx, lattice.ly)) continue;
        const Tetrahedron& t = tetrahedra().t[i];
        int32_t slot[6];
        for (int e = 0; e < 6; ++e) {
            const SlotPlace& s = t.edge[e];
            slot[e] = lattice.record(column + s.di, row + s.dj).edge_vertex[s.entry];
        }
        int result = triangulate_tetrahedron(*lattice.blocks, a, value[t.b], value[t.c], value[4], slot[0], slot[1],
                                             slot[2], slot[3], slot[4], slot[5]);
        if (result) return result;
    }
    return 0;
}

}  // namespace kestrane
