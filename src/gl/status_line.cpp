#include "gl/status_line.h"

#include <GL/glut.h>

#include "viewer/status_input.h"
#include "app/status.h"
#include "gl/widgets.h"
#include "gl/window_helpers.h"


void status_init()
{
    set_widget_window_state();
    glDrawBuffer(GL_FRONT_AND_BACK);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawBuffer(GL_BACK);
}

void status_reshape(int width, int height) { set_pixel_projection(width, height); }

void status_display()
{
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT);
    const int32_t state = status_line.status_state;
    if (state == STATUS_INFO || state == STATUS_PROGRESS) {
        glColor3f(0, 0, 0);
        glRasterPos2i(10, 8);
        draw_text(GLUT_BITMAP_HELVETICA_12, status_line.info_text);
    } else if (state == STATUS_WARNING || state == STATUS_FATAL) {
        glColor3f(1, 0, 0);
        glRasterPos2i(10, 8);
        draw_text(GLUT_BITMAP_HELVETICA_12, status_line.notice_text);
    }
    if (const char* label = status_button_label()) {
        const ButtonRect b = status_button_rect(glutGet(GLUT_WINDOW_WIDTH));
        if (status_line.button_pressed)
            draw_button_sunken(1, label, b.label_offset, b.x, b.y, b.width, b.height, true);
        else
            draw_button_raised(1, label, b.label_offset, b.x, b.y, b.width, b.height, true);
    }
    glutSwapBuffers();
}

void redraw_status()
{
    if (status_window == 0) return;
    const int previous = glutGetWindow();
    glutSetWindow(status_window);
    status_reshape(glutGet(GLUT_WINDOW_WIDTH), 25);
    status_display();
    if (previous != 0) glutSetWindow(previous);
}

void status_key(unsigned char, int, int) { status_key_pressed(); }

void status_mouse(int, int state, int x, int y)
{
    if (!status_accepts_mouse()) return;
    if (state == GLUT_DOWN) {
        if (status_mouse_pressed(pick_widget(status_display, x, y))) redraw_status();
    } else {
        status_mouse_released();
    }
}
