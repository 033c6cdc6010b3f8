#include <gtest/gtest.h>

#include "viewer/status_input.h"
#include "app/status.h"
#include "viewer/quit.h"


namespace {

int cancels = 0;
void count_cancel() { ++cancels; }

struct StatusInput : ::testing::Test {
    void SetUp() override
    {
        status_reset();
        cancels = 0;
    }
    void TearDown() override { status_reset(); }
};

TEST_F(StatusInput, KeyDismissesWarningAndRestoresEarlierInfo)
{
    show_info("Loading %s", "a.off");
    show_warning("Not able to open target input file");
    show_info("dropped while the warning shows");
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_STREQ(status_button_label(), "OK");
    status_key_pressed();
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
    EXPECT_STREQ(status_line.info_text, "Loading a.off");
    EXPECT_EQ(status_button_label(), nullptr);
    status_key_pressed();  // nothing to acknowledge
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
    // Without a button the mouse is ignored.
    EXPECT_FALSE(status_accepts_mouse());
    EXPECT_FALSE(status_mouse_pressed(1));
    EXPECT_FALSE(status_line.button_pressed);
}

TEST_F(StatusInput, OnlyAPressOnTheButtonAcknowledgesOnRelease)
{
    show_warning("careful");
    EXPECT_TRUE(status_mouse_pressed(-1));  // beside the button: still redrawn
    EXPECT_FALSE(status_line.button_pressed);
    status_mouse_released();
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_TRUE(status_mouse_pressed(1));
    EXPECT_TRUE(status_line.button_pressed);
    status_mouse_released();
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
}

TEST_F(StatusInput, CancelRunsActionOnceAndEndsProgress)
{
    show_info("Frame 1 of 4");
    show_progress(count_cancel);
    EXPECT_STREQ(status_button_label(), "Cancel");
    EXPECT_TRUE(status_mouse_pressed(1));
    status_mouse_released();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
    EXPECT_EQ(status_line.cancel_action, nullptr);
    status_key_pressed();
    EXPECT_EQ(cancels, 1);
}

TEST_F(StatusInput, WarningDuringProgressDropsCancelAndThePressedButton)
{
    show_progress(count_cancel);
    status_mouse_pressed(1);
    show_warning("Must be at most 100 frames");
    EXPECT_EQ(status_line.cancel_action, nullptr);
    EXPECT_FALSE(status_line.button_pressed);
    status_mouse_released();
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    status_key_pressed();
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
}

TEST_F(StatusInput, ButtonGeometryFollowsWidth)
{
    show_warning("w");
    ButtonRect ok = status_button_rect(480);
    EXPECT_EQ(ok.x, 410);
    EXPECT_EQ(ok.y, 2);
    EXPECT_EQ(ok.width, 60);
    EXPECT_EQ(ok.height, 21);
    EXPECT_EQ(ok.label_offset, 20);
    show_progress(count_cancel);
    ButtonRect cancel = status_button_rect(800);
    EXPECT_EQ(cancel.x, 730);
    EXPECT_EQ(cancel.label_offset, 10);
}

TEST(StatusInputDeath, KeyInFatalStateEndsProgramWithStatusZero)
{
    EXPECT_EXIT(
        {
            status_reset();
            status_hooks.quit = quit_program;
            show_error("Couldn't construct the isosurface.");
            show_info("ignored");
            status_key_pressed();
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
