// The frame driver on the real load: every frame of the example morphs, its
// progress messages and what a file that cannot be written does.
#include "app/frame_driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "shape/sphere_candidates.h"
#include "surface/mesh_checks.h"

using namespace kestrane;

using namespace surface_test;

namespace {

std::vector<std::string> messages;
void record(StatusKind, const char* text) { messages.push_back(text); }

std::string example(const char* name) { return std::string(KESTRANE_SOURCE_DIR) + "/examples/" + name; }

class FrameDriverTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        release_volumes();
        status_reset();
        status_hooks.report = record;
        messages.clear();
    }
    void TearDown() override
    {
        release_volumes();
        status_reset();
    }
    static void load(const char* source, const char* target, int points)
    {
        app.source_path = example(source);
        app.target_path = example(target);
        app.min_points = static_cast<uint16_t>(points);
        ASSERT_EQ(run_pipeline(), PIPELINE_DONE);
    }
};

TEST_F(FrameDriverTest, ProgressAfterEachSliceAndTheTotalAtTheEnd)
{
    app.quick_morph = true;
    app.frame_count = 12;
    load("icosphere.off", "torus.off", 16);
    messages.clear();
    SurfaceMesh mesh;
    ASSERT_EQ(build_frame(10, &mesh, FAILURES_END_RUN), FRAME_BUILT);
    const int lz = app.sample_grid_dims[2];
    ASSERT_EQ(static_cast<int>(messages.size()), lz + 1);
    EXPECT_EQ(messages[0], "Frame 11 of 12 - 0 triangles so far");
    EXPECT_EQ(messages[lz - 1], "Frame 11 of 12 - " + std::to_string(mesh.triangles.size()) + " triangles so far");
    EXPECT_EQ(messages[lz], "Frame 11 of 12 - " + std::to_string(mesh.triangles.size()) + " triangles");
}

// The batch tool stops at a file it cannot write; the viewer says so once,
// stops writing and goes on.
TEST_F(FrameDriverTest, AnUnwritableFileEndsTheRunOrSwitchesOutputOff)
{
    app.quick_morph = true;
    app.frame_count = 3;
    load("icosphere.off", "torus.off", 12);
    app.output_base = "/nonexistent-directory/m";
    app.output_format = SURFACE_FORMAT_OOGL;
    SurfaceMesh mesh;
    EXPECT_EQ(build_frame(1, &mesh, FAILURES_END_RUN), FRAME_NOT_WRITTEN);
    EXPECT_GT(mesh.triangles.size(), 0u);
    EXPECT_EQ(status_line.status_state, STATUS_FATAL);
    EXPECT_STREQ(status_line.notice_text, "Could not write `/nonexistent-directory/m002.off': No such file or directory");

    status_reset();
    EXPECT_EQ(build_frame(1, &mesh, FAILURES_KEEP_RUNNING), FRAME_NOT_WRITTEN);
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_STREQ(status_line.notice_text,
                 "Could not write `/nonexistent-directory/m002.off' - file output is off");
    EXPECT_EQ(app.output_format, SURFACE_FORMAT_NONE);
    EXPECT_EQ(build_frame(2, &mesh, FAILURES_KEEP_RUNNING), FRAME_BUILT);
}

// A frame asked not to share works out its own displacements, keeps none
// for later frames and is the same frame.
TEST_F(FrameDriverTest, AFrameOfItsOwnKeepsNoDisplacements)
{
    app.frame_count = 5;
    load("box.off", "torus.off", 18);
    ASSERT_EQ(link_spheres(), 0);
    app.output_format = SURFACE_FORMAT_NONE;
    SurfaceMesh own, shared;
    ASSERT_EQ(build_frame(2, &own, FAILURES_END_RUN, false), FRAME_BUILT);
    EXPECT_EQ(app.morph.displacements, nullptr);
    ASSERT_EQ(build_frame(2, &shared, FAILURES_END_RUN), FRAME_BUILT);
    EXPECT_NE(app.morph.displacements, nullptr);
    ASSERT_EQ(own.vertices.size(), shared.vertices.size());
    EXPECT_EQ(std::memcmp(own.vertices.data(), shared.vertices.data(), own.vertices.size() * sizeof(MeshVertex)), 0);
    ASSERT_EQ(own.triangles.size(), shared.triangles.size());
    EXPECT_EQ(std::memcmp(own.triangles.data(), shared.triangles.data(), own.triangles.size() * sizeof(MeshTriangle)),
              0);
}

