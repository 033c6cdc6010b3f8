// Crossing flags and the vertices of one lattice point, on a hand-filled
// neighbourhood: point P at (1, 2, 1) of a 3 x 5 x 3 lattice, or on its border.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"

using namespace kestrane;

namespace {

constexpr int32_t UNTOUCHED = -7;

// A lattice direction in mesh units per 64.
Vector3 lattice_direction(int d)
{
    const LatticeOffset& o = DIRECTION_OFFSET[d];
    return {double(o.di), o.dj * LATTICE_Y_FACTOR, double(o.dk)};
}

struct Neighbourhood {
    SampleRecord records[15];
    MeshBlocks blocks;
    LatticeState lattice;
    int column, row, slice;

    explicit Neighbourhood(int c = 1, int r = 2, int s = 1) : column(c), row(r), slice(s)
    {
        std::memset(records, 0, sizeof records);
        for (SampleRecord& rec : records)
            for (int32_t& slot : rec.edge_vertex) slot = UNTOUCHED;
        reset_mesh_blocks(blocks, 64, 128);
        lattice = LatticeState{3, 5, 3, records, &blocks, true};
    }
    ~Neighbourhood() { free_mesh_blocks(blocks); }

    static Vector3 mesh_position(int i, int j, int k) { return {i * 64.0, j * LATTICE_Y_FACTOR * 64.0, k * 64.0}; }

