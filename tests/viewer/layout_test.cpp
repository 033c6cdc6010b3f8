#include <gtest/gtest.h>

#include "viewer/window_layout.h"


TEST(WindowLayout, SmallWindowsSnapBackToTheMinimum)
{
    WindowLayout l = compute_layout(300, 200, 25);
    EXPECT_TRUE(l.needs_resize);
    EXPECT_EQ(l.width, 480);
    EXPECT_EQ(l.height, 370);
    EXPECT_EQ(l.status_y, 345);
    EXPECT_EQ(l.status_height, 25);
    EXPECT_EQ(l.view_width, 480);
    EXPECT_EQ(l.view_height, 320);
    l = compute_layout(900, 300, 25);  // one side too small
    EXPECT_TRUE(l.needs_resize);
    EXPECT_EQ(l.width, 900);
    EXPECT_EQ(l.height, 370);
}

TEST(WindowLayout, LargeWindowKeepsBarsAtEdges)
{
    WindowLayout l = compute_layout(800, 600, 50);
    EXPECT_FALSE(l.needs_resize);
    EXPECT_EQ(l.menu_y, 0);
    EXPECT_EQ(l.menu_width, 800);
    EXPECT_EQ(l.menu_height, 50);  // an open menu list
    EXPECT_EQ(l.status_y, 575);
    EXPECT_EQ(l.status_width, 800);
    EXPECT_EQ(l.view_height, 550);  // always the closed bar's 25 pixels
}

TEST(WindowLayout, KeysRoutedByPointerRow)
{
    EXPECT_EQ(key_target(0, 370, 25), KeyTarget::Menu);
    EXPECT_EQ(key_target(24, 370, 25), KeyTarget::Menu);
    EXPECT_EQ(key_target(25, 370, 25), KeyTarget::View);
    EXPECT_EQ(key_target(40, 370, 75), KeyTarget::Menu);  // sub-menu open
    EXPECT_EQ(key_target(345, 370, 25), KeyTarget::View);
    EXPECT_EQ(key_target(346, 370, 25), KeyTarget::Status);
    EXPECT_EQ(key_target(369, 370, 25), KeyTarget::Status);
}
