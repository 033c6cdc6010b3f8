// Frames of a morph: volumes filled with ball distances, and the real
// pipeline on the bundled examples.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/pipeline.h"
#include "core/status.h"
#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/morph_field.h"
#include "surface/frame_generation.h"
#include "surface/mesh_checks.h"

using namespace surface_test;

namespace {

std::vector<std::string> messages;
void record(StatusKind, const char* text) { messages.push_back(text); }

class FrameTest : public testing::Test {
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
            // Where the blend pulls two sheets closer than a lattice step the
            // clustering may pinch an edge (see KnownLimit); holes never appear.
            EXPECT_TRUE(r.balanced()) << what << ": " << r.unbalanced_edges << " unbalanced";
            EXPECT_LE(r.pinched_edges, 1) << what;
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

TEST_F(FrameTest, ProgressAfterEachSliceAndTheTotalAtTheEnd)
{
    install_balls(20, {{{10, 9, 10}, 4.0}}, {{{10, 9, 10}, 4.0}}, 2);
    app.frame_count = 12;
    SurfaceMesh mesh;
    ASSERT_EQ(triangulate_frame(&mesh, 10), 0);
    int lz = app.sample_grid_dims[2];
    ASSERT_EQ(static_cast<int>(messages.size()), lz + 1);
    for (int k = 0; k < lz; ++k) EXPECT_EQ(messages[k].rfind("Frame 11 of 12 - ", 0), 0u) << messages[k];
    EXPECT_EQ(messages[0], "Frame 11 of 12 - 0 triangles so far");
    EXPECT_EQ(messages[lz - 1], "Frame 11 of 12 - " + std::to_string(mesh.triangles.size()) + " triangles so far");
    EXPECT_EQ(messages[lz], "Frame 11 of 12 - " + std::to_string(mesh.triangles.size()) + " triangles");

    // An empty field replaces what the mesh held, with the same messages.
    messages.clear();
    install_balls(16, {}, {}, 1);
    app.frame_count = 3;
    ASSERT_EQ(triangulate_frame(&mesh, 1), 0);
    EXPECT_TRUE(mesh.vertices.empty());
    EXPECT_TRUE(mesh.triangles.empty());
    ASSERT_EQ(static_cast<int>(messages.size()), app.sample_grid_dims[2] + 1);
    EXPECT_EQ(messages.back(), "Frame 2 of 3 - 0 triangles");
    // No volumes loaded at all: nothing to triangulate.
    release_volumes();
    ASSERT_EQ(triangulate_frame(&mesh, 0), 0);
    EXPECT_TRUE(mesh.vertices.empty());
    EXPECT_EQ(messages.back(), "Frame 1 of 3 - 0 triangles");
}

// A field too busy for the block lists: the walk stops in order, the mesh is
// left as it was, and the user is told.
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
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_NE(std::string(status_line.notice_text).find("frame stopped"), std::string::npos);
}

class PipelineFrames : public FrameTest, public testing::WithParamInterface<std::tuple<const char*, const char*, int, bool>> {};

TEST_P(PipelineFrames, EveryFrameOfTheExampleMorphIsClosed)
{
    auto [source, target, resolution, quick] = GetParam();
    app.source_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + source;
    app.target_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + target;
    app.resolution = static_cast<uint16_t>(resolution);
    app.quick_morph = quick;
    app.frame_count = 6;
    ASSERT_EQ(run_pipeline(), PIPELINE_DONE);
    if (!app.quick_morph) {
        ASSERT_EQ(correspond_spheres(), 0);
    }
    for (int frame = 0; frame < app.frame_count; ++frame) {
        SurfaceMesh mesh;
        ASSERT_EQ(triangulate_frame(&mesh, frame), 0);
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
