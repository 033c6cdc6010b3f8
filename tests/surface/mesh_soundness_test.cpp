// The soundness rule of frames and the joining of coincident vertices.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "surface/coincident_vertices.h"
#include "surface/mesh_checks.h"
#include "surface/mesh_soundness.h"

using namespace kestrane;

using namespace surface_test;

namespace {

// An octahedron around the origin, counter-clockwise from outside.
SurfaceMesh octahedron()
{
    SurfaceMesh m;
    m.vertices = {{64, 0, 0, 0, 0, 0, 1},  {-64, 0, 0, 0, 0, 0, 2}, {0, 64, 0, 0, 0, 0, 3},
                  {0, -64, 0, 0, 0, 0, 4}, {0, 0, 64, 0, 0, 0, 5},  {0, 0, -64, 0, 0, 0, 6}};
    m.triangles = {{{0, 2, 4}}, {{2, 1, 4}}, {{1, 3, 4}}, {{3, 0, 4}},
                   {{2, 0, 5}}, {{1, 2, 5}}, {{3, 1, 5}}, {{0, 3, 5}}};
    return m;
}

TEST(MeshSoundness, EveryEdgeTwiceOnceEachWay)
{
    SurfaceMesh m = octahedron();
    EXPECT_TRUE(unsound_vertices(m.triangles).empty());
    // A face turned round breaks its three edges.
    std::swap(m.triangles[0].v[0], m.triangles[0].v[1]);
    EXPECT_EQ(unsound_vertices(m.triangles), (std::vector<int32_t>{0, 2, 4}));
    // A face missing opens its edges; a face twice uses them four times.
    m = octahedron();
    m.triangles.pop_back();
    EXPECT_EQ(unsound_vertices(m.triangles), (std::vector<int32_t>{0, 3, 5}));
    m = octahedron();
    m.triangles.push_back(m.triangles[2]);
    m.triangles.push_back({{3, 1, 4}});
    EXPECT_FALSE(unsound_vertices(m.triangles).empty());
}

// The buckets per vertex find what one sort of every key finds, on meshes
// broken at random: faces turned, dropped, doubled, vertices renumbered,
// negative numbers and numbers far beyond the triangles.
TEST(MeshSoundness, BucketsFindWhatOneSortFinds)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        SurfaceMesh m = octahedron();
        std::vector<MeshTriangle> t;
        for (int copy = 0; copy < 1 + round % 5; ++copy)
            for (MeshTriangle f : m.triangles) {
                for (int32_t& v : f.v) v += 6 * copy;
                t.push_back(f);
            }
        const int faults = static_cast<int>(random() % 4);
        for (int f = 0; f < faults && !t.empty(); ++f) {
            const size_t at = random() % t.size();
            switch (random() % 5) {
            case 0: std::swap(t[at].v[0], t[at].v[1]); break;
            case 1: t.erase(t.begin() + static_cast<long>(at)); break;
            case 2: t.push_back(t[at]); break;
            case 3: t[at].v[random() % 3] = static_cast<int32_t>(random() % 40); break;
            default: t[at].v[random() % 3] = round % 2 ? -3 : 1 << 30; break;
            }
        }
        ASSERT_EQ(unsound_vertices(t), unsound_vertices_direct(t)) << "round " << round;
    }
    EXPECT_TRUE(unsound_vertices({}).empty());
}

// Splitting the edge 0-4 at its end 4 gives a vertex 6 on top of 4 and two
// triangles without area between them: joining takes the mesh back.
TEST(CoincidentVertices, ASplitEdgeIsJoinedAgain)
{
    SurfaceMesh m = octahedron();
    m.vertices.push_back(m.vertices[4]);
    m.vertices.back().colour = 7;
    // Triangles 0-2-4 and 3-0-4 move to the new vertex; two slivers close the gap.
    m.triangles[0] = {{0, 2, 6}};
    m.triangles[3] = {{3, 0, 6}};
    m.triangles.push_back({{2, 4, 6}});
    m.triangles.push_back({{4, 3, 6}});
    ASSERT_TRUE(unsound_vertices(m.triangles).empty());
    ASSERT_EQ(check_mesh(m).zero_area, 2);

    EXPECT_EQ(join_coincident_vertices(m), 1);
    EXPECT_EQ(m.vertices.size(), 6u);
    EXPECT_EQ(m.triangles.size(), 8u);
    EXPECT_TRUE(unsound_vertices(m.triangles).empty());
    EXPECT_EQ(check_mesh(m).zero_area, 0);
    EXPECT_EQ(m.vertices[4].colour, 5u);  // the first vertex of the pair stays
    EXPECT_GT(signed_volume(m), 0);
}

// Two vertices at one place without an edge between them, or whose common
// neighbours are more than the two corners: joining would pinch the surface.
TEST(CoincidentVertices, PairsThatWouldPinchStayApart)
{
    SurfaceMesh m = octahedron();
    m.vertices[5] = m.vertices[4];  // opposite corners, no shared edge
    EXPECT_EQ(join_coincident_vertices(m), 0);
    EXPECT_EQ(m.triangles.size(), 8u);

    // A tetrahedron's edge: its two ends share both other corners and the
    // two triangles of the edge; joining would flatten the shape.
    SurfaceMesh t;
    t.vertices = {{0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}, {0, 64, 0, 0, 0, 0, 0}, {0, 0, 64, 0, 0, 0, 0}};
    t.triangles = {{{0, 2, 1}}, {{0, 1, 3}}, {{0, 3, 2}}, {{1, 2, 3}}};
    EXPECT_EQ(join_coincident_vertices(t), 0);
    EXPECT_EQ(t.triangles.size(), 4u);
}

}  // namespace
