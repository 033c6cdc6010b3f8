#include <gtest/gtest.h>

#include <vector>

#include "viewer/animation.h"
#include "viewer/frame_rate.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

std::vector<int> play(int frames_built, int rate, int start, int ticks)
{
    std::vector<int> shown;
    int current = start;
    for (int tick = 0; tick < ticks; ++tick) {
        shown.push_back(current);
        step_frame(tick, frames_built, &current, &rate);
    }
    return shown;
}

TEST(FrameStepping, PlaysBackAndForthWithoutRepeatingEnds)
{
    EXPECT_EQ(play(4, 1, 0, 10), (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1, 2, 3}));
    EXPECT_EQ(play(2, 1, 0, 5), (std::vector<int>{0, 1, 0, 1, 0}));
    EXPECT_EQ(play(3, -1, 2, 5), (std::vector<int>{2, 1, 0, 1, 2}));
    EXPECT_EQ(play(5, 3, 0, 8), (std::vector<int>{0, 1, 1, 1, 2, 2, 2, 3}));  // every third tick
    EXPECT_EQ(play(1, 1, 0, 4), (std::vector<int>{0, 0, 0, 0}));              // one built frame holds
    // Reversal at either end flips the rate's sign and keeps its size.
    int current = 3, rate = 2;
    step_frame(0, 4, &current, &rate);
    EXPECT_EQ(current, 2);
    EXPECT_EQ(rate, -2);
    current = 0;
    rate = -1;
    step_frame(7, 4, &current, &rate);
    EXPECT_EQ(current, 1);
    EXPECT_EQ(rate, 1);
}

TEST(Momentum, AppliesSpeedsWithClamps)
{
    view_state_reset();
    view.azimuth_speed = -4;
    view.elevation_speed = 50;
    view.twist_speed = -60;
    view.object_spin_speed = 3;
    view.light_elevation_speed = 70;
    for (int i = 0; i < 3; ++i) apply_momentum();
    EXPECT_FLOAT_EQ(view.azimuth, -12);  // free
    EXPECT_FLOAT_EQ(view.elevation, 89.9f);
    EXPECT_FLOAT_EQ(view.twist, -89.9f);
    EXPECT_FLOAT_EQ(view.object_spin, 9);
    EXPECT_FLOAT_EQ(view.light_elevation, 89.9f);
    view.elevation_speed = -100;
    apply_momentum();
    EXPECT_FLOAT_EQ(view.elevation, 0);

    // Zoom stops at 100 (beyond the 40 of a drag) and 0.2, the light at 10 and 1.
    view.zoom_factor = 2.02f;
    for (int i = 0; i < 20; ++i) apply_momentum();
    EXPECT_FLOAT_EQ(view.eye_distance, 100);
    view.zoom_factor = 0.5f;
    for (int i = 0; i < 20; ++i) apply_momentum();
    EXPECT_FLOAT_EQ(view.eye_distance, 0.2f);
    view.light_zoom_factor = 3;
    for (int i = 0; i < 5; ++i) apply_momentum();
    EXPECT_FLOAT_EQ(view.light_distance, 10);
    view.light_zoom_factor = 0.1f;
    apply_momentum();
    EXPECT_FLOAT_EQ(view.light_distance, 1);
}

TEST(FrameRate, StartsThenSmoothsEveryHalfSecond)
{
    view_state_reset();
    view.tick_count = 10;
    EXPECT_FALSE(frame_rate_sample(1000));
    view.tick_count = 60;
    EXPECT_FALSE(frame_rate_sample(1500));  // not more than 500 ms yet
    EXPECT_TRUE(frame_rate_sample(2000));   // 50 ticks in one second
    EXPECT_FLOAT_EQ(view.frame_rate, 5.0f);
}

}  // namespace
