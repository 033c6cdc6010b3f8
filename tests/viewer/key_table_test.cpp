#include <gtest/gtest.h>

#include "core/app_state.h"
#include "viewer/key_table.h"

namespace {

struct Keys : ::testing::Test {
    void SetUp() override
    {
        app_state_init();
        app.mode = 0;
        app.play_rate = 1;
    }
};

TEST_F(Keys, EveryModeKeys)
{
    for (int mode = -1; mode <= 2; ++mode) {
        for (bool quick : {false, true}) {
            EXPECT_EQ(key_action(' ', mode, quick), KeyAction::ToggleDump);
            EXPECT_EQ(key_action('D', mode, quick), KeyAction::ToggleParameters);
            EXPECT_EQ(key_action('d', mode, quick), KeyAction::ToggleParameters);
            EXPECT_EQ(key_action(27, mode, quick), KeyAction::Quit);
            EXPECT_EQ(key_action('q', mode, quick), KeyAction::Quit);
            EXPECT_EQ(key_action('Q', mode, quick), KeyAction::Quit);
            EXPECT_EQ(key_action('x', mode, quick), KeyAction::None);
        }
    }
}

TEST_F(Keys, NothingLoadedIgnoresModeKeys)
{
    for (int k : {13, 8, 127, int('+'), int('-'), int('>'), int('<')}) EXPECT_EQ(key_action(static_cast<unsigned char>(k), -1, false), KeyAction::None);
}

TEST_F(Keys, EnterWalksForwardBackspaceBack)
{
    EXPECT_EQ(key_action(13, 0, false), KeyAction::ToAutomatic);
    EXPECT_EQ(key_action(13, 1, false), KeyAction::StartSequence);
    EXPECT_EQ(key_action(13, 2, false), KeyAction::None);
    EXPECT_EQ(key_action(8, 0, false), KeyAction::None);
    EXPECT_EQ(key_action(8, 1, false), KeyAction::BackToManual);
    EXPECT_EQ(key_action(127, 2, false), KeyAction::BackToAutomatic);
    // Quick morphing skips the automatic correspondence both ways.
    EXPECT_EQ(key_action(13, 0, true), KeyAction::StartSequence);
    EXPECT_EQ(key_action(8, 2, true), KeyAction::BackToManual);

    apply_key_state(KeyAction::ToAutomatic);
    EXPECT_EQ(app.mode, 1);
    apply_key_state(KeyAction::StartSequence);
    EXPECT_EQ(app.mode, 2);
    apply_key_state(KeyAction::BackToAutomatic);
    EXPECT_EQ(app.mode, 1);
    apply_key_state(KeyAction::BackToManual);
    EXPECT_EQ(app.mode, 0);
}

TEST_F(Keys, TuningKeysInAutomaticMode)
{
    EXPECT_EQ(key_action('+', 0, false), KeyAction::None);
    EXPECT_EQ(key_action('+', 1, false), KeyAction::MoreSpheres);
    EXPECT_EQ(key_action('-', 1, false), KeyAction::FewerSpheres);
    EXPECT_EQ(key_action('>', 1, false), KeyAction::WiderRange);
    EXPECT_EQ(key_action('<', 1, false), KeyAction::NarrowerRange);
    apply_key_state(KeyAction::MoreSpheres);
    EXPECT_DOUBLE_EQ(app.locality, 1 / 1.1);
    apply_key_state(KeyAction::FewerSpheres);
    apply_key_state(KeyAction::FewerSpheres);
    EXPECT_DOUBLE_EQ(app.locality, 1 / 1.1 * 1.1 * 1.1);
    apply_key_state(KeyAction::WiderRange);
    EXPECT_DOUBLE_EQ(app.strength, 1.1);
    apply_key_state(KeyAction::NarrowerRange);
    apply_key_state(KeyAction::NarrowerRange);
    EXPECT_DOUBLE_EQ(app.strength, 1.1 / 1.1 / 1.1);
}

TEST_F(Keys, PlaybackRateInSequence)
{
    EXPECT_EQ(key_action('+', 2, false), KeyAction::Faster);
    EXPECT_EQ(key_action('>', 2, false), KeyAction::Faster);
    EXPECT_EQ(key_action('-', 2, false), KeyAction::Slower);
    EXPECT_EQ(key_action('<', 2, false), KeyAction::Slower);
    app.play_rate = 1;
    apply_key_state(KeyAction::Faster);
    EXPECT_EQ(app.play_rate, 1);
    apply_key_state(KeyAction::Slower);
    EXPECT_EQ(app.play_rate, 2);
    apply_key_state(KeyAction::Faster);
    EXPECT_EQ(app.play_rate, 1);
    app.play_rate = -1;
    apply_key_state(KeyAction::Faster);
    EXPECT_EQ(app.play_rate, -1);
    apply_key_state(KeyAction::Slower);
    EXPECT_EQ(app.play_rate, -2);
    apply_key_state(KeyAction::Faster);
    EXPECT_EQ(app.play_rate, -1);
}

TEST_F(Keys, TogglesFlipBack)
{
    apply_key_state(KeyAction::ToggleDump);
    EXPECT_TRUE(app.dump_enabled);
    apply_key_state(KeyAction::ToggleDump);
    EXPECT_FALSE(app.dump_enabled);
    apply_key_state(KeyAction::ToggleParameters);
    EXPECT_TRUE(app.show_parameters);
    apply_key_state(KeyAction::None);
    EXPECT_EQ(app.mode, 0);
}

}  // namespace
