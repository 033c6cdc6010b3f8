#pragma once
// The status line's button and the keys and clicks it takes, independent of
// the window system.
#include <cstdint>


// Geometry of the status line's button (window pixels from the bottom-left).
struct ButtonRect {
    int x, y, width, height, label_offset;
};
// The OK or Cancel button of a status line `width` pixels wide in the current
// state (label offset 10 for Cancel, 20 for OK).
ButtonRect status_button_rect(int width);
// "OK", "Cancel" or nullptr when the current state has no button.
const char* status_button_label();

// A key typed over the status line.
void status_key_pressed();
// A mouse press on the status line; picked_name is the selection name under
// the pointer (1 is the button). Returns true when the line must be redrawn.
bool status_mouse_pressed(int32_t picked_name);
// A mouse release anywhere: acknowledges when the button was pressed.
void status_mouse_released();
// True in the states that react to the mouse (warning, fatal, progress).
bool status_accepts_mouse();
