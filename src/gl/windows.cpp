#include <GL/glut.h>
#include <GL/freeglut_ext.h>

#include <cstdio>

#include "app/pipeline.h"
#include "viewer/pipeline_menu.h"
#include "viewer/window_layout.h"
#include "app/app_state.h"
#include "app/status.h"
#include "viewer/view_state.h"
#include "gl/display_lists.h"
#include "gl/lists.h"
#include "gl/menu.h"
#include "gl/status_line.h"
#include "gl/viewer.h"
#include "gl/window_helpers.h"
#include "gl/windows.h"
#include "viewer/quit.h"

using namespace kestrane;

int32_t main_window = 0;
int32_t menu_window = 0;
int32_t status_window = 0;

namespace {

void empty_motion(int, int) {}

// The status line keeps its short warning; whoever started the viewer from
// a shell also learns which file failed and why.
void report_analysis_failure(const std::string& reason) { std::fprintf(stderr, "%s\n", reason.c_str()); }

void report_load_failure(const LoadFailure& failure)
{
    std::fprintf(stderr, "%s\n", failure.detail.c_str());
    show_warning("%s", failure.warning);
}

// While a load waits for a file being read, the window's events are
// handled here: it redraws, and Cancel or Escape stops the load.
void pump_events()
{
    const int window = glutGetWindow();
    glutMainLoopEvent();
    if (window != 0) glutSetWindow(window);
}

void on_idle()
{
    if (view.loading) return;
    select_view();
    if (view.first_idle)
        viewer_load();
    else
        animation_step();
}

void on_visibility(int state)
{
    glutIdleFunc(state == GLUT_VISIBLE ? on_idle : nullptr);
}

void layout_windows(int width, int height)
{
    const WindowLayout l = compute_layout(width, height, menu_height());
    if (l.needs_resize) glutReshapeWindow(l.width, l.height);
    glutSetWindow(menu_window);
    glutPositionWindow(l.menu_x, l.menu_y);
    glutReshapeWindow(l.menu_width, l.menu_height);
    glutSetWindow(status_window);
    glutPositionWindow(l.status_x, l.status_y);
    glutReshapeWindow(l.status_width, l.status_height);
    select_view();
    view_reshape(l.view_width, l.view_height);
}

void route_special_key(int key, int x, int y)
{
    if (view.loading) return;
    glutSetWindow(menu_window);
    menu_arrow_key(key, x, y);
}

void route_key(unsigned char key, int x, int y)
{
    if (view.loading) {
        if (key == 27) cancel_load();
        return;
    }
    switch (key_target(y, glutGet(GLUT_WINDOW_HEIGHT), menu_height())) {
    case KeyTarget::Menu:
        glutSetWindow(menu_window);
        menu_key(key, x, y);
        break;
    case KeyTarget::Status:
        glutSetWindow(status_window);
        status_key(key, x, y);
        break;
    case KeyTarget::View:
        view_key(key, x, y);
        break;
    }
}

// Every display list built from the previous volumes goes before a reload.
void discard_lists()
{
    select_view();
    for (int32_t i = 0; i < view.frames_built && i < static_cast<int32_t>(view.frame_lists.size()); ++i)
        delete_list(view.frame_lists[i]);
    view.frame_lists.clear();
    view.frame_lists.shrink_to_fit();
    delete_list(view.surface_lists[0]);
    delete_list(view.surface_lists[1]);
    delete_list(view.sphere_lists[0]);
    delete_list(view.sphere_lists[1]);
    delete_list(view.vector_list);
    delete_list(view.link_list);
}

void build_lists()
{
    select_view();
    build_surface_lists(view.surface_lists);
    build_vector_list();
}

void register_main_callbacks()
{
    glutSetWindow(main_window);
    glutReshapeFunc(layout_windows);
    glutDisplayFunc(view_display);
    glutKeyboardFunc(route_key);
    glutSpecialFunc(route_special_key);
    glutMouseFunc(view_mouse);
    glutMotionFunc(view_motion);
    glutVisibilityFunc(on_visibility);

    glutSetWindow(menu_window);
    glutReshapeFunc(menu_reshape);
    glutDisplayFunc(menu_display);
    glutKeyboardFunc(menu_key);
    glutSpecialFunc(menu_arrow_key);
    glutMouseFunc(menu_mouse);
    glutMotionFunc(empty_motion);

    glutSetWindow(status_window);
    glutReshapeFunc(status_reshape);
    glutDisplayFunc(status_display);
    glutKeyboardFunc(status_key);
    glutSpecialFunc(route_special_key);
    glutMouseFunc(status_mouse);
    glutMotionFunc(empty_motion);
}

}  // namespace

void select_view()
{
    if (main_window != 0) glutSetWindow(main_window);
}

void redraw_view()
{
    select_view();
    view_display();
}

void show_frame(int32_t index)
{
    view.current_frame = index;
    redraw_view();
}

void disable_interaction()
{
    if (main_window != 0) {
        glutSetWindow(main_window);
        glutReshapeFunc(view_reshape);
        glutDisplayFunc(view_display);
        glutKeyboardFunc(nullptr);
        glutMouseFunc(nullptr);
        glutMotionFunc(nullptr);
        glutVisibilityFunc(nullptr);
    }
    if (menu_window != 0) {
        glutSetWindow(menu_window);
        glutReshapeFunc(menu_reshape);
        glutDisplayFunc(menu_display);
        glutKeyboardFunc(nullptr);
        glutMouseFunc(nullptr);
        glutMotionFunc(nullptr);
    }
    if (status_window != 0) {
        glutSetWindow(status_window);
        glutReshapeFunc(status_reshape);
        glutDisplayFunc(status_display);
        glutKeyboardFunc(status_key);
        glutMouseFunc(status_mouse);
        glutMotionFunc(nullptr);
    }
    glutIdleFunc(nullptr);
}

void create_windows_and_run(int argc, char** argv)
{
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(MIN_WINDOW_WIDTH, MIN_WINDOW_HEIGHT);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    main_window = glutCreateWindow("Kestrane");
    if (main_window <= 0) {
        main_window = 0;
        return;
    }
    char title[64];
    std::snprintf(title, sizeof title, "Kestrane v%.1f%c", static_cast<double>(VERSION_NUMBER), VERSION_LETTER);
    glutSetWindowTitle(title);
    view_reshape(MIN_WINDOW_WIDTH, MIN_WINDOW_HEIGHT - 2 * BAR_HEIGHT);
    view_init();

    menu_window = glutCreateSubWindow(main_window, 0, 0, MIN_WINDOW_WIDTH - 1, BAR_HEIGHT);
    if (menu_window <= 0) {
        menu_window = 0;
        return;
    }
    menu_init();

    status_window = glutCreateSubWindow(main_window, 0, MIN_WINDOW_HEIGHT - BAR_HEIGHT,
                                        MIN_WINDOW_WIDTH - 1, BAR_HEIGHT);
    if (status_window <= 0) {
        status_window = 0;
        return;
    }
    status_init();

    status_hooks.redraw = redraw_status;
    status_hooks.on_fatal = disable_interaction;
    status_hooks.quit = quit_program;
    status_hooks.pump = pump_events;
    viewer_list_hooks.discard_lists = discard_lists;
    viewer_list_hooks.build_lists = build_lists;
    pipeline_hooks.load_failed = report_load_failure;
    pipeline_hooks.analysis_failed = report_analysis_failure;

    view.first_idle = true;
    register_main_callbacks();
    glutMainLoop();
}
