// Surfaces of fields that lie inside the lattice: closed, consistently
// oriented, facing outwards.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "surface/mesh_checks.h"

using namespace kestrane;

using namespace surface_test;

namespace {

struct Outcome {
    MeshReport report;
    SurfaceMesh mesh;
    LatticeField lattice;
    WalkReport walk;
};

Outcome triangulate(const LatticeField& f)
{
    Outcome out;
    out.lattice = f;
    out.lattice.report = &out.walk;
    EXPECT_EQ(triangulate_lattice(out.lattice, &out.mesh), 0);
    out.report = check_mesh(out.mesh);
    return out;
}

Outcome triangulate_balls(BallField& field, int n, int resolution, bool regularise = true)
{
    LatticeField f = ball_lattice(field, n, resolution);
    f.regularise = regularise;
    return triangulate(f);
}

// A hand-made field of lx x ly x lz points, plain or regularised.
Outcome triangulate_fixed(int lx, int ly, int lz, decltype(LatticeField::sample) sample, void* context,
                          bool regularise)
{
    LatticeField f;
    f.lx = lx;
    f.ly = ly;
    f.lz = lz;
    f.sample = sample;
    f.context = context;
    f.regularise = regularise;
    return triangulate(f);
}

// Closed and manifold, never degenerate, no unused vertices.
void expect_closed(const Outcome& o, const std::string& what)
{
    const MeshReport& r = o.report;
    EXPECT_TRUE(r.closed())
        << what << ": " << r.unbalanced_edges << " unbalanced, " << r.pinched_edges << " pinched, " << r.bad_indices
        << " bad";
    EXPECT_EQ(r.degenerate, 0) << what;
    EXPECT_EQ(r.unused_vertices, 0) << what;
}

// The stored normal of every vertex leads away from the ball that decides
// the field there (vertices within a lattice edge of another ball's surface
// are skipped: the lattice cannot tell the two apart), and the triangles
// enclose a positive volume.
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
            } else {
                second = std::max(second, value);
            }
        }
        if (best - second < 1.5 * o.lattice.resolution) continue;
        ++checked;
        Vector3 n = vec_normalise({double(v.nx), double(v.ny), double(v.nz)});
        wrong += vec_dot(n, outward) < 0.7;
    }
    EXPECT_GT(checked, 0) << what;
    EXPECT_EQ(wrong, 0) << what << ": of " << checked;
    EXPECT_GT(signed_volume(o.mesh), 0) << what;
}

TEST(ClosedSurface, SeparateBallsGiveClosedOutwardMeshes)
{
    std::mt19937 rng(20261208);
    for (int trial = 0; trial < 120; ++trial) {
        int resolution = 1 + trial % 2;
        std::string what = "trial " + std::to_string(trial);
        BallField field;
        if (trial % 4 == 3) {
            // Small balls down to one voxel, at any distance scale.
            field.units_per_voxel = 1 + trial % 88;
            field.balls = separated_balls(rng, 18, 6, 1.0 * resolution, 2.5 * resolution, 2.2 * resolution);
            expect_closed(triangulate_balls(field, 18, resolution), what);
            continue;
        }
        int n = 20 + trial % 9;
        // Fine distances as a volume gives them, and coarse ones with many ties.
        field.units_per_voxel = trial % 3 == 0 ? 3 : 88;
        // Surfaces farther apart than the longest lattice edge (1.41 steps).
        field.balls = separated_balls(rng, n, 4, 2.0 * resolution, n / 4.0, 2.2 * resolution);
        Outcome o = triangulate_balls(field, n, resolution);
        ASSERT_GT(o.mesh.triangles.size(), 0u) << what;
        expect_closed(o, what);
        if (field.units_per_voxel < 88) continue;  // the surface moves by up to a third of a voxel
        expect_outward(o, field.balls, what);
        EXPECT_EQ(o.report.euler, 2 * static_cast<long>(field.balls.size())) << what;
    }
}

// Where two sheets of the surface pass between the same lattice points (a
// gap between two balls narrower than the lattice step, a sharp crease, a
// ball barely larger than the step) grouping may join both sheets at one
// edge; those points keep their edges apart (see the thin vee below), so the
// meshes stay closed and manifold, and such points stay rare.
TEST(ClosedSurface, OverlappingBallsAreClosedAndFaceOutwards)
{
    std::mt19937 rng(5);
    long kept_apart = 0, triangles = 0;
    for (int trial = 0; trial < 80; ++trial) {
        int resolution = 1 + trial % 2;
        int n = 20 + trial % 9;
        BallField field;
        field.balls = random_balls(rng, n, 6, 1.0, n / 4.0);
        std::string what = "trial " + std::to_string(trial);
        Outcome o = triangulate_balls(field, n, resolution);
        expect_closed(o, what);
        EXPECT_FALSE(o.walk.plain) << what;
        kept_apart += o.walk.points_kept_apart;
        triangles += static_cast<long>(o.mesh.triangles.size());
        expect_closed(triangulate_balls(field, n, resolution, false), "plain " + what);
        // Resolved balls have good normals even where others overlap them.
        bool all_large = true;
        for (const Ball& b : field.balls) all_large &= b.radius >= 2.0 * resolution;
        if (all_large) expect_outward(o, field.balls, what);
    }
    EXPECT_LT(kept_apart * 2000, triangles) << kept_apart << " points kept apart for " << triangles << " triangles";
}

