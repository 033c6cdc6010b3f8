#pragma once
// The menu bar's sub-window: set-up, GLUT callbacks and drawing of the menu
// state kept in app.
#include <cstdint>


void menu_init();
void menu_reshape(int width, int height);
void menu_display();
void menu_key(unsigned char key, int x, int y);
void menu_arrow_key(int key, int x, int y);
void menu_mouse(int button, int state, int x, int y);
void menu_redraw();
// One labelled text field (a sunken white box) whose bottom-left corner is
// (x, y); cursor -1 draws no I-beam. Drawn with `name` as selection name when active.
void draw_text_field(int32_t name, const char* label, const char* text, int32_t cursor, int32_t label_offset,
                     int32_t x, int32_t y, int32_t width, int32_t height, bool active);
// Height of the menu bar: 25 closed, 50 with one list open, 75 with two.
int32_t menu_height();
