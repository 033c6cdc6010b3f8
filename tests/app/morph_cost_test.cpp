// The cost told before a long sphere-based sequence.
#include "morph/morph_cost.h"

#include <gtest/gtest.h>

#include "app/app_state.h"

using namespace kestrane;

namespace {

TEST(MorphCost, LatticePointsTimesLinkedSpheresOfBothSides)
{
    app_state_init();
    app.threads = 1;
    app.frame_count = 12;
    app.sample_grid_dims[0] = 100;
    app.sample_grid_dims[1] = 40;
    app.sample_grid_dims[2] = 50;
    app.volumes[0].spheres.assign(300, Sphere{1, 1, 1, 10, 1});
    app.volumes[1].spheres.assign(500, Sphere{1, 1, 1, 10, 0});
    app.volumes[1].spheres[0].linked = 1;
    MorphCost cost = morph_cost(app.morph);
    // Half the points of the 100 x 40 x 50 grid, 301 linked spheres.
    EXPECT_DOUBLE_EQ(cost.samples_per_frame, 100000.0 * 301);
    EXPECT_DOUBLE_EQ(cost.seconds, cost.seconds_per_frame * 10) << "the end frames sample no sphere";
    EXPECT_FALSE(cost.large);

    app.volumes[1].spheres.assign(100000, Sphere{1, 1, 1, 10, 1});
    EXPECT_TRUE(morph_cost(app.morph).large);
    const double one_thread = morph_cost(app.morph).seconds;
    app.threads = 4;
    EXPECT_DOUBLE_EQ(morph_cost(app.morph).seconds, one_thread / 4) << "the frames share the threads";
    app.quick_morph = true;
    EXPECT_EQ(morph_cost(app.morph).samples_per_frame, 0.0);
    EXPECT_FALSE(morph_cost(app.morph).large);
    release_volumes();
}

TEST(MorphCost, RoughDurations)
{
    EXPECT_EQ(rough_duration(12.4), "about 12 s");
    EXPECT_EQ(rough_duration(600), "about 10 min");
    EXPECT_EQ(rough_duration(3 * 3600), "about 3.0 h");
}

}  // namespace