    SampleRecord& point() { return lattice.record(column, row); }
    void set_point(int16_t value)
    {
        point().value = value;
        point().position = mesh_position(column, row, slice);
    }
    // Neighbours in the slice below sit in the previous fields of their records.
    void set_neighbour(int d, int16_t value, uint32_t colour = 0)
    {
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        SampleRecord& r = lattice.record(column + o.di, row + o.dj);
        Vector3 p = mesh_position(column + o.di, row + o.dj, slice + o.dk);
        if (o.dk < 0) {
            r.previous_value = value;
            r.previous_position = p;
            r.previous_colour = colour;
        } else {
            r.value = value;
            r.position = p;
            r.colour = colour;
        }
    }
    int32_t& slot(int d)
    {
        if (d < BACKWARD_DIRECTIONS) return point().edge_vertex[d];
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        return lattice.record(column + o.di, row + o.dj).edge_vertex[d - 7];
    }
    int place() { return place_edge_vertices(lattice, column, row + 1, slice + 1); }
};

TEST(PointVertices, TwoSeparateGroupsGiveOneVertexEach)
{
    // Edges 1, 4 and 8, 11 cross and belong to P; the ten other directions
    // are connected around the link.
    for (bool regularise : {true, false}) {
        Neighbourhood n;
        n.lattice.regularise = regularise;
        n.set_point(1);
        for (int d = 0; d < DIRECTION_COUNT; ++d) n.set_neighbour(d, (d == 1 || d == 4 || d == 8 || d == 11) ? -100 : 100);
        n.point().crossing_flags = (1u << 1) | (1u << 4) | (1u << 8) | (1u << 11);
        ASSERT_EQ(n.place(), 0);
        if (!regularise) {
            EXPECT_EQ(n.blocks.vertex_blocks.count, 4);
            continue;
        }
        ASSERT_EQ(n.blocks.vertex_blocks.count, 2);
        EXPECT_EQ(n.slot(1), 0);
        EXPECT_EQ(n.slot(4), 0);
        EXPECT_EQ(n.slot(8), 1);
        EXPECT_EQ(n.slot(11), 1);
        // Each vertex lies between its two crossing points, its normal
        // leading out of the shape (down the edges towards the outside).
        const MeshVertex& v = n.blocks.vertex_blocks[1];
        Vector3 normal = vec_normalise({double(v.nx), double(v.ny), double(v.nz)});
        Vector3 towards = vec_normalise(vec_add_scaled(lattice_direction(8), lattice_direction(11), 1.0));
        EXPECT_GT(vec_dot(normal, towards), 0.5);
    }
}

TEST(PointVertices, RegularisationDecision)
{
    int16_t values[14];
    uint16_t groups[14];
    for (int16_t& v : values) v = 50;
    // All fourteen edges assigned: no clustering.
    EXPECT_EQ(cluster_groups(ALL_DIRECTIONS, ALL_DIRECTIONS, 5, values, groups), 0);
    // Unassigned directions in two separate pieces: 13 alone amid 0, 1, 2, 10, 11, 12.
    EXPECT_EQ(cluster_groups(0x1c07, ALL_DIRECTIONS, 5, values, groups), 0);
    // Fewer than three unassigned directions.
    EXPECT_EQ(cluster_groups(ALL_DIRECTIONS & ~0x3u, ALL_DIRECTIONS, 5, values, groups), 0);
    EXPECT_EQ(cluster_groups((1u << 1) | (1u << 4) | (1u << 8) | (1u << 11), ALL_DIRECTIONS, 5, values, groups), 2);
    EXPECT_EQ(groups[0], (1u << 1) | (1u << 4));
    EXPECT_EQ(groups[1], (1u << 8) | (1u << 11));

    // One group {2, 4, 13}; the link edge 0-1 has both apexes 4 and 13 in it.
    uint16_t assigned = (1u << 2) | (1u << 4) | (1u << 13);
    values[4] = values[13] = -20;
    values[2] = -30;
    values[0] = values[1] = -50;  // across the surface from P: the edge forbids clustering
    EXPECT_EQ(cluster_groups(assigned, ALL_DIRECTIONS, 5, values, groups), 0);
    values[0] = 50;  // one end on P's side and farther than the apexes: allowed
    EXPECT_EQ(cluster_groups(assigned, ALL_DIRECTIONS, 5, values, groups), 1);
    EXPECT_EQ(groups[0], assigned);
    values[0] = 20;  // on P's side but no farther than the apexes: forbidden again
    EXPECT_EQ(cluster_groups(assigned, ALL_DIRECTIONS, 5, values, groups), 0);
    // The same edge beyond the lattice's border has no tetrahedra and is ignored.
    EXPECT_EQ(cluster_groups(assigned, ALL_DIRECTIONS & ~1u, 5, values, groups), 1);
}

TEST(PointVertices, CrossingsAreAssignedToTheNearerEndAndTiesToTheEarlierSample)
{
    Neighbourhood n;
    int16_t neighbour[7] = {-5, -6, -4, 5, 3, 0, -5};
    for (int d = 0; d < BACKWARD_DIRECTIONS; ++d) {
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        // mark_crossings reads the neighbours' newest values.
        n.lattice.record(n.column + o.di, n.row + o.dj).value = neighbour[d];
        n.lattice.record(n.column + o.di, n.row + o.dj).crossing_flags = 0;
    }
    n.point().value = 5;
    n.point().crossing_flags = 0;
    mark_crossings(n.lattice, n.column, n.row, n.slice);
    auto neighbour_flags = [&](int d) {
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        return n.lattice.record(n.column + o.di, n.row + o.dj).crossing_flags;
    };
    // 0: 5 and -5, a tie: the earlier sample (the neighbour) takes it.
    EXPECT_EQ(neighbour_flags(0), 1u << 7);
    // 1: -6 is farther than 5: P takes it. 2: -4 is nearer: the neighbour.
    EXPECT_EQ(neighbour_flags(1), 0u);
    EXPECT_EQ(neighbour_flags(2), 1u << 9);
    // 3, 4, 5: same side (0 counts as inside), no crossing. 6: a tie again.
    EXPECT_EQ(neighbour_flags(3) | neighbour_flags(4) | neighbour_flags(5), 0u);
    EXPECT_EQ(neighbour_flags(6), 1u << 13);
    EXPECT_EQ(n.point().crossing_flags, 1u << 1);
}

TEST(PointVertices, ZeroAndMinusOneCrossAtTheMidpoint)
{
    Neighbourhood n;
    n.lattice.regularise = false;
    n.set_point(0);
    for (int d = 0; d < DIRECTION_COUNT; ++d) n.set_neighbour(d, -1, 0x00203f1fu);
    n.point().colour = 0x00010101u;
    n.point().crossing_flags = ALL_DIRECTIONS;
    ASSERT_EQ(n.place(), 0);
    ASSERT_EQ(n.blocks.vertex_blocks.count, 14);
    Vector3 p = n.point().position;
    for (int d = 0; d < DIRECTION_COUNT; ++d) {
        const MeshVertex& v = n.blocks.vertex_blocks[n.slot(d)];
        Vector3 mid = vec_add_scaled(p, lattice_direction(d), 32.0);
        EXPECT_EQ(v.x, static_cast<int16_t>(std::trunc(mid.x))) << d;
        EXPECT_EQ(v.y, static_cast<int16_t>(std::trunc(mid.y))) << d;
        EXPECT_EQ(v.z, static_cast<int16_t>(std::trunc(mid.z))) << d;
        // Halfway between the colours, truncated per byte.
        EXPECT_EQ(v.colour, 0x00102010u) << d;
        // Normals point along the edge, away from the inside point.
        Vector3 normal = vec_normalise({double(v.nx), double(v.ny), double(v.nz)});
        EXPECT_GT(vec_dot(normal, vec_normalise(lattice_direction(d))), 0.99) << d;
    }
}

TEST(PointVertices, BorderPointsWriteOnlyTheSlotsOfNeighboursThatExist)
{
    // Column 0: directions 2, 5, 7 and 10 leave the lattice.
    Neighbourhood n(0, 2, 1);
    uint16_t valid = valid_directions(n.lattice, 0, 2, 1);
    n.set_point(1);
    for (int d = 0; d < DIRECTION_COUNT; ++d)
        if (valid & (1u << d)) n.set_neighbour(d, -100);
    n.point().crossing_flags = valid;
    n.lattice.regularise = false;
    ASSERT_EQ(n.place(), 0);
    EXPECT_EQ(n.blocks.vertex_blocks.count, __builtin_popcount(valid));

    int written = 0;
    for (SampleRecord& r : n.records)
        for (int32_t slot : r.edge_vertex) written += slot != UNTOUCHED;
    EXPECT_EQ(written, __builtin_popcount(valid));
    for (int d = 0; d < DIRECTION_COUNT; ++d) EXPECT_TRUE(!(valid & (1u << d)) || n.slot(d) != UNTOUCHED) << d;
    for (int v = 0; v < n.blocks.vertex_blocks.count; ++v) {
        const MeshVertex& m = n.blocks.vertex_blocks[v];
        EXPECT_NE(m.nx * m.nx + m.ny * m.ny + m.nz * m.nz, 0) << v;
    }
}

TEST(PointVertices, ValidMaskHoldsExactlyTheNeighboursInsideTheLattice)
{
    LatticeState big{6, 9, 6, nullptr, nullptr, true};
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 9; ++j)
            for (int i = 0; i < 6; ++i) {
                uint16_t mask = valid_directions(big, i, j, k);
                for (int d = 0; d < DIRECTION_COUNT; ++d) {
                    const LatticeOffset& o = DIRECTION_OFFSET[d];
                    bool inside = i + o.di >= 0 && i + o.di < 6 && j + o.dj >= 0 && j + o.dj < 9 && k + o.dk >= 0 &&
                                  k + o.dk < 6;
                    EXPECT_EQ((mask >> d) & 1u, inside ? 1u : 0u) << i << " " << j << " " << k << " " << d;
                }
            }
}

}  // namespace
