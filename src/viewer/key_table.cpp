#include "viewer/key_table.h"

#include "viewer/animation.h"
#include "viewer/preview.h"
#include "viewer/sequence.h"
#include "app/app_state.h"
#include "viewer/view_state.h"

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
    case 'p':
        return mode == MODE_AUTOMATIC ? KeyAction::TogglePreview : KeyAction::None;
    case '[':
        return mode == MODE_AUTOMATIC ? KeyAction::PreviewEarlier : KeyAction::None;
    case ']':
        return mode == MODE_AUTOMATIC ? KeyAction::PreviewLater : KeyAction::None;
    default:
        return KeyAction::None;
    }
}

void apply_key_state(KeyAction action)
{
    switch (action) {
    case KeyAction::ToggleDump:
        view.dump_enabled = !view.dump_enabled;
        break;
    case KeyAction::ToggleParameters:
        view.show_parameters = !view.show_parameters;
        break;
    case KeyAction::ToAutomatic:
        view.mode = MODE_AUTOMATIC;
        break;
    case KeyAction::BackToAutomatic:
        // Leaving the sequence stops its generation.
        stop_sequence();
        view.mode = MODE_AUTOMATIC;
        break;
    case KeyAction::StartSequence:
        view.mode = MODE_SEQUENCE;
        break;
    case KeyAction::BackToManual:
        stop_sequence();
        view.mode = MODE_MANUAL;
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
        view.play_rate = faster_rate(view.play_rate);
        break;
    case KeyAction::Slower:
        view.play_rate = slower_rate(view.play_rate);
        break;
    case KeyAction::TogglePreview:
        toggle_preview();
        break;
    case KeyAction::PreviewEarlier:
        shift_preview_time(-1);
        break;
    case KeyAction::PreviewLater:
        shift_preview_time(1);
        break;
    case KeyAction::Quit:
    case KeyAction::None:
        break;
    }
}
