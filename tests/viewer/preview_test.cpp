// The preview's snapshot, its scheduler (generations, coarse then refined,
// superseded work discarded, stop and restart) and the viewer's glue. The
// ThreadSanitizer build runs these (scripts/test-all): the main thread
// changes the morph while the worker builds from its snapshot.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "app/analysis.h"
#include "app/app_state.h"
#include "app/pipeline.h"
#include "app/status.h"
#include "viewer/key_table.h"
#include "viewer/links.h"
#include "viewer/preview.h"
#include "viewer/preview_scheduler.h"
#include "viewer/preview_snapshot.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

class PreviewTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        view_state_reset();
        status_reset();
        app.source_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/box.off";
        app.target_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/two_spheres.off";
        app.min_points = 18;
        app.threads = 2;
        ASSERT_EQ(run_pipeline(), PIPELINE_DONE);
        ASSERT_EQ(link_spheres(), 0);
    }
    void TearDown() override
    {
        stop_preview();
        release_volumes();
        status_reset();
        view_state_reset();
    }
};

bool same_mesh(const SurfaceMesh& a, const SurfaceMesh& b)
{
    return a.vertices.size() == b.vertices.size() && a.triangles.size() == b.triangles.size() &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)) == 0 &&
           std::memcmp(a.triangles.data(), b.triangles.data(), a.triangles.size() * sizeof(MeshTriangle)) == 0;
}

SurfaceMesh current_frame_at(double t)
{
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, 0);
    request.time = t;
    SurfaceMesh mesh;
    EXPECT_EQ(triangulate_frame(request, &mesh), 0);
    return mesh;
}

// Polls (a guard against a hang, not a timing check).
template <class Ready> bool eventually(Ready ready)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST_F(PreviewTest, SnapshotKeepsItsCopiesAndBuildsTheFramesOfTheMorph)
{
    const auto snapshot = take_preview_snapshot(app.morph, 0.5, 2, 2);
    ASSERT_TRUE(snapshot->has_coarse);
    EXPECT_EQ(snapshot->fine.lattice.resolution, 1);
    EXPECT_EQ(snapshot->coarse.lattice.resolution, 2);
    EXPECT_LT(snapshot->coarse.lattice.lx, snapshot->fine.lattice.lx);
    EXPECT_EQ(snapshot->inputs.spheres[0].spheres, snapshot->spheres[0].data());
    EXPECT_EQ(snapshot->inputs.spheres[1].shifts, snapshot->shifts[1].data());
    const SurfaceMesh before = current_frame_at(0.5);

    // Fewer spheres, linked anew: the morph changes, the snapshot does not.
    app.locality *= 1.5;
    ASSERT_TRUE(update_links(LINK_REEXTRACT));
    SurfaceMesh fine;
    ASSERT_EQ(triangulate_frame(snapshot->fine, &fine), 0);
    EXPECT_TRUE(same_mesh(fine, before));
    EXPECT_FALSE(same_mesh(current_frame_at(0.5), before));

    SurfaceMesh coarse;
    ASSERT_EQ(triangulate_frame(snapshot->coarse, &coarse), 0);
    EXPECT_GT(coarse.triangles.size(), 0u);
    EXPECT_LT(coarse.triangles.size(), fine.triangles.size());
}

TEST_F(PreviewTest, CoarseResolutionStaysInRange)
{
    EXPECT_EQ(coarse_resolution(1, 2), 2);
    EXPECT_EQ(coarse_resolution(3, 2), 6);
    EXPECT_EQ(coarse_resolution(5, 2), 8);
    EXPECT_EQ(coarse_resolution(8, 2), 8);
    EXPECT_EQ(coarse_resolution(0, 0), 1);
    app.morph.loaded_resolution = 8;  // no coarser lattice: the full frame only
    EXPECT_FALSE(take_preview_snapshot(app.morph, 0.5, 2, 1)->has_coarse);
    app.morph.loaded_resolution = 1;
}

TEST_F(PreviewTest, CoarseFrameComesFirstThenTheRefinedOne)
{
    PreviewScheduler scheduler;
    scheduler.idle_delay = std::chrono::milliseconds(1);
    const long generation = submit_preview(scheduler, take_preview_snapshot(app.morph, 0.25, 2, 2));
    PreviewResult first, second;
    ASSERT_TRUE(eventually([&] { return take_preview(scheduler, &first); }));
    EXPECT_EQ(first.generation, generation);
    EXPECT_FALSE(first.refined);
    EXPECT_EQ(first.resolution, 2);
    ASSERT_TRUE(eventually([&] { return take_preview(scheduler, &second); }));
    EXPECT_TRUE(second.refined);
    EXPECT_EQ(second.generation, generation);
    EXPECT_DOUBLE_EQ(second.time, 0.25);
    EXPECT_TRUE(same_mesh(second.mesh, current_frame_at(0.25)));
    EXPECT_FALSE(take_preview(scheduler, &first));  // each result once
}

