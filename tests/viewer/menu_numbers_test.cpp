// The menu's fields meet the texts the command line refuses: numbers beyond
// 16 bits meet the upper bound instead of wrapping to a small legal value,
// and a transform that is not finite or flattens the source is refused with
// a warning, the scaling flags back on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/status.h"
#include "menu_rules_support.h"
#include "viewer/menu_entries.h"
#include "viewer/pipeline_menu.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

class MenuNumbers : public MenuEntryTest {
protected:
    void SetUp() override
    {
        MenuEntryTest::SetUp();
        view.mode = MODE_NOTHING_LOADED;  // no files: nothing reloads
    }
};

TEST_F(MenuNumbers, BeyondSixteenBitsMeetsTheUpperBound)
{
    // Each wraps in 16 bits to a value inside its range: 2 frames, 20 points, resolution 1.
    apply_frames("65538");
    EXPECT_EQ(app.frame_count, 100);
    apply_frames("1000000");
    EXPECT_EQ(app.frame_count, 100);
    apply_points("65556");
    EXPECT_EQ(app.min_points, 500);
    apply_res("65537");
    EXPECT_EQ(app.resolution, 8);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Must be at most 100 frames", "Must be at most 100 frames",
                                                  "Must be at most 500 points",
                                                  "Maximum triangle to volume resolution is 8"}));
    warnings.clear();
    apply_frames("40");
    apply_points("65535");
    EXPECT_EQ(app.frame_count, 40);
    EXPECT_EQ(app.min_points, 500);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Must be at most 500 points"}));
}

TEST_F(MenuNumbers, TransformsThatPlaceTheSourceNowhereAreRefused)
{
    for (const char* text : {"nan,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1", "1,0,0,0,0,1,0,0,0,0,1,0,inf,0,0,1",
                             "1,0,0,0,0,0,0,0,0,0,1,0,0,0,0,1", "1e200,0,0,0,0,1e200,0,0,0,0,1e200,0,0,0,0,1"}) {
        warnings.clear();
        app.scale_centres = app.scale_sizes = false;
        pipeline_set_transform(text);
        EXPECT_EQ(warnings, (std::vector<std::string>{"Must be finite and invertible"})) << text;
        for (int i = 0; i < 16; ++i) EXPECT_EQ(app.transform[i], i % 5 == 0 ? 1.0 : 0.0) << text;
        EXPECT_TRUE(app.scale_centres && app.scale_sizes) << text;
    }
    warnings.clear();
    pipeline_set_transform("0,1,0,0,-1,0,0,0,0,0,1,0,5,6,7,1");
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(app.transform[1], 1.0);
    EXPECT_EQ(app.transform[14], 7.0);
}

}  // namespace
