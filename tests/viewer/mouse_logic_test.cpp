#include <gtest/gtest.h>

#include "viewer/mouse_logic.h"
#include "app/app_state.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

struct Mouse : ::testing::Test {
    void SetUp() override { view_state_reset(); }
};

void press_at(DragKind kind, int x, int y)
{
    view.last_x = x;
    view.last_y = y;
    view.last_dx = view.last_dy = 0;
    begin_drag(kind);
}

TEST_F(Mouse, ReleaseLeavesTheLastMoveDecayedByOne)
{
    for (auto [in, out] : {std::pair{5, 4}, {-5, -4}, {1, 0}, {-1, 0}, {0, 0}}) EXPECT_EQ(decay_towards_zero(in), out);
    view.azimuth_speed = 7;  // from an earlier drag
    press_at(DragKind::Rotate, 100, 100);
    EXPECT_EQ(view.azimuth_speed, 0);
    drag_motion(110, 100);
    drag_motion(115, 103);
    EXPECT_FLOAT_EQ(view.azimuth, -15);
    EXPECT_FLOAT_EQ(view.elevation, 3);
    drag_release(MouseButton::Left);
    EXPECT_FLOAT_EQ(view.azimuth_speed, -4);  // last dx 5, decayed to 4
    EXPECT_FLOAT_EQ(view.elevation_speed, 2);
    EXPECT_EQ(view.drag_kind, DragKind::None);
    // A click, or a last move of one pixel, leaves the scene still.
    press_at(DragKind::Rotate, 50, 50);
    drag_release(MouseButton::Left);
    EXPECT_EQ(view.azimuth_speed, 0);
    press_at(DragKind::Rotate, 50, 50);
    drag_motion(80, 50);
    drag_motion(81, 51);
    drag_release(MouseButton::Left);
    EXPECT_EQ(view.azimuth_speed, 0);
    EXPECT_EQ(view.elevation_speed, 0);
}

TEST_F(Mouse, ObjectLightAndTwistMomentumSigns)
{
    press_at(DragKind::Object, 0, 0);
    drag_motion(6, -4);
    EXPECT_FLOAT_EQ(view.object_spin, 6);
    EXPECT_FLOAT_EQ(view.object_tilt, 4);
    drag_release(MouseButton::Left);
    EXPECT_FLOAT_EQ(view.object_spin_speed, 5);
    EXPECT_FLOAT_EQ(view.object_tilt_speed, 3);
    press_at(DragKind::Light, 0, 0);
    drag_motion(-6, 3);
    drag_release(MouseButton::Left);
    EXPECT_FLOAT_EQ(view.light_azimuth_speed, -5);
    EXPECT_FLOAT_EQ(view.light_elevation_speed, -2);
    press_at(DragKind::Twist, 0, 0);
    drag_motion(0, 8);
    drag_release(MouseButton::Middle);
    EXPECT_FLOAT_EQ(view.twist_speed, -7);
}

TEST_F(Mouse, DragClamps)
{
    press_at(DragKind::Rotate, 0, 0);
    drag_motion(0, 200);
    EXPECT_FLOAT_EQ(view.elevation, 89.9f);
    drag_motion(0, -300);
    EXPECT_FLOAT_EQ(view.elevation, 0);
    press_at(DragKind::Twist, 0, 0);
    drag_motion(0, -100);
    EXPECT_FLOAT_EQ(view.twist, 89.9f);
    press_at(DragKind::Zoom, 0, 0);
    for (int i = 1; i <= 10; ++i) drag_motion(0, 30 * i);
    EXPECT_FLOAT_EQ(view.eye_distance, 40);  // 40 while dragging
    for (int i = 1; i <= 10; ++i) drag_motion(0, 300 - 40 * i);
    EXPECT_FLOAT_EQ(view.eye_distance, 0.2f);
    press_at(DragKind::LightZoom, 0, 0);
    drag_motion(0, 100);
    EXPECT_FLOAT_EQ(view.light_distance, 10);
    press_at(DragKind::Light, 0, 0);
    drag_motion(10, -100);
    EXPECT_FLOAT_EQ(view.light_azimuth, 70);
    EXPECT_FLOAT_EQ(view.light_elevation, 89.9f);
}

TEST_F(Mouse, ZoomReleaseFactor)
{
    EXPECT_FLOAT_EQ(zoom_step(0), 1);
    EXPECT_FLOAT_EQ(zoom_step(4), 2.02f);
    EXPECT_FLOAT_EQ(zoom_step(-4), 1 / 2.02f);
    press_at(DragKind::Zoom, 0, 0);
    drag_motion(0, 1);
    drag_release(MouseButton::Right);
    EXPECT_FLOAT_EQ(view.zoom_factor, 1);  // last dy 1 decays to 0
    press_at(DragKind::Zoom, 0, 0);
    drag_motion(0, 5);
    drag_release(MouseButton::Right);
    EXPECT_FLOAT_EQ(view.zoom_factor, 2.02f);
    press_at(DragKind::Zoom, 0, 0);
    EXPECT_FLOAT_EQ(view.zoom_factor, 1);  // a new press stops it
}

TEST_F(Mouse, VectorArrayAddAndDelete)
{
    app.vectors.clear();
    const float a[3] = {1, 2, 3}, b[3] = {4, 5, 6}, c[3] = {7, 8, 9};
    EXPECT_TRUE(add_manual_vector(a, b));
    EXPECT_TRUE(add_manual_vector(b, c));
    EXPECT_TRUE(add_manual_vector(c, a));
    ASSERT_EQ(vector_count(), 3);
    EXPECT_DOUBLE_EQ(app.vectors[1].end[2], 9);
    EXPECT_TRUE(remove_manual_vector(1));
    ASSERT_EQ(vector_count(), 2);
    EXPECT_DOUBLE_EQ(app.vectors[1].start[0], 7);  // the later ones move down
    EXPECT_FALSE(remove_manual_vector(2));
    EXPECT_FALSE(remove_manual_vector(-1));
    EXPECT_TRUE(remove_manual_vector(0));
    EXPECT_TRUE(remove_manual_vector(0));
    EXPECT_EQ(vector_count(), 0);
}

}  // namespace
