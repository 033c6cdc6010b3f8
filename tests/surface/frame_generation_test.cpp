// Frames of a morph of volumes filled with ball distances.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch_state.h"
#include "shape/shape_support.h"
#include "surface/frame_generation.h"
#include "surface/frame_values.h"
#include "shape/field_summary.h"
#include "surface/mesh_checks.h"
#include "surface/walk_parts.h"

using namespace kestrane;

using namespace surface_test;

namespace {

// A frame of the volumes in the global record, as the frame driver asks for it.
LatticeField frame_lattice() { return ::frame_lattice(app.volume_dims, app.sample_grid_dims, app.resolution); }
int triangulate_frame(SurfaceMesh* mesh, int frame)
{
    const MorphInputs in = inputs();
    FrameRequest request;
    request.inputs = &in;
    request.lattice = frame_lattice();
    request.frame = frame;
    request.frame_count = app.frame_count;
    return ::triangulate_frame(request, mesh);
}

class FrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        release_volumes();
    }
    void TearDown() override { release_volumes(); }

    // Both volumes n voxels a side, filled with the distances of two ball
    // sets in chamfer units; the lattice counts as the sizing pass sets them.
    void install_balls(int n, const std::vector<Ball>& source, const std::vector<Ball>& target, int resolution)
    {
        app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = static_cast<int16_t>(n);
        app.resolution = static_cast<uint16_t>(resolution);
        LatticeField f = lattice_over(n, n, n, resolution);
        app.sample_grid_dims[0] = static_cast<int16_t>(f.lx);
        app.sample_grid_dims[1] = static_cast<int16_t>(f.ly);
        app.sample_grid_dims[2] = static_cast<int16_t>(f.lz);
        const std::vector<Ball>* sets[2] = {&source, &target};
        for (int v = 0; v < 2; ++v) {
            app.volumes[v].voxels.reset(new Voxel[static_cast<size_t>(n) * n * n]);
            for (int z = 0; z < n; ++z)
                for (int y = 0; y < n; ++y)
                    for (int x = 0; x < n; ++x) {
                        double d = sets[v]->empty() ? -1e9 : ball_distance(*sets[v], {double(x), double(y), double(z)});
                        double units = std::max(-32000.0, std::min(32000.0, std::trunc(d * DISTANCE_UNITS)));
                        uint32_t colour = v == 0 ? 0x00000a1fu : 0x001f3f00u;
                        app.volumes[v].voxels[(static_cast<size_t>(z) * n + y) * n + x] =
                            Voxel{static_cast<int16_t>(units), colour};
                    }
        }
    }

    // The mesh of one volume sampled directly on the frame's lattice.
    static SurfaceMesh direct_mesh(int volume)
    {
        static int side;
        side = volume;
        LatticeField f = frame_lattice();
        f.sample = [](void*, int, int, int, Vector3 x, uint32_t* colour) -> int16_t {
            *colour = sample_colour(side, x.x, x.y, x.z);
            return sample_distance(side, x.x, x.y, x.z);
        };
        SurfaceMesh mesh;
        EXPECT_EQ(triangulate_lattice(f, &mesh), 0);
        return mesh;
    }
};

bool same_mesh(const SurfaceMesh& a, const SurfaceMesh& b)
{
    return a.vertices.size() == b.vertices.size() && a.triangles.size() == b.triangles.size() &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)) == 0 &&
           std::memcmp(a.triangles.data(), b.triangles.data(), a.triangles.size() * sizeof(MeshTriangle)) == 0;
}

