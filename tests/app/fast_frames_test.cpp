// Frames of real loads, fast against exhaustive: the bundled examples, and
// meshes of the corpus when it is there (scripts/fetch-corpus).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <tuple>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "surface/frame_generation.h"

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
    for (int frame = 0; frame < frames; ++frame) {
        FrameRequest request = frame_request(in, frame);
        request.exhaustive = true;
        SurfaceMesh exhaustive, fast;
        ASSERT_EQ(triangulate_frame(request, &exhaustive), 0);
        request.exhaustive = false;
        request.threads = 2;
        ASSERT_EQ(triangulate_frame(request, &fast), 0);
        EXPECT_TRUE(same_mesh(fast, exhaustive)) << source << " -> " << target << " frame " << frame;
    }
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

}  // namespace
