#pragma once
// The batch tool's messages on standard error, shaped for who reads them.
// On a terminal one progress line is rewritten in place: the stage (or
// "frame i of N"), its percentage, the time elapsed and the time left. In a
// log there is one line per stage and per frame and nothing per polygon or
// per slice; the saving messages are left out (standard output names every
// file). Quiet keeps only warnings and errors. Warnings and errors always
// get a line of their own, prefixed "warning: " or "error: ".
//
// Events in, text out: the caller hands each message as a typed event (a
// stage, a surface's sampling, a frame's slice or end, a saved file), writes
// what it gets to standard error and passes the time, so the shaping can be
// tested without a clock.
#include <string>

#include "app/status.h"


enum class ConsoleStyle { Terminal, Log };

struct ConsoleProgress {
    ConsoleStyle style = ConsoleStyle::Log;
    bool quiet = false;
    int width = 80;            // terminal columns; the line is cut to fit
    int slices_per_frame = 0;  // lattice slices of one frame, for the percentage
    double started = 0;        // seconds, when the run began

    // What the console shows now.
    std::string stage;            // the stage of the last message
    double stage_started = 0;
    double last_message = 0;      // when the message before this one came
    double frames_started = -1;   // when the first frame began (the message before its first), -1 before
    int frame = 0;                // the frame being built (1-based), 0 before
    int frame_count = 0;
    int slices = 0;               // slices of that frame so far
    bool frame_finished = false;  // that frame is done
    std::string shown;            // terminal: the progress line on screen, empty if none
};

// The messages the console treats apart; every other one is a stage.
enum class ConsoleEventKind { Stage, Sampling, Slice, FrameDone, Saving };

struct ConsoleEvent {
    ConsoleEventKind kind = ConsoleEventKind::Stage;
    std::string stage;          // Stage and Sampling: what the stage is called
    long done = 0, of = 0;      // Sampling: polygons
    int frame = 0, frames = 0;  // Slice and FrameDone: frame (from 1) of frames
    long triangles = 0;
};

// What to write for one progress event given at `now` (seconds).
std::string console_event(ConsoleProgress& console, const ConsoleEvent& event, double now);

// What to write for a message given at `now`: a warning or an error on a
// line of its own; an Info message is a stage.
std::string console_message(ConsoleProgress& console, StatusKind kind, const std::string& text, double now);

// Takes the progress line off the screen (before other output, such as a file
// name on standard output); the next message draws it again.
std::string console_clear(ConsoleProgress& console);

// The end of the run: on a terminal the progress line gives way to a summary.
std::string console_finish(ConsoleProgress& console, int files_written, double now);

// "m:ss", or "h:mm:ss" from an hour on.
std::string format_duration(double seconds);
