#pragma once
#include <cstdint>

// The menu bar sub-window: its GL set-up and GLUT callbacks.
int menu_init();
void menu_reshape(int width, int height);
void menu_display();
void menu_key(unsigned char key, int x, int y);
void menu_arrow_key(int key, int x, int y);
void menu_mouse(int button, int state, int x, int y);
void menu_redraw();
// Height of the menu bar: 25 closed, 50 with one list open, 75 with two.
int32_t menu_height();
