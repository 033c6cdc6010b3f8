#include "app/status.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"

using namespace kestrane;

StatusLine status_line;
StatusHooks status_hooks;

namespace {

// A formatted message: whole for the reporter (a console line has room for
// every word of a reason), cut to its first 120 characters for the line.
struct MessageText {
    std::string whole;
    char text[STATUS_TEXT_LENGTH + 1];
};

MessageText format_message(const char* format, va_list args)
{
    MessageText message;
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(message.text, sizeof message.text, format, args);
    if (length > STATUS_TEXT_LENGTH) {
        message.whole.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(message.whole.data(), message.whole.size(), format, again);
        message.whole.resize(static_cast<size_t>(length));
    } else {
        message.whole = message.text;
    }
    va_end(again);
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
    report(StatusKind::Info, message.whole.c_str());
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
    report(StatusKind::Warning, message.whole.c_str());
    if (status_line.status_state == STATUS_FATAL) return;
    show_notice(message, STATUS_WARNING);
}

void show_error(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const MessageText message = format_message(format, args);
    va_end(args);
    report(StatusKind::Error, message.whole.c_str());
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
