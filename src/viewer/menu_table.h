#pragma once
// The menu bar's rows: labels, places, sizes and handlers, one constant
// table.
#include <cstdint>


// One row of the menu bar's widget table. A list is a run of rows closed by
// an ITEM_END row; the main bar is the list starting at row 0.
enum MenuItemKind : int32_t {
    ITEM_END = 0,
    ITEM_BUTTON = 1,  // opens the list starting at `child`
    ITEM_TOGGLE = 2,
    ITEM_FIELD = 3,
};

struct MenuItem {
    int32_t kind;
    char label[20];
    int32_t x;
    int32_t width;         // height is always 21
    int32_t label_offset;  // negative for fields: the label stands left of the box
    int32_t child;         // first row of the list a button opens, else -1
    // Toggles render "1" (on) or "0"; fields render their value.
    const char* (*render)();
    // Toggles flip their setting (the text is ignored); fields take the edited text.
    void (*apply)(const char* text);
};

constexpr int MENU_ROW_COUNT = 41;
constexpr int32_t QUIT_NAME = 101;
constexpr int32_t WIDGET_HEIGHT = 21;

extern const MenuItem menu_items[MENU_ROW_COUNT];
