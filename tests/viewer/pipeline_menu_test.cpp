#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/pipeline.h"
#include "viewer/pipeline_menu.h"
#include "app/app_state.h"
#include "app/status.h"
#include "menu_rules_support.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

// With no file names the pipeline does not run, so only the parameter rules act.
class MenuRules : public MenuEntryTest {};

TEST_F(MenuRules, AliasRanges)
{
    pipeline_set_alias("1.05");
    EXPECT_TRUE(app.antialias);
    EXPECT_DOUBLE_EQ(app.antialias_distance, 1.05);
    EXPECT_TRUE(warnings.empty());
    pipeline_set_alias("1");
    EXPECT_FALSE(app.antialias);
    EXPECT_EQ(app.antialias_distance, 0.0);
    pipeline_set_alias("25");
    EXPECT_TRUE(app.antialias);
    EXPECT_EQ(app.antialias_distance, 10.0);
    pipeline_set_alias("nonsense");
    EXPECT_FALSE(app.antialias);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Less than 1.1 - antialiasing disabled",
                                                  "Maximum antialiasing distance is 10.0",
                                                  "Less than 1.1 - antialiasing disabled"}));
}

TEST_F(MenuRules, PointsRanges)
{
    pipeline_set_points("5");
    EXPECT_EQ(app.min_points, 10);
    pipeline_set_points("501");
    EXPECT_EQ(app.min_points, 500);
    pipeline_set_points("-3");  // wraps in 16 bits, then meets the upper bound
    EXPECT_EQ(app.min_points, 500);
    pipeline_set_points("64");
    EXPECT_EQ(app.min_points, 64);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Must have at least 10 points", "Must be at most 500 points",
                                                  "Must be at most 500 points"}));
}

TEST_F(MenuRules, ScaleTogglesStayConsistent)
{
    pipeline_toggle_centres();  // centres off takes sizes with it
    EXPECT_FALSE(app.scale_centres || app.scale_sizes);
    pipeline_toggle_sizes();  // sizes on brings centres back
    EXPECT_TRUE(app.scale_centres && app.scale_sizes);
    pipeline_toggle_sizes();
    EXPECT_TRUE(app.scale_centres);
    EXPECT_FALSE(app.scale_sizes);
    app.transform[12] = 5;
    pipeline_toggle_centres();
    EXPECT_EQ(app.transform[12], 0.0);  // every scaling change resets the transform
}

TEST_F(MenuRules, TransformWithFifteenValuesRestoresIdentity)
{
    app.scale_centres = app.scale_sizes = false;
    pipeline_set_transform("2,0,0,0,0,2,0,0,0,0,2,0,1,2,3");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(app.transform[i], i % 5 == 0 ? 1.0 : 0.0);
    EXPECT_TRUE(app.scale_centres && app.scale_sizes);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Must have 16 comma separated entries"}));
    pipeline_set_transform("2,0,0,0,0,2,0,0,0,0,2,0,1,2,3,1");
    EXPECT_EQ(app.transform[0], 2.0);
    EXPECT_EQ(app.transform[13], 2.0);
}

TEST_F(MenuRules, UnopenableFileKeepsTheOldName)
{
    app.source_path = "old.off";
    pipeline_set_source("/nonexistent/dir/none.off");
    EXPECT_EQ(app.source_path, "old.off");
    pipeline_set_target("");
    EXPECT_EQ(warnings, (std::vector<std::string>{"Not able to open source input file",
                                                  "Not able to open target input file"}));
}

TEST_F(MenuRules, EmptyFileNameLeavesEverythingAlone)
{
    view.mode = MODE_SEQUENCE;
    view.first_idle = true;
    EXPECT_EQ(viewer_load(), PIPELINE_NOT_RUN);
    EXPECT_FALSE(view.first_idle);
    EXPECT_EQ(view.mode, MODE_SEQUENCE);
}

}  // namespace
