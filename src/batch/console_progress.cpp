#include "batch/console_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>


namespace {

using Message = ConsoleEventKind;
using Parsed = ConsoleEvent;

// Fraction of the frames built, counting the slices of the frame in hand.
double frames_fraction(const ConsoleProgress& c)
{
    if (c.frame_count <= 0 || c.frame <= 0) return 0;
    double within = c.frame_finished            ? 1.0
                    : c.slices_per_frame > 0 ? std::min(1.0, static_cast<double>(c.slices) / c.slices_per_frame)
                                             : 0.0;
    return std::min(1.0, (c.frame - 1 + within) / c.frame_count);
}

std::string remaining(const ConsoleProgress& c, double now)
{
    const double f = frames_fraction(c);
    if (f <= 0 || c.frames_started < 0) return "--:--";
    return format_duration((now - c.frames_started) * (1 - f) / f);
}

std::string percent(double fraction)
{
    char text[16];
    std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(std::floor(100 * fraction)));
    return text;
}

std::string progress_line(const ConsoleProgress& c, const Parsed& m, double now)
{
    const std::string elapsed = "elapsed " + format_duration(now - c.started);
    char frames[64];
    switch (m.kind) {
    case Message::Slice:
    case Message::FrameDone:
        std::snprintf(frames, sizeof frames, "Morphing: frame %d of %d", c.frame, c.frame_count);
        return std::string(frames) + "  " + percent(frames_fraction(c)) + "  " + elapsed + "  remaining " +
               remaining(c, now);
    case Message::Sampling:
        return c.stage + "  " + percent(m.of > 0 ? static_cast<double>(m.done) / m.of : 0) + "  " + elapsed;
    default:
        return c.stage + "  " + elapsed;
    }
}

std::string draw(ConsoleProgress& c, std::string line)
{
    const size_t width = static_cast<size_t>(std::max(c.width, 20) - 1);
    if (line.size() > width) line.resize(width);
    if (line == c.shown) return "";
    c.shown = line;
    return "\r" + line + "\033[K";
}

// Takes the message into the console's state; true when it starts a stage.
bool follow(ConsoleProgress& c, const Parsed& m, double now)
{
    switch (m.kind) {
    case Message::Stage:
    case Message::Sampling:
        if (m.kind == Message::Sampling && m.stage == c.stage) return false;
        c.stage = m.stage;
        c.stage_started = now;
        return true;
    case Message::Slice:
        if (c.frames_started < 0) c.frames_started = c.last_message;
        if (m.frame != c.frame) c.slices = 0;
        c.frame = m.frame;
        c.frame_count = m.frames;
        c.frame_finished = false;
        ++c.slices;
        return false;
    case Message::FrameDone:
        if (c.frames_started < 0) c.frames_started = c.last_message;
        c.frame = m.frame;
        c.frame_count = m.frames;
        c.frame_finished = true;
        return false;
    case Message::Saving:
        return false;
    }
    return false;
}

std::string log_line(const ConsoleProgress& c, const Parsed& m, bool new_stage, double now)
{
    switch (m.kind) {
    case Message::Stage:
    case Message::Sampling:
        return new_stage ? c.stage + "\n" : "";
    case Message::FrameDone: {
        char text[160];
        std::snprintf(text, sizeof text, "Frame %d of %d - %ld triangles (elapsed %s, remaining %s)\n", m.frame,
                      m.frames, m.triangles, format_duration(now - c.started).c_str(), remaining(c, now).c_str());
        return text;
    }
    default:
        return "";
    }
}

}  // namespace

std::string format_duration(double seconds)
{
    long s = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string console_clear(ConsoleProgress& c)
{
    if (c.shown.empty()) return "";
    c.shown.clear();
    return "\r\033[K";
}

std::string console_message(ConsoleProgress& c, StatusKind kind, const std::string& message, double now)
{
    std::string text = message;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (kind != StatusKind::Info) {
        c.last_message = now;
        // A line of its own; the progress line follows it again.
        const std::string line = c.shown;
        std::string out = console_clear(c) + (kind == StatusKind::Warning ? "warning: " : "error: ") + text + "\n";
        if (!line.empty()) out += draw(c, line);
        return out;
    }
    ConsoleEvent stage;
    stage.stage = text;
    return console_event(c, stage, now);
}

std::string console_event(ConsoleProgress& c, const ConsoleEvent& event, double now)
{
    ConsoleEvent m = event;
    while (!m.stage.empty() && m.stage.back() == '\n') m.stage.pop_back();
    const bool new_stage = follow(c, m, now);
    c.last_message = now;
    if (c.quiet || m.kind == Message::Saving) return "";
    if (c.style == ConsoleStyle::Log) return log_line(c, m, new_stage, now);
    return draw(c, progress_line(c, m, now));
}

std::string console_finish(ConsoleProgress& c, int files_written, double now)
{
    if (c.quiet || c.style == ConsoleStyle::Log) return "";
    return console_clear(c) + "Done: " + std::to_string(files_written) + " files written in " +
           format_duration(now - c.started) + "\n";
}
