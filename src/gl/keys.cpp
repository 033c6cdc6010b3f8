#include "viewer/animation.h"
#include "app/command_line.h"
#include "viewer/key_table.h"
#include "viewer/sequence.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/display_lists.h"
#include "gl/viewer.h"
#include "viewer/quit.h"

using namespace kestrane;

void view_key(unsigned char key, int, int)
{
    const KeyAction action = key_action(key, view.mode, app.quick_morph);
    if (action == KeyAction::Quit) quit_program();
    apply_key_state(action);
    switch (action) {
    case KeyAction::ToAutomatic:
    case KeyAction::WiderRange:
    case KeyAction::NarrowerRange:
        build_link_list(LINK_RECOMPUTE);
        break;
    case KeyAction::BackToAutomatic:
        build_link_list(LINK_REDRAW);
        break;
    case KeyAction::MoreSpheres:
    case KeyAction::FewerSpheres:
        build_link_list(LINK_REEXTRACT);
        if (view.sphere_lists[0] != NO_LIST) build_sphere_lists();
        break;
    case KeyAction::StartSequence:
        start_sequence();
        break;
    default:
        break;
    }
}

void animation_step()
{
    if (build_next_frame() == 1) return;
    view_display();
    if (view.mode == MODE_SEQUENCE) step_frame(view.tick_count, view.frames_built, &view.current_frame, &view.play_rate);
    view.tick_count += 1;
    apply_momentum();
}