TEST_F(FrameTest, EveryFrameOfABallMorphIsClosedAndFacesOutwards)
{
    std::mt19937 rng(17);
    for (int trial = 0; trial < 6; ++trial) {
        int n = 24, resolution = 1 + trial % 2;
        std::vector<Ball> source = separated_balls(rng, n, 2, 2.0 * resolution, 6.0, 2.2 * resolution);
        std::vector<Ball> target = separated_balls(rng, n, 2, 2.0 * resolution, 6.0, 2.2 * resolution);
        install_balls(n, source, target, resolution);
        app.quick_morph = trial % 2 == 0;
        app.frame_count = 7;
        for (int frame = 0; frame < app.frame_count; ++frame) {
            SurfaceMesh mesh;
            ASSERT_EQ(triangulate_frame(&mesh, frame), 0);
            MeshReport r = check_mesh(mesh);
            std::string what = "trial " + std::to_string(trial) + " frame " + std::to_string(frame);
            EXPECT_TRUE(r.closed()) << what << ": " << r.unbalanced_edges << " unbalanced, " << r.pinched_edges
                                    << " pinched";
            EXPECT_EQ(r.degenerate, 0) << what;
            EXPECT_GT(mesh.triangles.size(), 0u) << what;
            EXPECT_GT(signed_volume(mesh), 0) << what;
            // Normals lead down the field: one step along the normal lowers it.
            long lower = 0;
            for (const MeshVertex& v : mesh.vertices) {
                uint32_t colour;
                Vector3 x = voxel_position(v, frame_lattice());
                Vector3 n = vec_normalise({double(v.nx), double(v.ny), double(v.nz)});
                double t = double(frame) / (app.frame_count - 1);
                lower += morph_sample(vec_add_scaled(x, n, 0.5), t, &colour) <
                         morph_sample(vec_add_scaled(x, n, -0.5), t, &colour);
            }
            EXPECT_GE(lower * 100, static_cast<long>(mesh.vertices.size()) * 99) << what;
        }
    }
}

TEST_F(FrameTest, FirstAndLastFramesReproduceTheTwoSurfaces)
{
    install_balls(22, {{{9.5, 10.2, 11.0}, 5.0}}, {{{12.0, 11.0, 9.0}, 4.0}, {{6.0, 6.5, 6.0}, 2.5}}, 1);
    // A manual vector moves the frames in between but not the ends.
    app.vectors.push_back({{9.5, 10.2, 16.0}, {12.0, 11.0, 13.0}});
    app.frame_count = 5;
    SurfaceMesh first, last, middle;
    ASSERT_EQ(triangulate_frame(&first, 0), 0);
    ASSERT_EQ(triangulate_frame(&last, 4), 0);
    ASSERT_EQ(triangulate_frame(&middle, 2), 0);
    EXPECT_TRUE(same_mesh(first, direct_mesh(0)));
    EXPECT_TRUE(same_mesh(last, direct_mesh(1)));
    EXPECT_FALSE(same_mesh(middle, first));
    EXPECT_EQ(check_mesh(first).euler, 2);
    EXPECT_EQ(check_mesh(last).euler, 4);
    // Source colours at the start, target colours at the end.
    EXPECT_EQ(first.vertices[0].colour, 0x00000a1fu);
    EXPECT_EQ(last.vertices[0].colour, 0x001f3f00u);
}

