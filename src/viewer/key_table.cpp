#include "viewer/key_table.h"

#include "core/app_state.h"
#include "viewer/animation.h"

KeyAction key_action(unsigned char key, int32_t mode, bool quick_morph)
{
    switch (key) {
    case ' ':
        return KeyAction::ToggleDump;
    case 'D':
    case 'd':
        return KeyAction::ToggleParameters;
    case 27:
    case 'Q':
    case 'q':
        return KeyAction::Quit;
    case 13:
        if (mode == 0) return quick_morph ? KeyAction::StartSequence : KeyAction::ToAutomatic;
        if (mode == 1) return KeyAction::StartSequence;
        return KeyAction::None;
    case 8:
    case 127:
        if (mode == 1) return KeyAction::BackToManual;
        if (mode == 2) return quick_morph ? KeyAction::BackToManual : KeyAction::BackToAutomatic;
        return KeyAction::None;
    case '+':
        if (mode == 1) return KeyAction::MoreSpheres;
        if (mode == 2) return KeyAction::Faster;
        return KeyAction::None;
    case '-':
        if (mode == 1) return KeyAction::FewerSpheres;
        if (mode == 2) return KeyAction::Slower;
        return KeyAction::None;
    case '>':
        if (mode == 1) return KeyAction::WiderRange;
        if (mode == 2) return KeyAction::Faster;
        return KeyAction::None;
    case '<':
        if (mode == 1) return KeyAction::NarrowerRange;
        if (mode == 2) return KeyAction::Slower;
        return KeyAction::None;
    default:
        return KeyAction::None;
    }
}

void apply_key_state(KeyAction action)
{
    switch (action) {
    case KeyAction::ToggleDump:
        app.dump_enabled = !app.dump_enabled;
        break;
    case KeyAction::ToggleParameters:
        app.show_parameters = !app.show_parameters;
        break;
    case KeyAction::ToAutomatic:
    case KeyAction::BackToAutomatic:
        app.mode = 1;
        break;
    case KeyAction::StartSequence:
        app.mode = 2;
        break;
    case KeyAction::BackToManual:
        app.mode = 0;
        break;
    case KeyAction::MoreSpheres:
        app.locality /= 1.1;
        break;
    case KeyAction::FewerSpheres:
        app.locality *= 1.1;
        break;
    case KeyAction::WiderRange:
        app.strength *= 1.1;
        break;
    case KeyAction::NarrowerRange:
        app.strength /= 1.1;
        break;
    case KeyAction::Faster:
        app.play_rate = faster_rate(app.play_rate);
        break;
    case KeyAction::Slower:
        app.play_rate = slower_rate(app.play_rate);
        break;
    case KeyAction::Quit:
    case KeyAction::None:
        break;
    }
}
