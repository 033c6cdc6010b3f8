#include "viewer/menu_state.h"

#include <cctype>
#include <cstring>
#include <string>

#include "viewer/menu_table.h"


MenuState menu_state;

namespace {

void close_lists()
{
    menu_state.open_list[0] = menu_state.open_list[1] = -1;
    menu_state.open_button[0] = menu_state.open_button[1] = -1;
}

void start_edit(int32_t n)
{
    const char* text = menu_items[n].render();
    // Longer values are cut to what the edit buffer holds.
    std::strncpy(menu_state.edit_buffer, text ? text : "", EDIT_CAPACITY - 1);
    menu_state.edit_buffer[EDIT_CAPACITY - 1] = '\0';
    menu_state.edit_cursor = static_cast<int32_t>(std::strlen(menu_state.edit_buffer));
    menu_state.edit_item = n;
}

}  // namespace

void menu_state_reset()
{
    close_lists();
    menu_state.edit_cursor = -1;
    menu_state.edit_item = 0;
    menu_state.edit_buffer[0] = '\0';
    menu_state.menu_height = 25;
}

int32_t update_menu_height()
{
    if (menu_state.open_list[1] != -1)
        menu_state.menu_height = 75;
    else if (menu_state.open_list[0] != -1)
        menu_state.menu_height = 50;
    else
        menu_state.menu_height = 25;
    return menu_state.menu_height;
}

bool menu_editing() { return menu_state.edit_cursor != -1; }

void menu_commit_edit()
{
    if (!menu_editing()) return;
    menu_state.edit_cursor = -1;
    const MenuItem& item = menu_items[menu_state.edit_item];
    // The handler gets its own copy: it may run the pipeline, which redraws.
    std::string text = menu_state.edit_buffer;
    if (item.apply) item.apply(text.c_str());
}

void menu_select(int32_t n)
{
    if (n < 0 || n >= MENU_ROW_COUNT) return;
    const MenuItem& item = menu_items[n];
    switch (item.kind) {
    case ITEM_BUTTON:
        if (n == menu_state.open_button[0]) {
            close_lists();
        } else if (n == menu_state.open_button[1]) {
            menu_state.open_list[1] = menu_state.open_button[1] = -1;
        } else if (menu_state.open_list[0] == -1) {
            menu_state.open_list[0] = item.child;
        } else {
            menu_state.open_list[1] = item.child;
        }
        menu_state.edit_cursor = -1;
        break;
    case ITEM_TOGGLE:
        if (item.render && item.apply) item.apply("0");
        menu_state.edit_cursor = -1;
        break;
    case ITEM_FIELD:
        if (item.render) start_edit(n);
        break;
    default:
        break;
    }
}

bool menu_edit_key(unsigned char key)
{
    if (!menu_editing()) return false;
    char* buffer = menu_state.edit_buffer;
    int32_t len = static_cast<int32_t>(std::strlen(buffer));
    int32_t& cursor = menu_state.edit_cursor;
    if (key == 8 || key == 127) {
        if (cursor > 0) {
            std::memmove(buffer + cursor - 1, buffer + cursor, len - cursor + 1);
            --cursor;
        }
        return true;
    }
    if (key == 13) {
        menu_commit_edit();
        return true;
    }
    if (!std::isprint(key)) return false;
    // A full buffer refuses further characters rather than overrunning.
    if (len >= EDIT_CAPACITY - 1) return true;
    std::memmove(buffer + cursor + 1, buffer + cursor, len - cursor + 1);
    buffer[cursor] = static_cast<char>(key);
    ++cursor;
    return true;
}

bool menu_edit_move(int direction)
{
    if (!menu_editing()) return false;
    int32_t len = static_cast<int32_t>(std::strlen(menu_state.edit_buffer));
    if (direction < 0 && menu_state.edit_cursor > 0) --menu_state.edit_cursor;
    if (direction > 0 && menu_state.edit_cursor < len) ++menu_state.edit_cursor;
    return true;
}

FieldWindow field_visible_range(int32_t width, int32_t len, int32_t cursor)
{
    int32_t n = (width - 8) / 8;
    int32_t half = n / 2;
    FieldWindow w;
    if (cursor < half) {
        w = {0, n};
    } else if (cursor > len - half) {
        w = {len - n, len};
    } else {
        w = {cursor - half, cursor + half};
    }
    if (w.start < 0) w.start = 0;
    if (w.end > len) w.end = len;
    return w;
}
