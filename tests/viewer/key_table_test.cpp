#include <gtest/gtest.h>

#include "viewer/key_table.h"
#include "app/app_state.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

TEST(Keys, EveryModeKeys)
{
    for (int mode = -1; mode <= 2; ++mode)
        for (bool quick : {false, true}) {
            EXPECT_EQ(key_action(' ', Mode(mode), quick), KeyAction::ToggleDump);
            for (int k : {'D', 'd'}) EXPECT_EQ(key_action(k, Mode(mode), quick), KeyAction::ToggleParameters);
            for (int k : {27, int('q'), int('Q')}) EXPECT_EQ(key_action(k, Mode(mode), quick), KeyAction::Quit);
            EXPECT_EQ(key_action('x', Mode(mode), quick), KeyAction::None);
        }
}

TEST(Keys, ModeKeysPerMode)
{
    struct Case {
        unsigned char key;
        int mode;
        bool quick;
        KeyAction action;
    } cases[] = {
        // Nothing loaded: no mode keys.
        {13, -1, false, KeyAction::None}, {8, -1, false, KeyAction::None}, {'+', -1, false, KeyAction::None},
        {'<', -1, false, KeyAction::None},
        // Enter walks forward, Backspace (8 or 127) back.
        {13, 0, false, KeyAction::ToAutomatic}, {13, 1, false, KeyAction::StartSequence},
        {13, 2, false, KeyAction::None}, {8, 0, false, KeyAction::None}, {8, 1, false, KeyAction::BackToManual},
        {127, 2, false, KeyAction::BackToAutomatic},
        // Quick morphing skips the automatic correspondence both ways.
        {13, 0, true, KeyAction::StartSequence}, {8, 2, true, KeyAction::BackToManual},
        // Tuning in automatic mode only; playback rate in the sequence.
        {'+', 0, false, KeyAction::None}, {'+', 1, false, KeyAction::MoreSpheres},
        {'-', 1, false, KeyAction::FewerSpheres}, {'>', 1, false, KeyAction::WiderRange},
        {'<', 1, false, KeyAction::NarrowerRange}, {'+', 2, false, KeyAction::Faster},
        {'>', 2, false, KeyAction::Faster}, {'-', 2, false, KeyAction::Slower}, {'<', 2, false, KeyAction::Slower},
    };
    for (const Case& c : cases)
        EXPECT_EQ(key_action(c.key, Mode(c.mode), c.quick), c.action) << int(c.key) << " mode " << c.mode << " " << c.quick;
}

TEST(Keys, ActionsChangeTheState)
{
    app_state_init();
    view.mode = MODE_MANUAL;
    for (auto [action, mode] : {std::pair{KeyAction::ToAutomatic, 1}, {KeyAction::StartSequence, 2},
                                {KeyAction::BackToAutomatic, 1}, {KeyAction::BackToManual, 0}, {KeyAction::None, 0}}) {
        apply_key_state(action);
        EXPECT_EQ(view.mode, Mode(mode));
    }
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
    apply_key_state(KeyAction::ToggleDump);
    EXPECT_TRUE(view.dump_enabled);
    apply_key_state(KeyAction::ToggleDump);
    EXPECT_FALSE(view.dump_enabled);
    apply_key_state(KeyAction::ToggleParameters);
    EXPECT_TRUE(view.show_parameters);
}

TEST(Keys, PlaybackRateKeepsItsDirectionAndNeverReachesZero)
{
    for (int sign : {1, -1}) {
        view.play_rate = sign;
        for (auto [action, rate] : {std::pair{KeyAction::Faster, 1}, {KeyAction::Slower, 2}, {KeyAction::Faster, 1}}) {
            apply_key_state(action);
            EXPECT_EQ(view.play_rate, sign * rate);
        }
    }
}

}  // namespace
