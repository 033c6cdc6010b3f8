// The menu bar: a GLUT sub-window at the top of the main window that draws
// the widget table level by level and edits its text fields.
#include <GL/glut.h>

#include <cstring>

#include "app/command_line.h"
#include "viewer/menu_state.h"
#include "viewer/menu_table.h"
#include "app/app_state.h"
#include "gl/menu.h"
#include "gl/menu_actions.h"
#include "gl/widgets.h"
#include "gl/window_helpers.h"
#include "viewer/quit.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

void draw_item_button(int32_t row, int32_t y, bool sunken, bool active)
{
    const MenuItem& item = menu_items[row];
    if (sunken)
        draw_button_sunken(row, item.label, item.label_offset, item.x, y, item.width, WIDGET_HEIGHT, active);
    else
        draw_button_raised(row, item.label, item.label_offset, item.x, y, item.width, WIDGET_HEIGHT, active);
}

void draw_item_field(int32_t row, int32_t y, const char* text, int32_t cursor, bool active)
{
    const MenuItem& item = menu_items[row];
    draw_text_field(row, item.label, text, cursor, item.label_offset, item.x, y, item.width, WIDGET_HEIGHT, active);
}

void draw_widget(int32_t row, int32_t y, bool deepest, int32_t open_below, int level)
{
    const MenuItem& item = menu_items[row];
    switch (item.kind) {
    case ITEM_BUTTON: {
        // The button of the open list below stays pressed and live.
        const bool open = open_below != -1 && item.child == open_below;
        draw_item_button(row, y, open, open || deepest);
        if (open) menu_state.open_button[level] = row;
        break;
    }
    case ITEM_TOGGLE:
        if (!item.render)
            draw_item_button(row, y, false, false);
        else
            draw_item_button(row, y, item.render()[0] == '1', deepest);
        break;
    case ITEM_FIELD:
        if (!item.render)
            draw_item_field(row, y, "(undefined)", -1, false);
        else if (menu_state.edit_cursor != -1 && menu_state.edit_item == row)
            draw_item_field(row, y, menu_state.edit_buffer, menu_state.edit_cursor, deepest);
        else
            draw_item_field(row, y, item.render(), -1, deepest);
        break;
    default:
        break;
    }
}

}  // namespace

void menu_init()
{
    set_widget_window_state();
    glEnable(GL_STENCIL_TEST);
    glDrawBuffer(GL_FRONT);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT);
    install_menu_actions();
}

void menu_reshape(int width, int height) { set_pixel_projection(width, height); }

void draw_text_field(int32_t name, const char* label, const char* text, int32_t cursor, int32_t label_offset,
                     int32_t x, int32_t y, int32_t width, int32_t height, bool active)
{
    const int32_t w = width, h = height;
    draw_field_box(name, label, label_offset, x, y, w, h, active);

    const int32_t len = static_cast<int32_t>(std::strlen(text));
    const FieldWindow shown = field_visible_range(w, len, cursor);
    glRasterPos2i(x + 4, y + 6);
    for (int32_t i = shown.start; i < shown.end; ++i) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, text[i]);

    if (cursor >= 0 && cursor <= len) {
        const int32_t cx = x + 8 * (cursor - shown.start);
        glBegin(GL_LINES);
        glVertex2i(cx + 2, y + 3);
        glVertex2i(cx + 6, y + 3);
        glVertex2i(cx + 4, y + 3);
        glVertex2i(cx + 4, y + h - 3);
        glVertex2i(cx + 2, y + h - 3);
        glVertex2i(cx + 6, y + h - 3);
        glEnd();
    }
}

void menu_display()
{
    GLint render_mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &render_mode);
    const bool picking = render_mode == GL_SELECT;
    const int32_t window_width = glutGet(GLUT_WINDOW_WIDTH);

    glDrawBuffer(GL_BACK);
    // A pick draws only to find names: the picture on screen stays as it is.
    if (!picking) glClear(GL_COLOR_BUFFER_BIT);

    int32_t list = 0;
    int32_t y = menu_state.menu_height - 23;
    for (int level = 0; level < 3 && list != -1; ++level, y -= 25) {
        const int32_t open_below = level < 2 ? menu_state.open_list[level] : -1;
        const bool deepest = open_below == -1;
        if (level < 2 && deepest) menu_state.open_button[level] = -1;
        for (int32_t row = list; row < MENU_ROW_COUNT && menu_items[row].kind != ITEM_END; ++row)
            draw_widget(row, y, deepest, open_below, level);
        if (level == 0)
            draw_button_raised(QUIT_NAME, "Quit", 17, window_width - 70, y, 60, WIDGET_HEIGHT, true);
        glLoadName(static_cast<GLuint>(-1));
        glColor3f(0.2f, 0.2f, 0.2f);
        glBegin(GL_LINES);
        glVertex2i(0, y - 2);
        glVertex2i(window_width, y - 2);
        glEnd();
        list = open_below;
    }
    if (!picking) glutSwapBuffers();
}

void menu_redraw()
{
    const int32_t height = update_menu_height();
    if (menu_window == 0) return;
    const int previous = glutGetWindow();
    glutSetWindow(menu_window);
    const int width = glutGet(GLUT_WINDOW_WIDTH);
    glutReshapeWindow(width, height);
    menu_reshape(width, height);
    menu_display();
    if (previous != 0) glutSetWindow(previous);
}

void menu_mouse(int, int state, int x, int y)
{
    // The menus wait for the load under way.
    if (state != GLUT_DOWN || view.loading) return;
    const int32_t n = pick_widget(menu_display, x, y);
    // Any click in the bar commits a field being edited.
    menu_commit_edit();
    if (n == QUIT_NAME) quit_program();
    if (n != -1) menu_select(n);
    menu_redraw();
}

void menu_key(unsigned char key, int, int)
{
    if (view.loading) return;
    if (menu_edit_key(key)) menu_redraw();
}

void menu_arrow_key(int key, int, int)
{
    if (key == GLUT_KEY_LEFT && menu_edit_move(-1)) menu_redraw();
    if (key == GLUT_KEY_RIGHT && menu_edit_move(+1)) menu_redraw();
}

int32_t menu_height() { return menu_state.menu_height; }
