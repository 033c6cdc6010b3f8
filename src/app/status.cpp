#include "app/status.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"

using namespace kestrane;

StatusLine status_line;
StatusHooks status_hooks;

namespace {

// A formatted message, cut to its first 120 characters.
struct MessageText {
    char text[STATUS_TEXT_LENGTH + 1];
};

MessageText format_message(const char* format, va_list args)
{
    MessageText message;
    std::vsnprintf(message.text, sizeof message.text, format, args);
    return message;
}

void redraw()
{
    if (status_hooks.redraw) status_hooks.redraw();
}

void report(StatusKind kind, const char* text)
{
    if (status_hooks.report) status_hooks.report(kind, text);
}

void end_progress_state()
{
    if (status_line.status_state == STATUS_PROGRESS) {
        status_line.status_state = STATUS_INFO;
        status_line.button_pressed = false;
    }
}

// A warning or an error ends any progress and holds the line until it is
// acknowledged.
void show_notice(const MessageText& message, int32_t state)
{
    status_line.cancel_action = nullptr;
    end_progress_state();
    std::memcpy(status_line.notice_text, message.text, sizeof message.text);
    status_line.status_state = state;
    status_line.button_pressed = false;
    redraw();
}

}  // namespace

void show_info(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const MessageText message = format_message(format, args);
    va_end(args);
    const char* text = message.text;
    report(StatusKind::Info, text);
    if (status_line.status_state == STATUS_WARNING || status_line.status_state == STATUS_FATAL) return;
    std::memcpy(status_line.info_text, text, sizeof message.text);
    if (status_line.status_state != STATUS_PROGRESS) status_line.status_state = STATUS_INFO;
    redraw();
}

void show_progress(void (*cancel)())
{
    if (status_line.status_state == STATUS_FATAL) return;
    status_line.status_state = STATUS_PROGRESS;
    status_line.button_pressed = false;
    status_line.cancel_action = cancel;
    redraw();
}

void show_warning(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const MessageText message = format_message(format, args);
    va_end(args);
    const char* text = message.text;
    report(StatusKind::Warning, text);
    if (status_line.status_state == STATUS_FATAL) return;
    show_notice(message, STATUS_WARNING);
}

void show_error(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const MessageText message = format_message(format, args);
    va_end(args);
    const char* text = message.text;
    report(StatusKind::Error, text);
    show_notice(message, STATUS_FATAL);
    if (status_hooks.on_fatal) status_hooks.on_fatal();
}

void end_progress()
{
    status_line.cancel_action = nullptr;
    end_progress_state();
}

void status_acknowledge()
{
    switch (status_line.status_state) {
    case STATUS_WARNING:
        status_line.status_state = STATUS_INFO;
        redraw();
        break;
    case STATUS_FATAL:
        if (status_hooks.quit) status_hooks.quit();
        break;
    case STATUS_PROGRESS: {
        void (*cancel)() = status_line.cancel_action;
        status_line.cancel_action = nullptr;
        if (cancel) cancel();
        status_line.status_state = STATUS_INFO;
        redraw();
        break;
    }
    default:
        break;
    }
}

void status_reset()
{
    status_line = StatusLine{};
    status_hooks = StatusHooks{};
}
