#include <GL/glut.h>

#include "viewer/menu_entries.h"
#include "viewer/sequence.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/display_lists.h"
#include "gl/menu_actions.h"
#include "gl/viewer.h"
#include "gl/window_helpers.h"

using namespace kestrane;

namespace {

// The shade model belongs to the view's GL context.
void set_shade_model(bool smooth)
{
    const int previous = glutGetWindow();
    select_view();
    glShadeModel(smooth ? GL_SMOOTH : GL_FLAT);
    if (previous != 0) glutSetWindow(previous);
}

void rebuild_sphere_lists() { build_sphere_lists(); }

}  // namespace

void install_menu_actions()
{
    menu_hooks.set_shade_model = set_shade_model;
    menu_hooks.rebuild_vector_list = build_vector_list;
    menu_hooks.rebuild_link_list = build_link_list;
    menu_hooks.rebuild_sphere_lists = rebuild_sphere_lists;
    menu_hooks.restart_sequence = start_sequence;
}
