// First cut of the menu bar: an empty grey bar until the widget table exists.
#include <GL/glut.h>

#include "menu/menu.h"

int menu_init()
{
    glClearColor(0.7f, 0.7f, 0.7f, 0.0f);
    return 0;
}

void menu_reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.5, width - 0.5, -0.5, height - 0.5, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void menu_display()
{
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
}

void menu_key(unsigned char, int, int) {}
void menu_arrow_key(int, int, int) {}
void menu_mouse(int, int, int, int) {}
void menu_redraw() {}
int32_t menu_height() { return 25; }
