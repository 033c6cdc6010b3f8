#include "viewer/window_layout.h"

#include <algorithm>


WindowLayout compute_layout(int width, int height, int menu_height)
{
    WindowLayout l{};
    l.width = std::max(width, MIN_WINDOW_WIDTH);
    l.height = std::max(height, MIN_WINDOW_HEIGHT);
    l.needs_resize = width < MIN_WINDOW_WIDTH || height < MIN_WINDOW_HEIGHT;
    l.menu_x = 0;
    l.menu_y = 0;
    l.menu_width = l.width;
    l.menu_height = menu_height;
    l.status_x = 0;
    l.status_y = l.height - BAR_HEIGHT;
    l.status_width = l.width;
    l.status_height = BAR_HEIGHT;
    l.view_width = l.width;
    l.view_height = l.height - 2 * BAR_HEIGHT;
    return l;
}

KeyTarget key_target(int y, int window_height, int menu_height)
{
    if (y < menu_height) return KeyTarget::Menu;
    if (y > window_height - BAR_HEIGHT) return KeyTarget::Status;
    return KeyTarget::View;
}