TEST_F(PreviewTest, NewerSubmissionsSupersedeOlderOnesWhileTheMorphChanges)
{
    PreviewScheduler scheduler;
    scheduler.idle_delay = std::chrono::milliseconds(1);
    long generation = 0;
    // The main thread re-extracts and relinks between submissions, as + does,
    // while the worker builds from the previous snapshot.
    for (int i = 0; i < 4; ++i) {
        generation = submit_preview(scheduler, take_preview_snapshot(app.morph, 0.5, 2, 2));
        app.locality *= i % 2 ? 1.2 : 1 / 1.2;
        ASSERT_TRUE(update_links(LINK_REEXTRACT));
    }
    generation = submit_preview(scheduler, take_preview_snapshot(app.morph, 0.5, 2, 2));
    PreviewResult r;
    ASSERT_TRUE(eventually([&] {
        if (!take_preview(scheduler, &r)) return false;
        EXPECT_EQ(r.generation, generation) << "a superseded frame was handed out";
        return r.refined;
    }));
    EXPECT_TRUE(same_mesh(r.mesh, current_frame_at(0.5)));

    // Withdrawn: nothing of that generation is handed out.
    withdraw_preview(scheduler);
    EXPECT_FALSE(take_preview(scheduler, &r));
    stop_preview_scheduler(scheduler);
    EXPECT_FALSE(preview_worker_running(scheduler));
    EXPECT_FALSE(take_preview(scheduler, &r));
    // And it starts again after a stop.
    generation = submit_preview(scheduler, take_preview_snapshot(app.morph, 1.0, 2, 1));
    ASSERT_TRUE(eventually([&] { return take_preview(scheduler, &r); }));
    EXPECT_EQ(r.generation, generation);
}

TEST_F(PreviewTest, StoppingMidFrameCancelsIt)
{
    PreviewScheduler scheduler;
    for (int i = 0; i < 5; ++i) {
        submit_preview(scheduler, take_preview_snapshot(app.morph, 0.1 * i, 1, 1));
        stop_preview_scheduler(scheduler);
        EXPECT_FALSE(preview_worker_running(scheduler));
    }
    PreviewResult r;
    EXPECT_FALSE(take_preview(scheduler, &r));
}

TEST_F(PreviewTest, KeysMoveTheTimeOnlyWhileThePreviewIsOn)
{
    EXPECT_EQ(key_action('p', MODE_AUTOMATIC, false), KeyAction::TogglePreview);
    EXPECT_EQ(key_action('[', MODE_AUTOMATIC, false), KeyAction::PreviewEarlier);
    EXPECT_EQ(key_action(']', MODE_AUTOMATIC, false), KeyAction::PreviewLater);
    for (int mode : {-1, 0, 2})
        for (unsigned char k : {'p', '[', ']'}) EXPECT_EQ(key_action(k, Mode(mode), false), KeyAction::None);

    apply_key_state(KeyAction::PreviewLater);
    EXPECT_DOUBLE_EQ(view.preview_time, 0.5);  // off: unchanged
    apply_key_state(KeyAction::TogglePreview);
    ASSERT_TRUE(view.show_preview);
    apply_key_state(KeyAction::PreviewLater);
    EXPECT_NEAR(view.preview_time, 0.55, 1e-12);
    for (int i = 0; i < 30; ++i) apply_key_state(KeyAction::PreviewLater);
    EXPECT_DOUBLE_EQ(view.preview_time, 1.0);
    for (int i = 0; i < 30; ++i) apply_key_state(KeyAction::PreviewEarlier);
    EXPECT_DOUBLE_EQ(view.preview_time, 0.0);

    char text[80] = "x";
    view.mode = MODE_AUTOMATIC;
    view.preview_time = 0.5;
    preview_status_suffix(text, sizeof text);
    EXPECT_STREQ(text, "; preview t = 0.50");
    view.mode = MODE_MANUAL;
    preview_status_suffix(text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST_F(PreviewTest, StepsFollowTheMorphAndStopWhenHidden)
{
    SurfaceMesh mesh;
    PreviewFrameInfo info;
    view.mode = MODE_AUTOMATIC;
    EXPECT_FALSE(preview_step(&mesh, &info));  // off: no worker
    view.show_preview = true;
    auto next = [&](bool refined) {
        return eventually([&] { return preview_step(&mesh, &info) && info.refined == refined; });
    };
    ASSERT_TRUE(next(false));
    EXPECT_EQ(info.resolution, 2);
    ASSERT_TRUE(next(true));
    const SurfaceMesh first = mesh;
    EXPECT_TRUE(same_mesh(first, current_frame_at(0.5)));

    // More spheres (+): a new coarse frame, then the new morph refined.
    app.locality /= 1.1;
    ASSERT_TRUE(update_links(LINK_REEXTRACT));
    ASSERT_TRUE(next(false));
    ASSERT_TRUE(next(true));
    EXPECT_TRUE(same_mesh(mesh, current_frame_at(0.5)));
    EXPECT_FALSE(same_mesh(mesh, first));

    // Leaving the mode stops the worker; nothing more comes.
    view.mode = MODE_MANUAL;
    EXPECT_FALSE(preview_step(&mesh, &info));
    EXPECT_FALSE(preview_step(&mesh, &info));
}

}  // namespace
