#pragma once
// The status line: one global state machine the programs post to.
// Messages are cut to 120 characters on the line (a console reporter gets
// them whole). Drawing and input belong to the GUI, which installs a redraw
// hook and a fatal hook; the batch tool installs a reporter that prints
// every message instead. Interface thread only.
#include <cstdint>


enum StatusStateValue : int32_t {
    STATUS_EMPTY = 0,
    STATUS_INFO = 1,
    STATUS_WARNING = 2,
    STATUS_FATAL = 3,
    STATUS_PROGRESS = 4,
};

constexpr int STATUS_TEXT_LENGTH = 120;

struct StatusLine {
    int32_t status_state = STATUS_EMPTY;
    char info_text[STATUS_TEXT_LENGTH + 1] = {0};
    char notice_text[STATUS_TEXT_LENGTH + 1] = {0};
    bool button_pressed = false;
    void (*cancel_action)() = nullptr;
};

enum class StatusKind { Info, Warning, Error };

struct StatusHooks {
    void (*redraw)() = nullptr;    // draw the status line now
    void (*on_fatal)() = nullptr;  // after the fatal message: disable interaction
    // Sees every message as it is given, whatever the state (console reporters).
    void (*report)(StatusKind kind, const char* text) = nullptr;
    // Acknowledging the fatal state ends the program (the viewer installs it).
    void (*quit)() = nullptr;
    // Handles the window's pending events during a long wait (a file being
    // read), so that the program stays responsive and can be cancelled.
    void (*pump)() = nullptr;
};

extern StatusLine status_line;
extern StatusHooks status_hooks;

void show_info(const char* format, ...) __attribute__((format(printf, 1, 2)));
void show_warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void show_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
void show_progress(void (*cancel)());
void end_progress();

// The keyboard action of the current state (also the OK / Cancel release):
// dismiss a warning, quit in the fatal state (status_hooks.quit), cancel a
// progress.
void status_acknowledge();

// Back to the empty state with no hooks (tests and a fresh start).
void status_reset();
