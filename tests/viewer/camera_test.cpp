#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"
#include "app/app_state.h"
#include "viewer/view_state.h"

using namespace kestrane;

TEST(Camera, PoseFollowsAzimuthElevationAndTwist)
{
    CameraPose p = camera_pose(0, 0, 0, 5);  // looking along x at the orbit centre
    EXPECT_NEAR(p.eye[0], -5, 1e-9);
    EXPECT_NEAR(p.eye[2], 1, 1e-9);
    EXPECT_NEAR(p.centre[0], -4, 1e-9);
    EXPECT_NEAR(p.up[2], 1, 1e-9);
    const double c30 = std::cos(30 * VIEW_PI / 180);
    p = camera_pose(90, 30, 0, 2);
    EXPECT_NEAR(p.direction[0], 0, 1e-6);
    EXPECT_NEAR(p.direction[1], c30, 1e-6);
    EXPECT_NEAR(p.direction[2], -0.5, 1e-6);
    EXPECT_NEAR(p.eye[1], -2 * c30, 1e-6);
    EXPECT_NEAR(p.eye[2], 2.0, 1e-6);
    // The twist leans the up vector sideways to the view.
    EXPECT_NEAR(camera_pose(90, 0, 30, 2).up[0], 0.5, 1e-6);
    EXPECT_NEAR(camera_pose(0, 0, 30, 2).up[1], 0.5, 1e-6);
}

TEST(Camera, MovingLightAndShadowMatrix)
{
    float l[4];
    moving_light(60, 30, 3, l);
    EXPECT_NEAR(l[0], -3 * 0.5 * std::cos(VIEW_PI / 6), 1e-5);
    EXPECT_NEAR(l[1], -3 * std::sin(VIEW_PI / 3) * std::cos(VIEW_PI / 6), 1e-5);
    EXPECT_NEAR(l[2], 2.5, 1e-5);
    EXPECT_EQ(l[3], 0);

    const float light[4] = {-1, -2, 4, 0};
    float m[16];
    shadow_matrix(light, m);
    // (x, y, z, 1) -> (Lz x - Lx z, Lz y - Ly z, 0, Lz): flattened along the light.
    const float p[4] = {0.5f, 0.25f, 2, 1};
    float out[4] = {0, 0, 0, 0};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r] += m[c * 4 + r] * p[c];
    EXPECT_FLOAT_EQ(out[0], 4 * 0.5f + 1 * 2);
    EXPECT_FLOAT_EQ(out[1], 4 * 0.25f + 2 * 2);
    EXPECT_FLOAT_EQ(out[2], 0);
    EXPECT_FLOAT_EQ(out[3], 4);
}

TEST(Camera, ToWorldCentresOnMiddleVoxel)
{
    app.volume_dims[0] = 41;
    app.volume_dims[1] = 20;
    app.volume_dims[2] = 9;
    app.view_scale = 2.0 / 41;
    Vector3 w = to_world(Vector3{20, 9, 4});  // (20 - 1) div 2 = 9
    EXPECT_DOUBLE_EQ(w.x, 0);
    EXPECT_DOUBLE_EQ(w.y, 0);
    EXPECT_DOUBLE_EQ(w.z, 0);
    EXPECT_DOUBLE_EQ(to_world(Vector3{21.5, 9, 4}).x, 1.5 * 2.0 / 41);
}

// The video's --viewer-camera is the viewer's first picture only while the
// two agree.
TEST(Camera, StartingViewIsTheViewStatesDefault)
{
    const ViewState fresh;
    const StartingView start;
    EXPECT_EQ(fresh.azimuth, start.azimuth);
    EXPECT_EQ(fresh.elevation, start.elevation);
    EXPECT_EQ(fresh.twist, start.twist);
    EXPECT_EQ(fresh.eye_distance, start.eye_distance);
    EXPECT_EQ(fresh.light_azimuth, start.light_azimuth);
    EXPECT_EQ(fresh.light_elevation, start.light_elevation);
    EXPECT_EQ(fresh.light_distance, start.light_distance);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(fresh.key_light_position[i], start.key_light[i]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fresh.background[i], 0);
    EXPECT_TRUE(fresh.show_base && fresh.show_shadow && fresh.smooth_shading);
    EXPECT_EQ(fresh.object_spin, 0);
    EXPECT_EQ(fresh.object_tilt, 0);
}
