#include <GL/glut.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "viewer/camera.h"
#include "viewer/frame_rate.h"
#include "viewer/help_screens.h"
#include "viewer/preview.h"
#include "app/app_state.h"
#include "app/status.h"
#include "viewer/view_state.h"
#include "gl/lists.h"
#include "gl/preview_display.h"
#include "gl/screen_capture.h"
#include "gl/viewer.h"
#include "gl/widgets.h"
#include "gl/window_helpers.h"

using namespace kestrane;

namespace {

const Material DARK_SQUARE = {{0.5f, 0.5f, 0.5f, 1}, 90, {0.1f, 0.1f, 0.1f, 1}, {0.05f, 0.05f, 0.05f, 1}};
const Material LIGHT_SQUARE = {{0.5f, 0.5f, 0.5f, 1}, 90, {0.5f, 0.5f, 0.5f, 1}, {0.9f, 0.9f, 0.9f, 1}};

void build_floor_list()
{
    const float s = 0.8333333f;
    view.base_list = static_cast<int32_t>(glGenLists(1));
    glNewList(static_cast<GLuint>(view.base_list), GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    for (int i = -16; i < 16; ++i) {
        for (int j = -16; j < 16; ++j) {
            set_material((i + j) % 2 == 0 ? DARK_SQUARE : LIGHT_SQUARE);
            glVertex3f(i * s, j * s, 0);
            glVertex3f((i + 1) * s, j * s, 0);
            glVertex3f((i + 1) * s, (j + 1) * s, 0);
            glVertex3f(i * s, (j + 1) * s, 0);
        }
    }
    glEnd();
    glEndList();
}

void draw_sequence_frame()
{
    if (view.current_frame < 0 || view.current_frame >= view.frames_built ||
        view.current_frame >= static_cast<int32_t>(view.frame_lists.size()))
        return;
    const int32_t list = view.frame_lists[view.current_frame];
    if (view.show_shadow) {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHT0);
        glDisable(GL_LIGHT1);
        glPushMatrix();
        glMultMatrixf(view.shadow_matrix);
        object_transform();
        call_list(list);
        glPopMatrix();
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHT0);
        glEnable(GL_LIGHT1);
    }
    glPushMatrix();
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    object_transform();
    call_list(list);
    glDisable(GL_COLOR_MATERIAL);
    glPopMatrix();
}

void draw_two_surfaces()
{
    glPushMatrix();
    object_transform();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    if (view.mode == MODE_AUTOMATIC && view.show_spheres) {
        if (view.sphere_lists[0] == NO_LIST) build_sphere_lists();
        call_list(view.sphere_lists[0]);
        call_list(view.sphere_lists[1]);
    } else {
        call_list(view.surface_lists[0]);
        call_list(view.surface_lists[1]);
    }
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glPopMatrix();
}

void draw_status_text()
{
    switch (view.mode) {
    case MODE_SEQUENCE:
        if (frame_rate_sample(clock_ms()))
            std::snprintf(view.status_text, sizeof view.status_text, "Frame rate: %f",
                          static_cast<double>(view.frame_rate));
        break;
    case MODE_AUTOMATIC:
        std::snprintf(view.status_text, sizeof view.status_text,
                      "Change sphere number (+/-) or correspondence range (>/<)");
        preview_status_suffix(view.status_text + std::strlen(view.status_text),
                              static_cast<int>(sizeof view.status_text - std::strlen(view.status_text)));
        break;
    case MODE_MANUAL:
        std::snprintf(view.status_text, sizeof view.status_text,
                      "Click and drag to define manual correspondence");
        break;
    default:
        std::snprintf(view.status_text, sizeof view.status_text, "Load and convert source and target files");
        break;
    }
    if (view.status_text[0] != '\0') show_info("%s", view.status_text);
}

}  // namespace

void object_transform()
{
    glTranslatef(0, 0, 1);
    glRotatef(view.object_spin, 0, 0, 1);
    glRotatef(view.object_tilt, 1, 0, 0);
}

void view_init()
{
    static const float black[4] = {0, 0, 0, 1};
    static const float key_diffuse[4] = {0.2f, 0.2f, 0.2f, 1};
    static const float moving_ambient[4] = {0.1f, 0.1f, 0.1f, 1};
    static const float moving_diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    static const float moving_specular[4] = {0.5f, 0.5f, 0.5f, 1};
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, key_diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightfv(GL_LIGHT1, GL_AMBIENT, moving_ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, moving_diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, moving_specular);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_DITHER);
    glEnable(GL_LIGHTING);
    glEnable(GL_STENCIL_TEST);
    glDisable(GL_FOG);
    glDisable(GL_LOGIC_OP);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
    glClearDepth(1.0);
    glClearColor(view.background[0], view.background[1], view.background[2], 0);

    view.frame_lists.clear();
    view.frames_built = 0;
    view.surface_lists[0] = view.surface_lists[1] = NO_LIST;
    view.sphere_lists[0] = view.sphere_lists[1] = NO_LIST;
    view.link_list = view.vector_list = NO_LIST;
    build_floor_list();
    view.mode = MODE_NOTHING_LOADED;
}

