#include "core/app_state.h"
#include "core/command_line.h"
#include "surface/display_lists.h"
#include "viewer/animation.h"
#include "viewer/key_table.h"
#include "viewer/view_state.h"
#include "viewer/viewer.h"

void view_key(unsigned char key, int, int)
{
    const KeyAction action = key_action(key, app.mode, app.quick_morph);
    if (action == KeyAction::Quit) quit_program();
    apply_key_state(action);
    switch (action) {
    case KeyAction::ToAutomatic:
    case KeyAction::WiderRange:
    case KeyAction::NarrowerRange:
        build_link_list(1);
        break;
    case KeyAction::BackToAutomatic:
        build_link_list(0);
        break;
    case KeyAction::MoreSpheres:
    case KeyAction::FewerSpheres:
        build_link_list(2);
        if (view.sphere_lists[0] != NO_LIST) build_sphere_lists();
        break;
    case KeyAction::StartSequence:
        start_sequence(&view.frame_lists, &app.frames_built);
        break;
    default:
        break;
    }
}

void animation_step()
{
    if (build_next_frame() == 1) return;
    view_display();
    if (app.mode == 2) step_frame(view.tick_count, app.frames_built, &app.current_frame, &app.play_rate);
    view.tick_count += 1;
    apply_momentum();
}
