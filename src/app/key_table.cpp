#include "app/key_table.h"

#include "app/animation.h"
#include "app/sequence.h"
#include "app/app_state.h"

using namespace kestrane;

KeyAction key_action(unsigned char key, Mode mode, bool quick_morph)
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
        if (mode == MODE_MANUAL) return quick_morph ? KeyAction::StartSequence : KeyAction::ToAutomatic;
        if (mode == MODE_AUTOMATIC) return KeyAction::StartSequence;
        return KeyAction::None;
    case 8:
    case 127:
        if (mode == MODE_AUTOMATIC) return KeyAction::BackToManual;
        if (mode == MODE_SEQUENCE) return quick_morph ? KeyAction::BackToManual : KeyAction::BackToAutomatic;
        return KeyAction::None;
    case '+':
        if (mode == MODE_AUTOMATIC) return KeyAction::MoreSpheres;
        if (mode == MODE_SEQUENCE) return KeyAction::Faster;
        return KeyAction::None;
    case '-':
        if (mode == MODE_AUTOMATIC) return KeyAction::FewerSpheres;
        if (mode == MODE_SEQUENCE) return KeyAction::Slower;
        return KeyAction::None;
    case '>':
        if (mode == MODE_AUTOMATIC) return KeyAction::WiderRange;
        if (mode == MODE_SEQUENCE) return KeyAction::Faster;
        return KeyAction::None;
    case '<':
        if (mode == MODE_AUTOMATIC) return KeyAction::NarrowerRange;
        if (mode == MODE_SEQUENCE) return KeyAction::Slower;
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
        app.mode = MODE_AUTOMATIC;
        break;
    case KeyAction::BackToAutomatic:
        // Leaving the sequence stops its generation.
        stop_sequence();
        app.mode = MODE_AUTOMATIC;
        break;
    case KeyAction::StartSequence:
        app.mode = MODE_SEQUENCE;
        break;
    case KeyAction::BackToManual:
        stop_sequence();
        app.mode = MODE_MANUAL;
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
