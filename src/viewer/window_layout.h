#pragma once
// Layout arithmetic of the main window and its two sub-windows; constant
// time, no GL.

constexpr int MIN_WINDOW_WIDTH = 480;
constexpr int MIN_WINDOW_HEIGHT = 370;
constexpr int BAR_HEIGHT = 25;

struct WindowLayout {
    int width, height;         // the main window after the minimum is applied
    bool needs_resize;         // the window is smaller than the minimum
    int menu_x, menu_y, menu_width, menu_height;
    int status_x, status_y, status_width, status_height;
    int view_width, view_height;
};

WindowLayout compute_layout(int width, int height, int menu_height);

// Where a key typed in the main window goes, by the pointer's y from the top.
enum class KeyTarget { Menu, Status, View };
KeyTarget key_target(int y, int window_height, int menu_height);
