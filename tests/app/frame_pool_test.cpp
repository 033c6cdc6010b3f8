// Frames built on worker threads come out in order and equal frames built
// one by one; stopping the pool midway leaves nothing running.
#include "morph/frame_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"

using namespace kestrane;

namespace {

class FramePoolTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        status_reset();
        app.source_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/box.off";
        app.target_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/two_spheres.off";
        app.min_points = 18;
        app.frame_count = 7;
        ASSERT_EQ(run_pipeline(), PIPELINE_DONE);
        ASSERT_EQ(link_spheres(), 0);
    }
    void TearDown() override
    {
        release_volumes();
        status_reset();
    }
};

bool same_mesh(const SurfaceMesh& a, const SurfaceMesh& b)
{
    return a.vertices.size() == b.vertices.size() && a.triangles.size() == b.triangles.size() &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)) == 0 &&
           std::memcmp(a.triangles.data(), b.triangles.data(), a.triangles.size() * sizeof(MeshTriangle)) == 0;
}

TEST_F(FramePoolTest, FramesComeInOrderAndEqualFramesBuiltOneByOne)
{
    const MorphInputs inputs = morph_inputs();
    for (int workers : {1, 3}) {
        FrameRequest request = frame_request(inputs, 0);
        request.threads = 2;
        auto pool = start_frame_pool(inputs, request, 2, 7, workers);
        for (int frame = 2; frame < 7; ++frame) {
            SurfaceMesh pooled, alone;
            ASSERT_EQ(take_frame(*pool, &pooled), 0);
            ASSERT_EQ(triangulate_current_frame(&alone, frame), 0);
            EXPECT_TRUE(same_mesh(pooled, alone)) << "frame " << frame << ", " << workers << " workers";
        }
    }
}

TEST_F(FramePoolTest, StoppingMidwayCancelsTheFramesInFlight)
{
    const MorphInputs inputs = morph_inputs();
    const FrameRequest request = frame_request(inputs, 0);
    auto pool = start_frame_pool(inputs, request, 0, 7, 3);
    SurfaceMesh first;
    ASSERT_EQ(take_frame(*pool, &first), 0);
    EXPECT_GT(first.triangles.size(), 0u);
    stop_frame_pool(*pool);
    EXPECT_TRUE(pool->workers.empty());
    // A pool without a thread builds each frame as it is taken.
    auto lone = start_frame_pool(inputs, request, 5, 6, 0);
    SurfaceMesh last;
    EXPECT_EQ(take_frame(*lone, &last), 0);
    EXPECT_GT(last.triangles.size(), 0u);
}

}  // namespace
