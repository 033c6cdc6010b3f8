#include "gl/selection.h"

#include <GL/glu.h>


void begin_selection(GLuint* buffer, GLsizei size)
{
    glSelectBuffer(size, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(static_cast<GLuint>(-1));
}

void load_pick_matrix(int x, int row, int size, GLint viewport[4])
{
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPickMatrix(x, row, size, size, viewport);
}

GLint end_selection()
{
    glPopName();
    return glRenderMode(GL_RENDER);
}
