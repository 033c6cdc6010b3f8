#pragma once
// What a key typed over the view means in each mode, and the parameter
// changes it makes to AppState; the GL layer then rebuilds what it draws.
#include <cstdint>

#include "base/modes.h"

using namespace kestrane;

// What a key typed over the view does in the current mode (no GL).
enum class KeyAction {
    None,
    ToggleDump,        // space, every mode
    ToggleParameters,  // D, d, every mode
    Quit,              // Esc, Q, q, every mode
    ToAutomatic,       // Enter in mode 0: links computed
    StartSequence,     // Enter in mode 1, or in mode 0 with quick morphing
    BackToManual,      // Backspace in mode 1, or in mode 2 with quick morphing
    BackToAutomatic,   // Backspace in mode 2: links redrawn as they are
    MoreSpheres,       // + in mode 1
    FewerSpheres,      // - in mode 1
    WiderRange,        // > in mode 1
    NarrowerRange,     // < in mode 1
    Faster,            // + or > in mode 2
    Slower,            // - or < in mode 2
    TogglePreview,     // p in mode 1
    PreviewEarlier,    // [ in mode 1
    PreviewLater,      // ] in mode 1
};

KeyAction key_action(unsigned char key, Mode mode, bool quick_morph);

// The state changes of an action on app (mode, locality, strength,
// play_rate, dump_enabled, show_parameters). Display lists, sequence
// generation and quitting are left to the caller.
void apply_key_state(KeyAction action);
