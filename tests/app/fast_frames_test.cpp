// Frames of real loads, fast against exhaustive: the bundled examples, and
// meshes of the corpus when it is there (scripts/fetch-corpus).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "surface/displacement_cache.h"
#include "surface/frame_generation.h"
#include "surface/frame_values.h"

using namespace kestrane;

namespace {

bool exists(const std::string& path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

bool same_mesh(const SurfaceMesh& a, const SurfaceMesh& b)
{
    return a.vertices.size() == b.vertices.size() && a.triangles.size() == b.triangles.size() &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)) == 0 &&
           std::memcmp(a.triangles.data(), b.triangles.data(), a.triangles.size() * sizeof(MeshTriangle)) == 0;
}

// Loads the pair and compares the frames of a morph in `frames` steps.
void expect_fast_equals_exhaustive(const std::string& source, const std::string& target, int points, bool quick,
                                   int resolution, int frames)
{
    app_state_init();
    status_reset();
    app.source_path = source;
    app.target_path = target;
    app.min_points = static_cast<uint16_t>(points);
    app.quick_morph = quick;
    app.resolution = static_cast<uint16_t>(resolution);
    app.frame_count = static_cast<uint16_t>(frames);
    ASSERT_EQ(run_pipeline(), PIPELINE_DONE) << source;
    if (!app.quick_morph) {
        ASSERT_EQ(link_spheres(), 0);
    }
    const MorphInputs in = morph_inputs();
    ASSERT_NE(in.summaries, nullptr);
    long blocks = 0, paged = 0;
    for (int frame = 0; frame < frames; ++frame) {
        FrameRequest request = frame_request(in, frame);
        request.exhaustive = true;
        SurfaceMesh exhaustive, fast;
        ASSERT_EQ(triangulate_frame(request, &exhaustive), 0);
        request.exhaustive = false;
        request.threads = 2;
        FrameValueStats stats;
        request.stats = &stats;
        ASSERT_EQ(triangulate_frame(request, &fast), 0);
        EXPECT_TRUE(same_mesh(fast, exhaustive)) << source << " -> " << target << " frame " << frame;
        blocks += stats.blocks;
        paged += stats.value_blocks;
    }
    // Blocks settled whole hold one sign and no page of values.
    EXPECT_GT(paged, 0) << source;
    EXPECT_LT(paged, blocks) << source;
    release_volumes();
}

using Case = std::tuple<const char*, const char*, int, bool, int>;
class FastFrames : public testing::TestWithParam<Case> {};

TEST_P(FastFrames, EqualExhaustiveFrames)
{
    auto [source, target, points, quick, resolution] = GetParam();
    const std::string examples = std::string(KESTRANE_SOURCE_DIR) + "/examples/";
    expect_fast_equals_exhaustive(examples + source, examples + target, points, quick, resolution, 4);
}

INSTANTIATE_TEST_SUITE_P(Examples, FastFrames,
                         testing::Values(Case{"box.off", "torus.off", 30, false, 1},
                                         Case{"cube_coloured.off", "two_spheres.off", 24, false, 2},
                                         Case{"icosphere.off", "blob_normals.off", 26, true, 1},
                                         Case{"torus.off", "box.off", 28, false, 3}));

// Real meshes written by others, when the corpus has been fetched.
TEST(FastFramesOnTheCorpus, EqualExhaustiveFrames)
{
    const std::string corpus = std::string(KESTRANE_SOURCE_DIR) + "/corpus/cgal/";
    if (!exists(corpus + "MANIFEST")) GTEST_SKIP() << "no corpus (scripts/fetch-corpus)";
    const std::string examples = std::string(KESTRANE_SOURCE_DIR) + "/examples/";
    const Case cases[] = {Case{"cube.off", "tetrahedron.off", 24, false, 1},
                          Case{"bunny00.off", "armadillo.off", 28, false, 1},
                          Case{"elephant.off", "cow.off", 26, false, 2},
                          Case{"cube-shuffled.off", "blobby-shuffled.off", 24, true, 1}};
    for (const Case& c : cases)
        expect_fast_equals_exhaustive(corpus + std::get<0>(c), corpus + std::get<1>(c), std::get<2>(c), std::get<3>(c),
                                      std::get<4>(c), 3);
}

// Frames that share the spheres' displacements (in any order, on any
// threads, with a budget that runs out midway) equal frames that compute
// their own, and the exhaustive ones.
class FastFramesSharingDisplacements : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        status_reset();
        app.source_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/torus.off";
        app.target_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/cube_coloured.off";
        app.min_points = 26;
        app.frame_count = 8;
        ASSERT_EQ(run_pipeline(), PIPELINE_DONE);
        ASSERT_EQ(link_spheres(), 0);
        inputs = morph_inputs();
        for (int frame = 0; frame < app.frame_count; ++frame) {
            FrameRequest request = frame_request(inputs, frame);
            request.displacements = nullptr;
            request.threads = 1;
            alone.emplace_back();
            ASSERT_EQ(triangulate_frame(request, &alone.back()), 0);
        }
    }
    void TearDown() override { release_volumes(); }

    // Frame `frame` with the given cache, on `threads` threads.
    SurfaceMesh shared(int frame, const std::shared_ptr<DisplacementCache>& cache, int threads)
    {
        FrameRequest request = frame_request(inputs, frame);
        request.displacements = cache;
        request.threads = threads;
        SurfaceMesh mesh;
        EXPECT_EQ(triangulate_frame(request, &mesh), 0);
        return mesh;
    }

    MorphInputs inputs;
    std::vector<SurfaceMesh> alone;
};