// Frames share nothing but their read-only inputs: built on several threads
// at once they equal the frames built one by one.
TEST_F(FrameTest, FramesBuiltConcurrentlyEqualFramesBuiltOneByOne)
{
    install_balls(26, {{{9.5, 10.2, 11.0}, 5.0}, {{17.0, 15.0, 14.0}, 3.5}},
                  {{{12.0, 11.0, 9.0}, 4.0}, {{6.0, 6.5, 6.0}, 2.5}}, 1);
    app.locality = 0.5;
    ASSERT_EQ(extract_spheres(0), 0);
    ASSERT_EQ(extract_spheres(1), 0);
    app.vectors.push_back({{9.5, 10.2, 16.0}, {12.0, 11.0, 13.0}});
    ASSERT_EQ(correspond_spheres(), 0);
    app.frame_count = 6;
    std::vector<SurfaceMesh> sequential(app.frame_count);
    for (int f = 0; f < app.frame_count; ++f) ASSERT_EQ(triangulate_frame(&sequential[f], f), 0);

    // Every frame twice, so that two threads also build the same frame.
    const MorphInputs in = inputs();
    std::vector<SurfaceMesh> concurrent(2 * app.frame_count);
    std::vector<int> status(concurrent.size(), -1);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < concurrent.size(); ++i)
        threads.emplace_back([&, i] {
            FrameRequest request;
            request.inputs = &in;
            request.lattice = frame_lattice();
            request.frame = static_cast<int>(i) % app.frame_count;
            request.frame_count = app.frame_count;
            status[i] = ::triangulate_frame(request, &concurrent[i]);
        });
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < concurrent.size(); ++i) {
        EXPECT_EQ(status[i], 0) << i;
        EXPECT_TRUE(same_mesh(concurrent[i], sequential[i % app.frame_count])) << "frame " << i % app.frame_count;
    }
}

// The fast evaluation (bounds, exact values only where the walk reads them,
// vector lanes, threads) gives the very mesh of evaluating morph_sample at
// every lattice point, for every kind of morph.
TEST_F(FrameTest, FastFramesEqualExhaustiveFramesBitForBit)
{
    std::mt19937 rng(99);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    long skipped = 0, points = 0;
    for (int trial = 0; trial < 12; ++trial) {
        const int n = 22 + trial % 5, resolution = 1 + trial % 3;
        install_balls(n, separated_balls(rng, n, 3, 2.0, 6.0, 2.5), separated_balls(rng, n, 3, 2.0, 6.0, 2.5),
                      resolution);
        app.quick_morph = trial % 4 == 3;
        app.locality = 0.3;
        for (int i = 0; i < trial % 3; ++i)
            app.vectors.push_back({{uniform(4, n - 4), uniform(4, n - 4), uniform(4, n - 4)},
                                   {uniform(4, n - 4), uniform(4, n - 4), uniform(4, n - 4)}});
        if (!app.quick_morph) {
            ASSERT_EQ(extract_spheres(0), 0);
            ASSERT_EQ(extract_spheres(1), 0);
            ASSERT_EQ(correspond_spheres(), 0);
            for (int v = 0; v < 2; ++v)
                for (Vector3& shift : app.volumes[v].sphere_shift)
                    shift = vec_add_scaled(shift, {uniform(-2, 2), uniform(-2, 2), uniform(-2, 2)}, 1.0);
        }
        const FieldSummary summaries[2] = {summarise_field(field(0)), summarise_field(field(1))};
        MorphInputs in = inputs();
        in.summaries = summaries;
        app.frame_count = 5;
        for (int frame = 0; frame < app.frame_count; ++frame) {
            FrameRequest request;
            request.inputs = &in;
            request.lattice = frame_lattice();
            request.frame = frame;
            request.frame_count = app.frame_count;
            request.exhaustive = true;
            SurfaceMesh exhaustive;
            ASSERT_EQ(::triangulate_frame(request, &exhaustive), 0);
            request.exhaustive = false;
            for (int threads : {1, 3}) {
                FrameValueStats stats;
                request.threads = threads;
                request.stats = &stats;
                SurfaceMesh fast;
                ASSERT_EQ(::triangulate_frame(request, &fast), 0);
                EXPECT_TRUE(same_mesh(fast, exhaustive)) << "trial " << trial << " frame " << frame << " threads "
                                                         << threads;
                // No point is evaluated twice.
                EXPECT_LE(stats.exact, stats.points);
                EXPECT_LE(stats.exact_afterwards, stats.exact);
                skipped += stats.points - stats.exact;
                points += stats.points;
            }
        }
    }
    // Most points of these lattices lie far from the surface.
    EXPECT_GT(skipped * 2, points);
}

