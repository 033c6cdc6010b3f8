#pragma once
// The menu bar's logic: which lists are open, which text field is edited
// and what a click or a key does to them. The GL layer draws from it.
#include <cstdint>


// The menu bar's open lists and the text field being edited.
constexpr int EDIT_CAPACITY = 200;  // 199 characters and the terminator

struct MenuState {
    int32_t open_list[2] = {-1, -1};    // first row of the list shown at level 1 and 2, -1 none
    int32_t open_button[2] = {-1, -1};  // pressed button of level 0 and 1, recorded while drawing
    int32_t edit_cursor = -1;           // 0 .. length of edit_buffer; -1 = nothing is edited
    int32_t edit_item = 0;              // row of the field being edited
    char edit_buffer[EDIT_CAPACITY] = {0};
    int32_t menu_height = 25;           // 25, 50 or 75
};

extern MenuState menu_state;

// Closed lists, no edit, 25 pixels.
void menu_state_reset();
// 75 with two lists open, 50 with one, 25 with none; stored and returned.
int32_t update_menu_height();
bool menu_editing();

// Commits a field being edited through its apply handler (any click in the bar).
void menu_commit_edit();
// What a click on row n does (n a row of the table, not Quit or -1).
void menu_select(int32_t n);
// Key while editing; returns true when the bar must be redrawn.
bool menu_edit_key(unsigned char key);
// Moves the cursor one place (direction -1 or +1) while editing; true when editing.
bool menu_edit_move(int direction);

// Characters [start, end) of a text of length len that a field of the given
// width shows with the cursor at `cursor` (-1: no cursor).
struct FieldWindow {
    int32_t start;
    int32_t end;
};
FieldWindow field_visible_range(int32_t width, int32_t len, int32_t cursor);
