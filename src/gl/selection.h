#pragma once
// GL selection picking, shared by the widget windows and the view's overlay.
#include <GL/gl.h>


// Starts selection mode with -1 on the name stack; buffer receives the hit
// records.
void begin_selection(GLuint* buffer, GLsizei size);
// Loads a projection that keeps only a size x size region about window pixel
// (x, row), row counted from the bottom; the caller multiplies its own
// projection onto it. viewport receives the current viewport.
void load_pick_matrix(int x, int row, int size, GLint viewport[4]);
// Back to rendering; the number of hit records.
GLint end_selection();
