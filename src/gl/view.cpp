#include <GL/glut.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "render/camera.h"
#include "render/scene.h"
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

// The scene as the view's record has it now.
SceneLook view_look()
{
    SceneLook look;
    look.camera = camera_pose(view.azimuth, view.elevation, view.twist, view.eye_distance);
    for (int i = 0; i < 4; ++i) {
        look.key_light[i] = view.key_light_position[i];
        look.moving_light[i] = view.moving_light_position[i];
    }
    for (int i = 0; i < 16; ++i) look.shadow[i] = view.shadow_matrix[i];
    for (int i = 0; i < 3; ++i) look.background[i] = view.background[i];
    look.floor = view.show_base;
    look.shadow_shown = view.show_shadow;
    look.smooth = view.smooth_shading;
    look.object_spin = view.object_spin;
    look.object_tilt = view.object_tilt;
    return look;
}

void draw_sequence_frame()
{
    if (view.current_frame < 0 || view.current_frame >= view.frames_built ||
        view.current_frame >= static_cast<int32_t>(view.frame_lists.size()))
        return;
    const int32_t list = view.frame_lists[view.current_frame];
    if (list != NO_LIST) draw_frame(view_look(), static_cast<uint32_t>(list));
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

void object_transform() { object_transform(view.object_spin, view.object_tilt); }

void view_init()
{
    scene_gl_init(view.background);

    view.frame_lists.clear();
    view.frames_built = 0;
    view.surface_lists[0] = view.surface_lists[1] = NO_LIST;
    view.sphere_lists[0] = view.sphere_lists[1] = NO_LIST;
    view.link_list = view.vector_list = NO_LIST;
    view.base_list = static_cast<int32_t>(compile_floor_list());
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
    load_camera(camera_pose(view.azimuth, view.elevation, view.twist, view.eye_distance));
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
    place_moving_light();
    begin_scene(view_look(), view.base_list == NO_LIST ? 0 : static_cast<uint32_t>(view.base_list));
    if (view.mode == MODE_SEQUENCE) {
        draw_sequence_frame();
    } else {
        draw_two_surfaces();
        draw_correspondence_overlay();
        draw_preview();
    }
    end_scene();

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