void view_reshape(int width, int height)
{
    // The buffer is sized at the first reshape and whenever the size changes.
    static bool sized = false;
    if (!sized || width != view.view_width || height != view.view_height) {
        sized = true;
        const size_t stride = (3 * static_cast<size_t>(width) + 3) / 4 * 4;
        try {
            view.dump_pixels.assign(stride * static_cast<size_t>(height), 0);
        } catch (const std::bad_alloc&) {
            view.dump_pixels.clear();
            view.dump_pixels.shrink_to_fit();
        }
    }
    view.view_width = width;
    view.view_height = height;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    multiply_view_perspective(static_cast<double>(width) / height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 25, width, height);
}

void set_camera()
{
    const CameraPose p = camera_pose(view.azimuth, view.elevation, view.twist, view.eye_distance);
    glLoadIdentity();
    gluLookAt(p.eye[0], p.eye[1], p.eye[2], p.centre[0], p.centre[1], p.centre[2], p.up[0], p.up[1], p.up[2]);
}

void place_moving_light()
{
    moving_light(view.light_azimuth, view.light_elevation, view.light_distance, view.moving_light_position);
    shadow_matrix(view.moving_light_position, view.shadow_matrix);
}

void draw_correspondence_overlay()
{
    glPushMatrix();
    object_transform();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    if (view.mode == MODE_MANUAL) {
        call_list(view.vector_list);
        if (view.drag_kind == DragKind::Vector) {
            const Vector3 start =
                to_world(Vector3{view.vector_start[0], view.vector_start[1], view.vector_start[2]});
            glColor3f(1, 0, 0);
            glPushMatrix();
            glTranslated(start.x, start.y, start.z);
            glutSolidSphere(0.02, 4, 4);
            glPopMatrix();
            if (view.vector_end[0] != 0 && view.vector_end[1] != 0 && view.vector_end[2] != 0) {
                const Vector3 end =
                    to_world(Vector3{view.vector_end[0], view.vector_end[1], view.vector_end[2]});
                glColor3f(0, 1, 0);
                glPushMatrix();
                glTranslated(end.x, end.y, end.z);
                glutSolidSphere(0.02, 4, 4);
                glPopMatrix();
                glColor3f(0, 0, 1);
                glBegin(GL_LINES);
                glVertex3d(start.x, start.y, start.z);
                glVertex3d(end.x, end.y, end.z);
                glEnd();
            }
        }
    } else {
        call_list(view.link_list);
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

void view_display()
{
    glDrawBuffer(GL_BACK);
    glClearColor(view.background[0], view.background[1], view.background[2], 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glPushMatrix();
    set_camera();
    place_moving_light();
    glLightfv(GL_LIGHT0, GL_POSITION, view.key_light_position);
    glLightfv(GL_LIGHT1, GL_POSITION, view.moving_light_position);
    if (view.show_base) call_list(view.base_list);
    glShadeModel(view.smooth_shading ? GL_SMOOTH : GL_FLAT);
    if (view.mode == MODE_SEQUENCE) {
        draw_sequence_frame();
    } else {
        draw_two_surfaces();
        draw_correspondence_overlay();
        draw_preview();
    }
    glPopMatrix();

    if (!view.dump_enabled) {
        if (view.show_help || view.show_parameters) draw_overlay();
        draw_status_text();
    }
    select_view();
    if (view.dump_enabled && !view.dump_pixels.empty()) write_screen_dump();
    glutSwapBuffers();
}

void draw_overlay()
{
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    // A 500 x 500 grid stretched over the view, whatever its size.
    load_pixel_projection(500, 500);
    if (view.show_help) {
        glEnable(GL_BLEND);
        glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
        glRectf(20, 20, 480, 470);
        glDisable(GL_BLEND);
        glColor3f(1, 0, 0);
        std::snprintf(view.overlay_text, sizeof view.overlay_text, "Kestrane v%.1f%c, Orvalle, %s",
                      static_cast<double>(VERSION_NUMBER), VERSION_LETTER, RELEASE_DATE);
        glRasterPos2i((view.view_width - 195) * 500 / view.view_width, 485);
        draw_text(GLUT_BITMAP_HELVETICA_10, view.overlay_text);
        if (const HelpRow* rows = help_table(view.mode)) {
            for (int i = 0; i < HELP_ROW_COUNT; ++i) {
                if (rows[i].key[0] == '\0') continue;
                const int y = help_row_y(i);
                glRasterPos2i(40, y);
                draw_text(GLUT_BITMAP_HELVETICA_18, rows[i].key);
                glRasterPos2i(190, y);
                draw_text(GLUT_BITMAP_HELVETICA_18, "-");
                glRasterPos2i(205, y);
                draw_text(GLUT_BITMAP_HELVETICA_18, rows[i].action);
            }
        }
    }
    if (view.show_parameters) {
        glColor3f(0, 1, 0);
        // Huge strength or locality values outgrow the 80-byte scratch text.
        char line[256];
        std::snprintf(line, sizeof line,
                      "Strength: %f, locality: %f, spheres: %li:%li, frame: %i", app.strength, app.locality,
                      static_cast<long>(app.volumes[0].sphere_count),
                      static_cast<long>(app.volumes[1].sphere_count), view.current_frame);
        glRasterPos2i(10, 5);
        draw_text(GLUT_BITMAP_HELVETICA_10, line);
    }
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(view.smooth_shading ? GL_SMOOTH : GL_FLAT);
    view_reshape(view.view_width, view.view_height);
}
