// Surfaces of fields that lie inside the lattice: closed, consistently
// oriented, facing outwards.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "surface/mesh_checks.h"

using namespace surface_test;

namespace {

struct Outcome {
    MeshReport report;
    SurfaceMesh mesh;
    LatticeField lattice;
};

Outcome triangulate_balls(BallField& field, int n, int resolution, bool regularise = true)
{
    Outcome out;
    out.lattice = ball_lattice(field, n, resolution);
    out.lattice.regularise = regularise;
    EXPECT_EQ(triangulate_lattice(out.lattice, &out.mesh), 0);
    out.report = check_mesh(out.mesh);
    return out;
}

std::string describe(const MeshReport& r)
{
    return std::to_string(r.unbalanced_edges) + " unbalanced, " + std::to_string(r.pinched_edges) + " pinched, " +
           std::to_string(r.degenerate) + " degenerate, " + std::to_string(r.bad_indices) + " bad, " +
           std::to_string(r.unused_vertices) + " unused";
}

void expect_closed(const Outcome& o, const std::string& what)
{
    EXPECT_TRUE(o.report.closed()) << what << ": " << describe(o.report);
    EXPECT_EQ(o.report.degenerate, 0) << what;
    EXPECT_EQ(o.report.unused_vertices, 0) << what;
}

// Closed but for pinches: every edge runs as often one way as the other.
void expect_balanced(const Outcome& o, const std::string& what)
{
    EXPECT_TRUE(o.report.balanced()) << what << ": " << describe(o.report);
    EXPECT_EQ(o.report.degenerate, 0) << what;
    EXPECT_EQ(o.report.unused_vertices, 0) << what;
}

// The stored normal of every vertex leads away from the ball that decides
// the field there (vertices within a lattice edge of another ball's surface
// are skipped: the lattice cannot tell the two apart),
// and the triangles enclose a positive volume.
void expect_outward(const Outcome& o, const std::vector<Ball>& balls, const std::string& what)
{
    long checked = 0, wrong = 0;
    for (const MeshVertex& v : o.mesh.vertices) {
        Vector3 x = voxel_position(v, o.lattice);
        double best = -1e30, second = -1e30;
        Vector3 outward{0, 0, 0};
        for (const Ball& b : balls) {
            Vector3 d = vec_sub(x, b.centre);
            double value = b.radius - std::sqrt(vec_dot(d, d));
            if (value > best) {
                second = best;
                best = value;
                outward = vec_normalise(d);
            } else if (value > second) {
                second = value;
            }
        }
        if (best - second < 1.5 * o.lattice.resolution) continue;
        ++checked;
        Vector3 n = vec_normalise({double(v.nx), double(v.ny), double(v.nz)});
        if (vec_dot(n, outward) < 0.7) ++wrong;
    }
    EXPECT_GT(checked, 0) << what;
    EXPECT_EQ(wrong, 0) << what << ": of " << checked;
    EXPECT_GT(signed_volume(o.mesh), 0) << what;
}

TEST(ClosedSurface, SeparateBallsGiveClosedOutwardMeshes)
{
    std::mt19937 rng(20261208);
    for (int trial = 0; trial < 150; ++trial) {
        int resolution = 1 + trial % 2;
        int n = 20 + trial % 9;
        BallField field;
        // Fine distances as a volume gives them, and coarse ones with many ties.
        field.units_per_voxel = trial % 3 == 0 ? 3 : 88;
        // Surfaces farther apart than the longest lattice edge (1.41 steps).
        field.balls = separated_balls(rng, n, 4, 2.0 * resolution, n / 4.0, 2.2 * resolution);
        std::string what = "trial " + std::to_string(trial);
        Outcome o = triangulate_balls(field, n, resolution);
        ASSERT_GT(o.mesh.triangles.size(), 0u) << what;
        expect_closed(o, what);
        if (field.units_per_voxel < 88) continue;  // the surface moves by up to a third of a voxel
        expect_outward(o, field.balls, what);
        EXPECT_EQ(o.report.euler, 2 * static_cast<long>(field.balls.size())) << what;
    }
}

TEST(ClosedSurface, SmallBallsDownToOneVoxelStayClosed)
{
    std::mt19937 rng(41);
    for (int trial = 0; trial < 150; ++trial) {
        int resolution = 1 + trial % 2;
        BallField field;
        field.units_per_voxel = 1 + trial % 88;
        field.balls = separated_balls(rng, 18, 6, 1.0 * resolution, 2.5 * resolution, 2.2 * resolution);
        Outcome o = triangulate_balls(field, 18, resolution);
        expect_closed(o, "trial " + std::to_string(trial));
    }
}

// Where two sheets of the surface pass between the same lattice points (a
// gap between two balls narrower than the lattice step, a sharp crease, a
// ball barely larger than the step) the clustering may join both sheets at
// one edge; see KnownLimit below. The mesh stays closed in the weaker sense
// that every edge runs as often one way as the other.
TEST(ClosedSurface, OverlappingBallsAreBalancedAndFaceOutwards)
{
    std::mt19937 rng(5);
    long pinched = 0, triangles = 0;
    for (int trial = 0; trial < 120; ++trial) {
        int resolution = 1 + trial % 2;
        int n = 20 + trial % 9;
        BallField field;
        field.balls = random_balls(rng, n, 6, 1.0, n / 4.0);
        std::string what = "trial " + std::to_string(trial);
        Outcome o = triangulate_balls(field, n, resolution);
        expect_balanced(o, what);
        pinched += o.report.pinched_edges;
        triangles += static_cast<long>(o.mesh.triangles.size());

        Outcome plain = triangulate_balls(field, n, resolution, false);
        expect_closed(plain, "plain " + what);
        // Resolved balls have good normals even where others overlap them.
        std::vector<Ball> large;
        for (const Ball& b : field.balls)
            if (b.radius >= 2.0 * resolution) large.push_back(b);
        if (large.size() == field.balls.size()) expect_outward(o, field.balls, what);
    }
    EXPECT_LT(pinched * 2000, triangles) << pinched << " pinched edges in " << triangles << " triangles";
}

// Noise inside the grid: many tiny components, saddles and single points.
TEST(ClosedSurface, NoiseFieldsAreBalancedAndClosedWithoutClustering)
{
    std::mt19937 rng(99);
    for (int trial = 0; trial < 60; ++trial) {
        // The noise fills a block in the middle; the lattice around it keeps
        // the mesh within the block lists' limit.
        int bx = 4 + trial % 5, by = 4 + trial % 6, bz = 4 + trial % 4;
        int lx = 2 * bx, ly = 2 * by + 4, lz = 2 * bz;
        std::uniform_int_distribution<int> value(trial % 2 ? -3 : -300, trial % 2 ? 2 : 300);
        struct Noise {
            std::vector<int16_t> values;
            int lx, ly;
        } noise{std::vector<int16_t>(static_cast<size_t>(lx * ly * lz)), lx, ly};
        for (int k = 0; k < lz; ++k)
            for (int j = 0; j < ly; ++j)
                for (int i = 0; i < lx; ++i) {
                    bool border = i < 1 || j < 2 || k < 1 || i > bx || j > by + 1 || k > bz;
                    noise.values[(k * ly + j) * lx + i] = border ? -100 : static_cast<int16_t>(value(rng));
                }
        Outcome o[2];
        for (int regularise = 0; regularise < 2; ++regularise) {
            LatticeField& f = o[regularise].lattice;
            f.lx = lx;
            f.ly = ly;
            f.lz = lz;
            f.context = &noise;
            f.regularise = regularise;
            f.sample = [](void* c, int i, int j, int k, Vector3, uint32_t* colour) -> int16_t {
                Noise& n = *static_cast<Noise*>(c);
                *colour = 0x00102010u;
                return n.values[(k * n.ly + j) * n.lx + i];
            };
            ASSERT_EQ(triangulate_lattice(f, &o[regularise].mesh), 0);
            o[regularise].report = check_mesh(o[regularise].mesh);
        }
        std::string what = "trial " + std::to_string(trial);
        expect_closed(o[0], "plain " + what);
        expect_balanced(o[1], what);
    }
}

TEST(ClosedSurface, RegularisedMeshHasFarFewerTrianglesThanPlain)
{
    std::mt19937 rng(3);
    for (int trial = 0; trial < 10; ++trial) {
        BallField field;
        field.balls = separated_balls(rng, 24, 3, 2.0, 6.0, 2.2);
        Outcome regular = triangulate_balls(field, 24, 1, true);
        Outcome plain = triangulate_balls(field, 24, 1, false);
        expect_closed(plain, "plain " + std::to_string(trial));
        expect_outward(plain, field.balls, "plain " + std::to_string(trial));
        EXPECT_LT(regular.mesh.triangles.size() * 2, plain.mesh.triangles.size());
        EXPECT_EQ(regular.report.euler, plain.report.euler);
    }
}

TEST(ClosedSurface, SphereIsAccurateAndHasTheTopologyOfASphere)
{
    BallField field;
    field.balls = {{{12.3, 11.8, 12.1}, 6.4}};
    for (int resolution = 1; resolution <= 3; ++resolution) {
        Outcome o = triangulate_balls(field, 25, resolution);
        expect_closed(o, "sphere");
        EXPECT_EQ(o.report.euler, 2);
        expect_outward(o, field.balls, "sphere");
        for (const MeshVertex& v : o.mesh.vertices)
            EXPECT_NEAR(ball_distance(field.balls, voxel_position(v, o.lattice)), 0.0, 0.2 * resolution);
    }
}

// The smallest configuration found in which the clustering joins two sheets
// at one edge: in one slice, an outside point O just below the surface and
// three inside points A1 = O + (-1, 1, 0), A2 = O + (1, 1, 0) and
// A3 = O + (0, 2, 0), all other points far outside. O owns its three
// crossing edges (7, 8, 9) and clusters them; A3 owns eleven edges and
// clusters them too, since A1 and A2 are deeper inside than the neighbours
// are outside. The two tetrahedra on either side of the plane O, A1, A3 (and
// of O, A2, A3) each keep one triangle, so the edge between the vertices of
// O and A3 carries four triangles. No configuration of three or fewer
// points other than the background shows it.
TEST(KnownLimit, ThinVeeOfThreeInsidePointsPinchesOneEdge)
{
    struct Vee {
        static int16_t sample(void*, int i, int j, int k, Vector3, uint32_t* colour)
        {
            *colour = 0;
            if (k != 1) return -100;
            if (i == 2 && j == 3) return -5;                    // O
            if ((i == 1 || i == 3) && j == 4) return 101;       // A1, A2
            if (i == 2 && j == 5) return 20;                    // A3
            return -100;
        }
    };
    Outcome o[2];
    for (int regularise = 0; regularise < 2; ++regularise) {
        LatticeField& f = o[regularise].lattice;
        f.lx = 5;
        f.ly = 8;
        f.lz = 3;
        f.sample = Vee::sample;
        f.regularise = regularise;
        ASSERT_EQ(triangulate_lattice(f, &o[regularise].mesh), 0);
        o[regularise].report = check_mesh(o[regularise].mesh);
    }
    expect_closed(o[0], "plain");
    EXPECT_EQ(o[0].report.euler, 2);

    const MeshReport& r = o[1].report;
    EXPECT_TRUE(r.balanced()) << describe(r);
    EXPECT_EQ(r.pinched_edges, 1);
    EXPECT_EQ(r.degenerate, 0);
    std::map<std::pair<int, int>, int> uses;
    for (const MeshTriangle& t : o[1].mesh.triangles)
        for (int i = 0; i < 3; ++i) ++uses[{std::min(t.v[i], t.v[(i + 1) % 3]), std::max(t.v[i], t.v[(i + 1) % 3])}];
    int four = 0;
    for (const auto& [edge, n] : uses) four += n == 4;
    EXPECT_EQ(four, 1);
}

}  // namespace