TEST_F(FastFramesSharingDisplacements, InOrderBackwardsAndOnTwoThreads)
{
    const LatticeField lattice = frame_request(inputs, 0).lattice;
    for (int threads : {1, 2}) {
        auto cache = make_displacement_cache(lattice, 1 << 28);
        ASSERT_TRUE(cache);
        for (int frame = 0; frame < app.frame_count; ++frame)
            EXPECT_TRUE(same_mesh(shared(frame, cache, threads), alone[frame])) << frame << ", " << threads;
        // Everything kept now: the same frames again, last first.
        for (int frame = app.frame_count - 1; frame >= 0; --frame)
            EXPECT_TRUE(same_mesh(shared(frame, cache, threads), alone[frame])) << frame << ", " << threads;
    }
    FrameRequest request = frame_request(inputs, 3);
    request.exhaustive = true;
    SurfaceMesh exhaustive;
    ASSERT_EQ(triangulate_frame(request, &exhaustive), 0);
    EXPECT_TRUE(same_mesh(exhaustive, alone[3]));
}

// A thread builds frame after frame in one FrameValues: the frames equal
// frames built in fresh ones, in order, backwards, after a smaller lattice
// and with the shared cache.
TEST_F(FastFramesSharingDisplacements, FramesBuiltInKeptValuesEqualFreshOnes)
{
    FrameValues kept;
    auto in_kept = [&](int frame, const LatticeField* lattice, const std::shared_ptr<DisplacementCache>& cache) {
        FrameRequest request = frame_request(inputs, frame);
        if (lattice) request.lattice = *lattice;
        request.displacements = cache;
        request.values = &kept;
        SurfaceMesh mesh;
        EXPECT_EQ(triangulate_frame(request, &mesh), 0);
        return mesh;
    };
    for (int frame = 0; frame < app.frame_count; ++frame)
        EXPECT_TRUE(same_mesh(in_kept(frame, nullptr, nullptr), alone[frame])) << frame;
    LatticeField smaller = frame_request(inputs, 0).lattice;
    smaller.lx -= 5, smaller.ly -= 3, smaller.lz -= 7;
    FrameRequest fresh = frame_request(inputs, 4);
    fresh.lattice = smaller;
    fresh.displacements = nullptr;
    SurfaceMesh expected;
    ASSERT_EQ(triangulate_frame(fresh, &expected), 0);
    EXPECT_TRUE(same_mesh(in_kept(4, &smaller, nullptr), expected));
    auto cache = make_displacement_cache(frame_request(inputs, 0).lattice, 1 << 28);
    for (int frame = app.frame_count - 1; frame >= 0; --frame)
        EXPECT_TRUE(same_mesh(in_kept(frame, nullptr, cache), alone[frame])) << frame;
}

// A frame without a cache that puts off every colour it can (to when its
// crossings are known) gives the same frames.
TEST_F(FastFramesSharingDisplacements, ColoursPutOffEqualColoursAtOnce)
{
    const int before = use_colours_now_within(0);
    for (int frame = 0; frame < app.frame_count; ++frame) {
        FrameRequest request = frame_request(inputs, frame);
        request.displacements = nullptr;
        request.threads = 2;
        SurfaceMesh mesh;
        ASSERT_EQ(triangulate_frame(request, &mesh), 0);
        EXPECT_TRUE(same_mesh(mesh, alone[frame])) << frame;
    }
    use_colours_now_within(before);
}

TEST_F(FastFramesSharingDisplacements, TwoFramesAtOnceShareOneCache)
{
    auto cache = make_displacement_cache(frame_request(inputs, 0).lattice, 1 << 28);
    ASSERT_TRUE(cache);
    std::vector<SurfaceMesh> built(static_cast<size_t>(app.frame_count));
    std::thread odd([&] {
        for (int frame = 1; frame < app.frame_count; frame += 2) built[frame] = shared(frame, cache, 2);
    });
    for (int frame = 0; frame < app.frame_count; frame += 2) built[frame] = shared(frame, cache, 2);
    odd.join();
    for (int frame = 0; frame < app.frame_count; ++frame) EXPECT_TRUE(same_mesh(built[frame], alone[frame])) << frame;
}

TEST_F(FastFramesSharingDisplacements, ABudgetSpentMidwayChangesNothing)
{
    const LatticeField lattice = frame_request(inputs, 0).lattice;
    const long blocks = static_cast<long>((lattice.lx + 7) / 8) * ((lattice.ly + 7) / 8) * ((lattice.lz + 7) / 8);
    for (int64_t room : {int64_t(0), int64_t(20000), int64_t(400000)}) {
        auto cache = make_displacement_cache(lattice, blocks * (8 + 2 + int64_t(sizeof(BoxShift))) + room);
        ASSERT_TRUE(cache);
        for (int frame = 1; frame < app.frame_count - 1; ++frame)
            EXPECT_TRUE(same_mesh(shared(frame, cache, 2), alone[frame])) << frame << ", room " << room;
        EXPECT_TRUE(cache_full(*cache) || room == 400000) << room;
    }
}

}  // namespace
