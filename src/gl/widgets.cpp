#include <GL/glut.h>

#include "gl/selection.h"
#include "gl/widgets.h"


namespace {

void draw_button(int32_t name, const char* label, int label_offset, int x, int y, int w, int h,
                 bool active, float face, float light, float dark)
{
    glLoadName(active ? static_cast<GLuint>(name) : static_cast<GLuint>(-1));
    glColor3f(face, face, face);
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x, y + h);
    glVertex2i(x + w, y + h);
    glVertex2i(x + w, y);
    glEnd();
    // Bevel along the left and top edges.
    glColor3f(light, light, light);
    glBegin(GL_QUAD_STRIP);
    glVertex2i(x, y);
    glVertex2i(x + 2, y + 2);
    glVertex2i(x, y + h);
    glVertex2i(x + 2, y + h - 2);
    glVertex2i(x + w, y + h);
    glVertex2i(x + w - 2, y + h - 2);
    glEnd();
    // Bevel along the bottom and right edges.
    glColor3f(dark, dark, dark);
    glBegin(GL_QUAD_STRIP);
    glVertex2i(x, y);
    glVertex2i(x + 2, y + 2);
    glVertex2i(x + w, y);
    glVertex2i(x + w - 2, y + 2);
    glVertex2i(x + w, y + h);
    glVertex2i(x + w - 2, y + h - 2);
    glEnd();
    if (active)
        glColor3f(0, 0, 0);
    else
        glColor3f(0.8f, 0.8f, 0.8f);
    glFlush();
    glRasterPos2i(x + label_offset, y + 7);
    draw_text(GLUT_BITMAP_HELVETICA_12, label);
}

}  // namespace

void draw_text(void* font, const char* text)
{
    for (const char* c = text; *c; ++c) glutBitmapCharacter(font, static_cast<unsigned char>(*c));
}

void draw_button_raised(int32_t name, const char* label, int label_offset, int x, int y, int width,
                        int height, bool active)
{
    draw_button(name, label, label_offset, x, y, width, height, active, 0.7f, 0.9f, 0.3f);
}

void draw_button_sunken(int32_t name, const char* label, int label_offset, int x, int y, int width,
                        int height, bool active)
{
    draw_button(name, label, label_offset, x, y, width, height, active, 0.5f, 0.3f, 0.9f);
}

void draw_field_box(int32_t name, const char* label, int label_offset, int x, int y, int width, int height,
                    bool active)
{
    draw_button(name, label, label_offset, x, y, width, height, active, 1.0f, 0.3f, 0.9f);
}

int32_t pick_widget(void (*draw)(), int x, int y)
{
    GLuint buffer[10] = {0};
    GLint viewport[4];
    begin_selection(buffer, 10);
    const int row = glutGet(GLUT_WINDOW_HEIGHT) - y;
    load_pick_matrix(x, row, 1, viewport);
    glOrtho(x - 1.5, x + 1.5, row - 1.5, row + 1.5, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    draw();
    GLint hits = end_selection();
    if (hits != 0) return static_cast<int32_t>(buffer[3]);
    return -1;
}

void set_widget_window_state()
{
    glShadeModel(GL_FLAT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glDisable(GL_FOG);
    glDisable(GL_LOGIC_OP);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0.7f, 0.7f, 0.7f, 0.0f);
}

void load_pixel_projection(int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.5, width - 0.5, -0.5, height - 0.5, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void set_pixel_projection(int width, int height)
{
    load_pixel_projection(width, height);
    glViewport(0, 0, width, height);
}
