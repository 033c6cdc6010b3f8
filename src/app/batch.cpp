#include "app/batch.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/analysis.h"
#include "app/batch_options.h"
#include "app/command_line.h"
#include "app/console_progress.h"
#include "app/frame_driver.h"
#include "app/pipeline.h"
#include "base/app_state.h"
#include "base/status.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"

namespace {

ConsoleProgress console;
int files_written = 0;

double seconds_now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void put(const std::string& text)
{
    if (text.empty()) return;
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void say(StatusKind kind, const std::string& text) { put(console_message(console, kind, text, seconds_now())); }

void console_report(StatusKind kind, const char* text) { say(kind, text); }

// A load failure ends the run: the file and the reason, whole (the status
// line would cut it to 120 characters).
void report_load_failure(const LoadFailure& failure) { say(StatusKind::Error, failure.detail); }

// A written file's name on standard output, with the progress line out of its way.
void name_file(const std::string& name)
{
    put(console_clear(console));
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    ++files_written;
}

int write_sphere_files()
{
    for (int side = 0; side < 2; ++side) {
        if (!write_sphere_file(side, FAILURES_END_RUN)) return BATCH_WRITE_FAILED;
        name_file(sphere_file_name(side, app.frame_count, app.output_format));
    }
    return BATCH_DONE;
}

int write_frames()
{
    console.slices_per_frame = app.sample_grid_dims[2];
    for (int frame = 0; frame < app.frame_count; ++frame) {
        SurfaceMesh mesh;
        const FrameOutcome outcome = build_frame(frame, &mesh, FAILURES_END_RUN);
        if (outcome == FRAME_NOT_TRIANGULATED) return BATCH_ANALYSIS_FAILED;
        if (outcome == FRAME_NOT_WRITTEN) return BATCH_WRITE_FAILED;
        name_file(surface_file_name(app.output_base, frame, app.output_format));
    }
    return BATCH_DONE;
}

// Every directory the run writes into must take a file before any work.
bool output_directories_writable()
{
    for (const std::string& directory : output_directories(app.output_base, !app.quick_morph)) {
        const std::string failure = directory_write_failure(directory);
        if (!failure.empty()) {
            say(StatusKind::Error, "cannot write into the output directory `" + directory + "': " + failure);
            return false;
        }
    }
    return true;
}

int terminal_width()
{
    winsize size{};
    if (ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Everything after the command line; returns the exit status.
int run_batch()
{
    if (!output_directories_writable()) return BATCH_WRITE_FAILED;
    int outcome = run_pipeline();
    if (outcome == PIPELINE_LOAD_FAILED) return BATCH_LOAD_FAILED;
    if (outcome != PIPELINE_DONE) return BATCH_ANALYSIS_FAILED;

    if (!app.quick_morph) {
        if (link_spheres() != 0) {
            show_error("Not enough memory to link the spheres");
            return BATCH_ANALYSIS_FAILED;
        }
        char spheres[96];
        std::snprintf(spheres, sizeof spheres, "Spheres: %i in the source, %i in the target",
                      app.volumes[0].sphere_count, app.volumes[1].sphere_count);
        say(StatusKind::Info, spheres);
    }
    int status = write_frames();
    if (status == BATCH_DONE && !app.quick_morph) status = write_sphere_files();
    if (status == BATCH_DONE) put(console_finish(console, files_written, seconds_now()));
    return status;
}

}  // namespace

void install_console_reporter(bool quiet)
{
    console = ConsoleProgress{};
    console.style = isatty(fileno(stderr)) ? ConsoleStyle::Terminal : ConsoleStyle::Log;
    console.width = terminal_width();
    console.quiet = quiet;
    console.started = seconds_now();
    files_written = 0;
    status_hooks.report = console_report;
    pipeline_hooks.load_failed = report_load_failure;
}

int batch_main(int argc, char** argv)
{
    BatchOptions options = take_batch_options(argc, argv);
    if (options.help) {
        print_batch_help(argv[0]);
        return BATCH_DONE;
    }
    int parsed = parse_command_line(static_cast<int>(options.shared_arguments.size()), options.shared_arguments.data());
    if (parsed != 0) return BATCH_COMMAND_LINE;
    if (app.source_path.empty() || app.target_path.empty()) {
        std::fprintf(stderr, "Both an initial and a final file are required.\n");
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    // Without a chosen format the batch tool still writes CNOFF frames.
    if (app.output_format == SURFACE_FORMAT_NONE) app.output_format = SURFACE_FORMAT_OOGL;

    install_console_reporter(options.quiet);
    const int status = run_batch();
    put(console_clear(console));
    release_volumes();
    return status;
}
