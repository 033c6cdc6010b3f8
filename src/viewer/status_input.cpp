#include "viewer/status_input.h"

#include "app/status.h"


ButtonRect status_button_rect(int width)
{
    const bool cancel = status_line.status_state == STATUS_PROGRESS;
    return ButtonRect{width - 70, 2, 60, 21, cancel ? 10 : 20};
}

const char* status_button_label()
{
    switch (status_line.status_state) {
    case STATUS_WARNING:
    case STATUS_FATAL:
        return "OK";
    case STATUS_PROGRESS:
        return "Cancel";
    default:
        return nullptr;
    }
}

bool status_accepts_mouse()
{
    const int32_t s = status_line.status_state;
    return s == STATUS_WARNING || s == STATUS_FATAL || s == STATUS_PROGRESS;
}

void status_key_pressed() { status_acknowledge(); }

bool status_mouse_pressed(int32_t picked_name)
{
    if (!status_accepts_mouse()) return false;
    if (picked_name == 1) status_line.button_pressed = true;
    return true;
}

void status_mouse_released()
{
    if (!status_accepts_mouse() || !status_line.button_pressed) return;
    status_acknowledge();
}