// Noise inside the grid: many tiny components, saddles and single points.
TEST(ClosedSurface, NoiseFieldsAreClosedWithAndWithoutGrouping)
{
    struct Noise {
        std::vector<int16_t> values;
        int lx, ly;
        static int16_t sample(void* c, int i, int j, int k, Vector3, uint32_t* colour)
        {
            Noise& n = *static_cast<Noise*>(c);
            *colour = 0x00102010u;
            return n.values[(k * n.ly + j) * n.lx + i];
        }
    };
    std::mt19937 rng(99);
    for (int trial = 0; trial < 40; ++trial) {
        // The noise fills a block in the middle; the lattice around it keeps
        // the mesh within the block lists' limit.
        int bx = 4 + trial % 5, by = 4 + trial % 6, bz = 4 + trial % 4;
        int lx = 2 * bx, ly = 2 * by + 4, lz = 2 * bz;
        std::uniform_int_distribution<int> value(trial % 2 ? -3 : -300, trial % 2 ? 2 : 300);
        Noise noise{std::vector<int16_t>(static_cast<size_t>(lx * ly * lz)), lx, ly};
        for (int k = 0; k < lz; ++k)
            for (int j = 0; j < ly; ++j)
                for (int i = 0; i < lx; ++i) {
                    bool border = i < 1 || j < 2 || k < 1 || i > bx || j > by + 1 || k > bz;
                    noise.values[(k * ly + j) * lx + i] = border ? -100 : static_cast<int16_t>(value(rng));
                }
        std::string what = "trial " + std::to_string(trial);
        expect_closed(triangulate_fixed(lx, ly, lz, Noise::sample, &noise, false), "plain " + what);
        expect_closed(triangulate_fixed(lx, ly, lz, Noise::sample, &noise, true), what);
    }
}

TEST(ClosedSurface, SphereIsAccurateAndSmallerThanPlainMarching)
{
    BallField field;
    field.balls = {{{12.3, 11.8, 12.1}, 6.4}};
    for (int resolution = 1; resolution <= 3; ++resolution) {
        Outcome o = triangulate_balls(field, 25, resolution);
        Outcome plain = triangulate_balls(field, 25, resolution, false);
        expect_closed(o, "sphere");
        expect_closed(plain, "plain sphere");
        EXPECT_EQ(o.report.euler, 2);
        EXPECT_EQ(plain.report.euler, 2);
        expect_outward(o, field.balls, "sphere");
        expect_outward(plain, field.balls, "plain sphere");
        EXPECT_LT(o.mesh.triangles.size() * 2, plain.mesh.triangles.size()) << resolution;
        for (const MeshVertex& v : o.mesh.vertices)
            EXPECT_NEAR(ball_distance(field.balls, voxel_position(v, o.lattice)), 0.0, 0.2 * resolution);
    }
}

// One inside point, its 14 neighbours outside and farther from the surface:
// no clustering, one vertex per edge and one triangle per tetrahedron.
TEST(ClosedSurface, SingleInsidePointGivesAPolyhedronOfTwentyFourTriangles)
{
    auto sample = [](void*, int i, int j, int k, Vector3, uint32_t* colour) -> int16_t {
        *colour = 0;
        return i == 2 && j == 4 && k == 2 ? 10 : -100;
    };
    for (bool regularise : {false, true}) {
        Outcome o = triangulate_fixed(5, 9, 5, sample, nullptr, regularise);
        expect_closed(o, regularise ? "regularised" : "plain");
        EXPECT_EQ(o.mesh.vertices.size(), 14u);
        EXPECT_EQ(o.mesh.triangles.size(), 24u);
        EXPECT_EQ(o.report.euler, 2);
        EXPECT_GT(signed_volume(o.mesh), 0);
    }
}

// The smallest configuration found in which grouping alone would join two
// sheets at one edge: in one slice, an outside point O just below the
// surface and three inside points A1 = O + (-1, 1, 0), A2 = O + (1, 1, 0) and
// A3 = O + (0, 2, 0), all other points far outside. O owns its three
// crossing edges (7, 8, 9) and groups them; A3 owns eleven edges and groups
// them too, since A1 and A2 are deeper inside than the neighbours are
// outside. The two tetrahedra on either side of the plane O, A1, A3 (and of
// O, A2, A3) would each keep one triangle, so the edge between the vertices
// of O and A3 would carry four triangles: a second walk keeps those two
// points' edges apart.
TEST(ClosedSurface, ThinVeeOfThreeInsidePointsStaysManifold)
{
    auto vee = [](void*, int i, int j, int k, Vector3, uint32_t* colour) -> int16_t {
        *colour = 0;
        if (k != 1) return -100;
        if (i == 2 && j == 3) return -5;               // O
        if ((i == 1 || i == 3) && j == 4) return 101;  // A1, A2
        if (i == 2 && j == 5) return 20;               // A3
        return -100;
    };
    Outcome plain = triangulate_fixed(5, 8, 3, vee, nullptr, false);
    expect_closed(plain, "plain");
    EXPECT_EQ(plain.report.euler, 2);

    Outcome o = triangulate_fixed(5, 8, 3, vee, nullptr, true);
    expect_closed(o, "regularised");
    EXPECT_EQ(o.report.euler, 2);
    EXPECT_EQ(o.walk.extra_walks, 1);
    EXPECT_EQ(o.walk.points_kept_apart, 2);
    EXPECT_FALSE(o.walk.plain);
}

}  // namespace
