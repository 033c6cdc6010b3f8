#pragma once
// Drawing and hit-testing of buttons and fields, shared by the status line,
// the menu bar and the view's overlay.
#include <cstdint>


// Drawing and hit-testing shared by the status line, the menu bar and the
// view's overlay. Coordinates are window pixels from the bottom-left corner.

// Draws text at the current raster position; font is a GLUT bitmap font
// (GLUT_BITMAP_HELVETICA_12 and so on).
void draw_text(void* font, const char* text);
void draw_button_raised(int32_t name, const char* label, int label_offset, int x, int y, int width,
                        int height, bool active);
void draw_button_sunken(int32_t name, const char* label, int label_offset, int x, int y, int width,
                        int height, bool active);
// The white, sunken box of a text field with its label; the text goes inside.
void draw_field_box(int32_t name, const char* label, int label_offset, int x, int y, int width, int height,
                    bool active);
// Selection name of the widget under (x, y) (y from the top as GLUT reports
// it) in the current window, drawn by draw; -1 when none.
int32_t pick_widget(void (*draw)(), int x, int y);
// The flat grey drawing state of the status line and menu bar windows, with
// lighting, depth test and the other 3-D features off.
void set_widget_window_state();
// A projection onto the pixel centres of a width x height area, with an
// identity model-view.
void load_pixel_projection(int width, int height);
// The same for a whole window of that size, with its viewport.
void set_pixel_projection(int width, int height);
