#include <GL/glut.h>

#include "viewer/links.h"
#include "viewer/mouse_logic.h"
#include "app/app_state.h"
#include "viewer/view_state.h"
#include "gl/lists.h"
#include "gl/selection.h"
#include "gl/viewer.h"

using namespace kestrane;

namespace {

// Picks count rows from the bottom of the main window, which is the view
// plus the two 25-pixel bars.
int gl_row(int y) { return view.view_height - y + 49; }

// The view's perspective narrowed to a size x size region at the pointer.
void load_view_pick(int x, int y, int size, GLint viewport[4])
{
    load_pick_matrix(x, gl_row(y), size, viewport);
    multiply_view_perspective(static_cast<double>(viewport[2]) / viewport[3]);
}

// Selection pick of the correspondence overlay in a size x size region at
// the pointer. Returns the hit count; *name is the first name of the first
// hit record (not the nearest).
GLint select_in_overlay(int x, int y, int size, int32_t* name)
{
    GLuint buffer[10] = {0};
    GLint viewport[4];
    begin_selection(buffer, 10);
    load_view_pick(x, y, size, viewport);
    glMatrixMode(GL_MODELVIEW);
    set_camera();
    draw_correspondence_overlay();
    const GLint hits = end_selection();
    view_reshape(view.view_width, view.view_height);
    *name = hits > 0 ? static_cast<int32_t>(buffer[3]) : -1;
    return hits;
}

void press(int button, int x, int y)
{
    view.drag_kind = DragKind::None;
    view.last_x = x;
    view.last_y = y;
    view.last_dx = view.last_dy = 0;
    const int modifiers = glutGetModifiers();
    const bool ctrl = modifiers & GLUT_ACTIVE_CTRL;
    const bool shift = modifiers & GLUT_ACTIVE_SHIFT;
    if (button == GLUT_LEFT_BUTTON) {
        if (ctrl)
            begin_drag(DragKind::Light);
        else if (shift)
            begin_drag(DragKind::Object);
        else if (view.mode == MODE_MANUAL && pick_surface_point(x, y, 0, view.vector_start) > 0)
            begin_drag(DragKind::Vector);
        else
            begin_drag(DragKind::Rotate);
    } else if (button == GLUT_MIDDLE_BUTTON) {
        begin_drag(DragKind::Twist);
    } else if (button == GLUT_RIGHT_BUTTON) {
        if (ctrl) {
            begin_drag(DragKind::LightZoom);
            return;
        }
        if (view.mode == MODE_MANUAL && delete_vector_at(x, y) > 0) return;
        if (view.mode == MODE_AUTOMATIC && unlink_picked_sphere(pick_sphere(x, y))) {
            build_link_list(LINK_REDRAW);
            return;
        }
        begin_drag(DragKind::Zoom);
    }
}

void release(int button, int x, int y)
{
    if (button == GLUT_LEFT_BUTTON && view.drag_kind == DragKind::Vector) {
        view.last_dx = decay_towards_zero(view.last_dx);
        view.last_dy = decay_towards_zero(view.last_dy);
        const bool had_end = view.vector_end[0] != 0 && view.vector_end[1] != 0 && view.vector_end[2] != 0;
        const int32_t found = pick_surface_point(x, y, 1, view.vector_end);
        // A release within the clock tick of the last motion's pick lands
        // where that pick found the target; keep its end rather than lose
        // the vector.
        if (found > 0 || (found == -1 && clock_ms() == view.last_pick_clock && had_end)) {
            add_manual_vector(view.vector_start, view.vector_end);
            build_vector_list();
        }
        view.drag_kind = DragKind::None;
        return;
    }
    MouseButton b = MouseButton::Left;
    if (button == GLUT_MIDDLE_BUTTON)
        b = MouseButton::Middle;
    else if (button == GLUT_RIGHT_BUTTON)
        b = MouseButton::Right;
    else if (button != GLUT_LEFT_BUTTON) {
        view.drag_kind = DragKind::None;
        return;
    }
    drag_release(b);
}

}  // namespace

void view_mouse(int button, int state, int x, int y)
{
    if (view.loading) return;
    if (state == GLUT_DOWN)
        press(button, x, y);
    else
        release(button, x, y);
}

void view_motion(int x, int y)
{
    if (view.loading) return;
    drag_motion(x, y);
    if (view.drag_kind == DragKind::Vector) pick_surface_point(x, y, 1, view.vector_end);
}

int32_t pick_sphere(int x, int y)
{
    int32_t name = -1;
    select_in_overlay(x, y, 3, &name);
    return name;
}

int32_t delete_vector_at(int x, int y)
{
    int32_t name = -1;
    const GLint hits = select_in_overlay(x, y, 1, &name);
    if (hits <= 0 || !remove_manual_vector(name)) return -1;
    build_vector_list();
    return hits;
}

int32_t pick_surface_point(int x, int y, int side, float out[3])
{
    const int32_t now = clock_ms();
    if (now == view.last_pick_clock) return -1;
    static GLfloat feedback[1100];
    GLint viewport[4];
    GLdouble projection[16], modelview[16];
    glFeedbackBuffer(1100, GL_3D, feedback);
    glRenderMode(GL_FEEDBACK);
    load_view_pick(x, y, 1, viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_MODELVIEW);
    set_camera();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPushMatrix();
    object_transform();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    const int32_t list = view.surface_lists[side];
    if (list != NO_LIST) glCallList(static_cast<GLuint>(list));
    glPopMatrix();
    out[0] = out[1] = out[2] = 0;
    double max[3] = {-1e10, -1e10, -1e10}, min[3] = {1e10, 1e10, 1e10};
    const GLint n = glRenderMode(GL_RENDER);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    view_reshape(view.view_width, view.view_height);
    if (n == 0) return -1;
    int32_t records = 0;
    // Feedback overflow (more than 100 triangles under the pixel) reads nothing.
    for (GLint i = 0; n > 0 && i + 11 <= n; i += 11) {
        if (static_cast<GLint>(feedback[i]) != GL_POLYGON_TOKEN || static_cast<GLint>(feedback[i + 1]) != 3)
            return -1;
        const double z = (feedback[i + 4] + feedback[i + 7] + feedback[i + 10]) / 3.0;
        double p[3];
        gluUnProject(0, 0, z, modelview, projection, viewport, &p[0], &p[1], &p[2]);
        for (int a = 0; a < 3; ++a) {
            if (p[a] > max[a]) max[a] = p[a];
            if (p[a] < min[a]) min[a] = p[a];
        }
        ++records;
    }
    if (records > 0) {
        for (int a = 0; a < 3; ++a)
            out[a] = static_cast<float>((max[a] + min[a]) / (2 * app.view_scale) + (app.volume_dims[a] - 1) * 0.5);
    }
    view.last_pick_clock = now;
    return records;
}
