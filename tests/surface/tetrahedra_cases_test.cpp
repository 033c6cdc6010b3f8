// The case table, the diagonal choice and the mesh block lists.
#include <gtest/gtest.h>

#include <cstring>

#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"

using namespace kestrane;

namespace {

enum Edge { AB, BC, AC, AD, BD, CD };
const int EDGE_ENDS[6][2] = {{0, 1}, {1, 2}, {0, 2}, {0, 3}, {1, 3}, {2, 3}};

Vector3 lattice_position(LatticeOffset o) { return {double(o.di), o.dj * LATTICE_Y_FACTOR, double(o.dk)}; }

// The triangles of one tetrahedron, naming its edges instead of vertices.
std::vector<MeshTriangle> triangulate(int16_t a, int16_t b, int16_t c, int16_t d)
{
    MeshBlocks blocks;
    reset_mesh_blocks(blocks, 4, 4);
    EXPECT_EQ(triangulate_tetrahedron(blocks, a, b, c, d, AB, BC, AC, AD, BD, CD), 0);
    std::vector<MeshTriangle> triangles;
    for (int n = 0; n < blocks.triangle_blocks.count; ++n) triangles.push_back(blocks.triangle_blocks[n]);
    free_mesh_blocks(blocks);
    return triangles;
}

// Whether the edge joins an inside and an outside corner in sign case index.
bool crosses(int index, int edge)
{
    return !(index & (8 >> EDGE_ENDS[edge][0])) != !(index & (8 >> EDGE_ENDS[edge][1]));
}

// Every one of the 16 sign cases, on the lattice's first tetrahedron with the
// crossing points at the edge midpoints: only crossing edges are used, every
// crossing edge is used, and every triangle faces the outside corners.
TEST(Tetrahedra, CaseTableCoversTheCrossingEdgesAndFacesOutwards)
{
    Vector3 corner[4] = {{0, 0, 0}, lattice_position(DIRECTION_OFFSET[1]), lattice_position(DIRECTION_OFFSET[0]),
                         lattice_position(DIRECTION_OFFSET[4])};
    for (int index = 0; index < 16; ++index) {
        for (int spread = 0; spread < 3; ++spread) {
            int16_t v[4];
            for (int i = 0; i < 4; ++i) {
                bool inside = index & (8 >> i);
                // Unequal magnitudes exercise both diagonals of the quads.
                int16_t m = static_cast<int16_t>(10 + spread * (i * 7 % 5));
                v[i] = inside ? m : static_cast<int16_t>(-m);
            }
            std::vector<MeshTriangle> triangles = triangulate(v[0], v[1], v[2], v[3]);
            int inside_count = __builtin_popcount(index);
            size_t expected = inside_count == 0 || inside_count == 4 ? 0 : inside_count == 2 ? 2 : 1;
            ASSERT_EQ(triangles.size(), expected) << index;
            if (triangles.empty()) continue;
            Vector3 in{0, 0, 0}, out{0, 0, 0};
            for (int i = 0; i < 4; ++i) {
                if (index & (8 >> i))
                    in = vec_add_scaled(in, corner[i], 1.0 / inside_count);
                else
                    out = vec_add_scaled(out, corner[i], 1.0 / (4 - inside_count));
            }
            Vector3 outward = vec_sub(out, in);
            unsigned used = 0;
            for (const MeshTriangle& t : triangles) {
                Vector3 p[3];
                for (int k = 0; k < 3; ++k) {
                    int edge = t.v[k];
                    const int* ends = EDGE_ENDS[edge];
                    EXPECT_TRUE(crosses(index, edge)) << index << " uses edge " << edge;
                    used |= 1u << edge;
                    p[k] = vec_add_scaled(corner[ends[0]], vec_sub(corner[ends[1]], corner[ends[0]]), 0.5);
                }
                Vector3 normal = vec_cross(vec_sub(p[1], p[0]), vec_sub(p[2], p[0]));
                EXPECT_GT(vec_dot(normal, outward), 0.0) << "case " << index;
            }
            for (int edge = 0; edge < 6; ++edge)
                EXPECT_EQ((used >> edge) & 1u, crosses(index, edge) ? 1u : 0u) << "case " << index << " edge " << edge;
        }
    }
}

TEST(Tetrahedra, QuadDiagonalFollowsTheSmallerScoreAndTiesGoToTheFirstChoice)
{
    // min(|p+q|, |s+r|) >= min(|s+q|, |r+p|)
    EXPECT_TRUE(choose_quad_diagonal(-3, 5, 5, -3));  // all four sums 2: a tie
    EXPECT_TRUE(choose_quad_diagonal(-1, 10, 3, -9));
    EXPECT_FALSE(choose_quad_diagonal(-5, 5, 3, -1));
    // The sums are held in 16 bits: |-32768 + 0| wraps to -32768.
    EXPECT_FALSE(choose_quad_diagonal(-32768, 0, 5, -1));

    // Case 3 (C and D inside) with equal magnitudes everywhere: a tie, so the
    // first pair of triangles, split along AC-BD.
    // A clear preference for the other diagonal (AD-BC) gives the second pair.
    auto edges = [](const std::vector<MeshTriangle>& t) {
        std::vector<int32_t> e;
        for (const MeshTriangle& x : t) e.insert(e.end(), x.v, x.v + 3);
        return e;
    };
    EXPECT_EQ(edges(triangulate(-7, -7, 7, 7)), (std::vector<int32_t>{AC, AD, BD, BD, BC, AC}));
    EXPECT_EQ(edges(triangulate(-1, -30, 30, 1)), (std::vector<int32_t>{BC, AC, AD, AD, BD, BC}));
}

TEST(MeshBlocks, AThirtySecondBlockIsRefused)
{
    MeshBlocks blocks;
    reset_mesh_blocks(blocks, 0, 1);  // a zero size is taken as one item per block
    for (int n = 0; n < MAX_BLOCKS; ++n) ASSERT_EQ(add_mesh_vertex(blocks, {0, 0, 0}, {0, 0, 0}, 0), APPEND_DONE);
    EXPECT_EQ(add_mesh_vertex(blocks, {0, 0, 0}, {0, 0, 0}, 0), APPEND_LIST_FULL);
    EXPECT_EQ(blocks.vertex_blocks.count, MAX_BLOCKS);
    EXPECT_FALSE(blocks.vertex_blocks.blocks[MAX_BLOCKS]);

    for (int n = 0; n < MAX_BLOCKS; ++n) ASSERT_EQ(add_mesh_triangle(blocks, n, n + 1, n + 2), APPEND_DONE);
    EXPECT_EQ(add_mesh_triangle(blocks, 0, 1, 2), APPEND_LIST_FULL);
    free_mesh_blocks(blocks);
}

}  // namespace