TEST_F(FrameDriverTest, LoadReportsEachStep)
{
    app.quick_morph = true;
    app.min_points = 16;
    app.source_path = example("icosphere.off");
    app.target_path = example("torus.off");
    ASSERT_EQ(run_pipeline(), PIPELINE_DONE);
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[0], "Calculating size of volumes");
    EXPECT_EQ(messages[1], "Interpolated volume is " + std::to_string(app.volume_dims[0]) + " by " +
                               std::to_string(app.volume_dims[1]) + " by " + std::to_string(app.volume_dims[2]) +
                               " voxels.\n");
    EXPECT_EQ(messages[2], "Sampling `" + app.source_path + "', polygon 100 of 1280");
    EXPECT_EQ(messages.back(), "Performing distance transform on target volume");
}

TEST_F(FrameDriverTest, ACandidateOverflowSwitchesToQuickMorphingWithAWarning)
{
    // A field of isolated inside voxels: a ridge candidate each.
    const int n = 40;
    for (int16_t& d : app.volume_dims) d = n;
    app.volumes[0].voxels.reset(new Voxel[n * n * n]);
    for (int i = 0; i < n * n * n; ++i) {
        const int x = i % n, y = i / n % n, z = i / (n * n);
        const bool inside = x % 2 == 1 && y % 2 == 1 && z % 2 == 1 && x < n - 1 && y < n - 1 && z < n - 1;
        app.volumes[0].voxels[i] = Voxel{static_cast<int16_t>(inside ? 60 : -FAR_DISTANCE), 0};
    }
    app.volumes[0].spheres.assign(3, Sphere{1, 1, 1, 22, 1});
    app.volumes[0].sphere_count = 3;
    SphereExtractionOptions small;
    small.candidate_capacity_limit = CANDIDATE_BLOCK;
    EXPECT_EQ(extract_volume_spheres(0, small), 0);
    EXPECT_TRUE(app.quick_morph);
    EXPECT_EQ(app.volumes[0].sphere_count, 0);
    EXPECT_TRUE(app.volumes[0].spheres.empty());
    EXPECT_TRUE(app.volumes[0].sphere_shift.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Too many spheres - using simple interpolation");
}

class PipelineFrames : public FrameDriverTest,
                       public testing::WithParamInterface<std::tuple<const char*, const char*, int, bool>> {};

TEST_P(PipelineFrames, EveryFrameOfTheExampleMorphIsClosed)
{
    auto [source, target, resolution, quick] = GetParam();
    app.resolution = static_cast<uint16_t>(resolution);
    app.quick_morph = quick;
    app.frame_count = 6;
    load(source, target, 20);
    if (!app.quick_morph) {
        ASSERT_EQ(link_spheres(), 0);
    }
    for (int frame = 0; frame < app.frame_count; ++frame) {
        SurfaceMesh mesh;
        ASSERT_EQ(build_frame(frame, &mesh, FAILURES_END_RUN), FRAME_BUILT);
        MeshReport r = check_mesh(mesh);
        std::string what = std::string(source) + " frame " + std::to_string(frame);
        EXPECT_TRUE(r.closed()) << what << ": " << r.unbalanced_edges << " unbalanced, " << r.pinched_edges
                                << " pinched";
        EXPECT_EQ(r.degenerate, 0) << what;
        EXPECT_EQ(r.unused_vertices, 0) << what;
        EXPECT_GT(signed_volume(mesh), 0) << what;
        if (frame == 0) {
            EXPECT_EQ(r.euler, std::string(source) == "torus.off" ? 0 : 2) << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, PipelineFrames,
                         testing::Values(std::make_tuple("icosphere.off", "torus.off", 1, false),
                                         std::make_tuple("torus.off", "icosphere.off", 2, true),
                                         std::make_tuple("torus.off", "two_spheres.off", 1, true),
                                         std::make_tuple("box.off", "blob_normals.off", 2, false)));

}  // namespace
