#pragma once

// The status line's sub-window: GL set-up, GLUT callbacks and the redraw that
// every status message triggers.
void status_init();
void status_reshape(int width, int height);
void status_display();
void status_key(unsigned char key, int x, int y);
void status_mouse(int button, int state, int x, int y);
void redraw_status();