// A lattice deep enough to be walked in parts: on any number of threads the
// mesh and the slices reported are those of one walk, grouping re-walks
// included.
TEST_F(FrameTest, FramesWalkedInPartsEqualOneWalk)
{
    std::mt19937 rng(7);
    struct Reports {
        std::vector<std::pair<int, long>> slices;
        static void slice(void* context, int, long triangles)
        {
            Reports& r = *static_cast<Reports*>(context);
            r.slices.push_back({static_cast<int>(r.slices.size()), triangles});
        }
    };
    long parted = 0;
    for (int trial = 0; trial < 4; ++trial) {
        const int n = 60 + 7 * trial;
        install_balls(n, separated_balls(rng, n, 6, 3.0, 9.0, 2.0), separated_balls(rng, n, 6, 3.0, 9.0, 2.0), 1);
        app.locality = 0.3;
        ASSERT_EQ(extract_spheres(0), 0);
        ASSERT_EQ(extract_spheres(1), 0);
        ASSERT_EQ(correspond_spheres(), 0);
        const FieldSummary summaries[2] = {summarise_field(field(0)), summarise_field(field(1))};
        MorphInputs in = inputs();
        in.summaries = summaries;
        for (int frame : {0, 2, 3}) {
            FrameRequest request;
            request.inputs = &in;
            request.lattice = frame_lattice();
            request.frame = frame;
            request.frame_count = 5;
            request.regularise = trial != 3;
            FrameValues values;
            request.values = &values;
            request.progress.slice_done = Reports::slice;
            Reports one;
            request.progress.context = &one;
            SurfaceMesh reference;
            ASSERT_EQ(::triangulate_frame(request, &reference), 0);
            for (int threads : {2, 3, 5}) {
                request.threads = threads;
                Reports parts;
                request.progress.context = &parts;
                SurfaceMesh mesh;
                ASSERT_EQ(::triangulate_frame(request, &mesh), 0);
                EXPECT_TRUE(same_mesh(mesh, reference)) << "trial " << trial << " frame " << frame << " threads " << threads;
                EXPECT_EQ(parts.slices, one.slices) << "trial " << trial << " frame " << frame << " threads " << threads;
                // The same walk over the values kept, told how it went.
                LatticeField walk = request.lattice;
                walk.values = &values;
                walk.threads = threads;
                walk.regularise = request.regularise;
                WalkReport report;
                walk.report = &report;
                SurfaceMesh walked;
                ASSERT_EQ(triangulate_lattice(walk, &walked), 0);
                EXPECT_TRUE(same_mesh(walked, reference));
                const size_t starts = walk_part_starts(values, threads).size();
                EXPECT_EQ(report.parts, static_cast<int>(starts)) << "trial " << trial << " frame " << frame;
                parted += starts > 1;
            }
        }
    }
    EXPECT_GT(parted, 20);
}

// A field too busy for the block lists: the walk stops in order and the mesh
// is left as it was.
TEST_F(FrameTest, ASurfaceTooLargeForTheBlockListsStopsTheFrame)
{
    // Alternate slices inside and outside: eight of every point's edges cross.
    auto layers = [](void*, int i, int j, int k, Vector3, uint32_t* colour) -> int16_t {
        *colour = 0;
        bool border = i == 0 || j < 2 || k == 0 || i == 11 || j > 17 || k == 11;
        return border || k % 2 == 0 ? -50 : 40;
    };
    LatticeField f;
    f.lx = 12;
    f.ly = 20;
    f.lz = 12;
    f.sample = layers;
    f.regularise = false;
    SurfaceMesh mesh;
    mesh.vertices.resize(2);
    int status = triangulate_lattice(f, &mesh);
    EXPECT_TRUE(status == LATTICE_TRIANGLES_RAN_OUT || status == LATTICE_POINTS_RAN_OUT) << status;
    EXPECT_EQ(mesh.vertices.size(), 2u);
}

}  // namespace
