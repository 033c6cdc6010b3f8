// The batch tool's console: the same messages shaped for a log, for a
// terminal and for the quiet option.
#include "batch/console_progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {

// A progress event, or a warning or an error when kind is not Info.
struct Message {
    StatusKind kind;
    ConsoleEvent event;
    double at;
};

Message stage(const char* text, double at) { return {StatusKind::Info, {ConsoleEventKind::Stage, text}, at}; }
Message problem(StatusKind kind, const char* text, double at) { return {kind, {ConsoleEventKind::Stage, text}, at}; }

Message frame_event(ConsoleEventKind kind, int frame, long triangles, double at)
{
    ConsoleEvent e;
    e.kind = kind;
    e.frame = frame;
    e.frames = 3;
    e.triangles = triangles;
    return {StatusKind::Info, e, at};
}

// A small morph as the batch tool reports it: two files of 250 polygons,
// the analysis, and three frames of two slices each.
std::vector<Message> small_run()
{
    std::vector<Message> run = {
        stage("Calculating size of volumes", 0),
        stage("Interpolated volume is 30 by 30 by 30 voxels.\n", 0.1),
    };
    for (const char* file : {"a.off", "b.stl"}) {
        for (long done : {100, 200, 250}) {
            ConsoleEvent e;
            e.kind = ConsoleEventKind::Sampling;
            e.stage = std::string("Sampling `") + file + "'";
            e.done = done;
            e.of = 250;
            run.push_back({StatusKind::Info, e, 0.4});
        }
    }
    run.push_back(stage("Performing distance transform on source volume", 2));
    for (int frame = 1; frame <= 3; ++frame) {
        const double start = 2 + 2 * (frame - 1);
        run.push_back(frame_event(ConsoleEventKind::Slice, frame, 10, start + 1));
        run.push_back(frame_event(ConsoleEventKind::Slice, frame, 20, start + 2));
        run.push_back(frame_event(ConsoleEventKind::FrameDone, frame, 20, start + 2));
        ConsoleEvent saving;
        saving.kind = ConsoleEventKind::Saving;
        saving.stage = "Saving surface to `m00" + std::to_string(frame) + ".off'";
        run.push_back({StatusKind::Info, saving, start + 2});
    }
    return run;
}

std::string play(ConsoleProgress& console, const std::vector<Message>& run)
{
    std::string out;
    for (const Message& m : run)
        out += m.kind == StatusKind::Info ? console_event(console, m.event, m.at)
                                          : console_message(console, m.kind, m.event.stage, m.at);
    return out;
}

TEST(ConsoleProgress, ALogGetsOneLinePerStageAndPerFrame)
{
    ConsoleProgress console;
    console.slices_per_frame = 2;
    std::vector<Message> run = small_run();
    run.insert(run.begin() + 8, problem(StatusKind::Warning, "Too many spheres - using simple interpolation", 0.6));
    EXPECT_EQ(play(console, run),
              "Calculating size of volumes\n"
              "Interpolated volume is 30 by 30 by 30 voxels.\n"
              "Sampling `a.off'\n"
              "Sampling `b.stl'\n"
              "warning: Too many spheres - using simple interpolation\n"
              "Performing distance transform on source volume\n"
              "Frame 1 of 3 - 20 triangles (elapsed 0:04, remaining 0:04)\n"
              "Frame 2 of 3 - 20 triangles (elapsed 0:06, remaining 0:02)\n"
              "Frame 3 of 3 - 20 triangles (elapsed 0:08, remaining 0:00)\n");
    EXPECT_EQ(console_finish(console, 3, 9), "");
}

TEST(ConsoleProgress, ATerminalGetsOneLineRewrittenInPlace)
{
    ConsoleProgress console;
    console.style = ConsoleStyle::Terminal;
    console.slices_per_frame = 2;
    std::string out = play(console, small_run());
    EXPECT_EQ(out.find('\n'), std::string::npos);  // nothing but the one line
    EXPECT_NE(out.find("\rSampling `b.stl'   80%  elapsed 0:00\033[K"), std::string::npos);
    // Half of frame 2 done after 3 s of frames: 3 s to go.
    EXPECT_NE(out.find("\rMorphing: frame 2 of 3   50%  elapsed 0:05  remaining 0:03\033[K"), std::string::npos);
    EXPECT_EQ(out.find("Saving"), std::string::npos);

    // A warning takes a line of its own and the progress line follows it;
    // a message that changes nothing on the line draws nothing.
    out = console_message(console, StatusKind::Warning, "Could not write `x'", 8);
    EXPECT_EQ(out, "\r\033[Kwarning: Could not write `x'\n\rMorphing: frame 3 of 3  100%  elapsed 0:08  remaining 0:00\033[K");
    EXPECT_EQ(console_event(console, frame_event(ConsoleEventKind::FrameDone, 3, 20, 8).event, 8), "");
    EXPECT_EQ(console_clear(console), "\r\033[K");
    EXPECT_EQ(console_clear(console), "");
    EXPECT_EQ(console_finish(console, 5, 72), "Done: 5 files written in 1:12\n");

    // A narrow terminal: the line is cut to fit.
    console.width = 30;
    out = console_message(console, StatusKind::Info, "Performing sphere extraction on target volume", 80);
    EXPECT_EQ(out, "\r" + std::string("Performing sphere extraction on target volume").substr(0, 29) + "\033[K");
}

TEST(ConsoleProgress, QuietKeepsWarningsAndErrorsOnly)
{
    for (ConsoleStyle style : {ConsoleStyle::Log, ConsoleStyle::Terminal}) {
        ConsoleProgress console;
        console.style = style;
        console.quiet = true;
        std::vector<Message> run = small_run();
        run.push_back(problem(StatusKind::Error, "`flat.off' has no thickness\n", 9));
        EXPECT_EQ(play(console, run), "error: `flat.off' has no thickness\n");
        EXPECT_EQ(console_finish(console, 3, 9), "");
    }
}

}  // namespace

TEST(ConsoleProgress, TheSamplingPercentageComesFromTheCountsNotTheName)
{
    ConsoleProgress console;
    console.style = ConsoleStyle::Terminal;
    console.width = 400;
    ConsoleEvent e;
    e.kind = ConsoleEventKind::Sampling;
    e.stage = "Sampling `" + std::string(150, 'x') + "', polygon 1 of 2 (copy).off'";
    e.done = 3;
    e.of = 4;
    EXPECT_NE(console_event(console, e, 0).find("(copy).off'   75%"), std::string::npos);
}
