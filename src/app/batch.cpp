#include "app/batch.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/command_line.h"
#include "app/frame_driver.h"
#include "app/interrupts.h"
#include "app/morph_cost.h"
#include "app/pipeline.h"
#include "base/app_state.h"
#include "base/status.h"
#include "output/output_file.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"

namespace {

bool on_terminal = false;
bool line_open = false;  // a progress line waits to be overwritten

void console_report(StatusKind kind, const char* text)
{
    // Messages may carry their own trailing newline; print each as one line.
    std::string line(text);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    const char* prefix = kind == StatusKind::Warning ? "warning: " : kind == StatusKind::Error ? "error: " : "";
    if (on_terminal && kind == StatusKind::Info) {
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        line_open = true;
    } else {
        if (line_open) std::fputc('\n', stderr);
        line_open = false;
        std::fprintf(stderr, "%s%s\n", prefix, line.c_str());
    }
    std::fflush(stderr);
}

void close_console_line()
{
    if (line_open) std::fputc('\n', stderr);
    line_open = false;
}

// What the run has written, for the line an interrupt prints.
struct Written {
    int frames = 0;
    int sphere_files = 0;
};

// Stops the run after an interrupt, saying how far it got.
int stop_interrupted(const Written& written)
{
    close_console_line();
    if (app.quick_morph)
        std::fprintf(stderr, "Interrupted: %i of %i frames written\n", written.frames, app.frame_count);
    else
        std::fprintf(stderr, "Interrupted: %i of %i frames and %i of 2 sphere files written\n", written.frames,
                     app.frame_count, written.sphere_files);
    return interrupt_exit_status(interrupt_signal());
}

int write_sphere_files(Written& written)
{
    for (int side = 0; side < 2; ++side) {
        if (interrupt_signal()) return stop_interrupted(written);
        if (!write_sphere_file(side, FAILURES_END_RUN)) return BATCH_WRITE_FAILED;
        ++written.sphere_files;
        close_console_line();
        std::printf("%s\n", sphere_file_name(side, app.frame_count, app.output_format).c_str());
        std::fflush(stdout);
    }
    return BATCH_DONE;
}

// Temporaries that a killed run left of the files this run writes, removed
// before the load, so that a run killed early leaves none but its own.
void remove_earlier_temporaries()
{
    std::vector<std::string> names;
    for (int frame = 0; frame < app.frame_count; ++frame)
        names.push_back(surface_file_name(app.output_base, frame, app.output_format));
    for (int side = 0; side < 2; ++side) names.push_back(sphere_file_name(side, app.frame_count, app.output_format));
    remove_stale_temporaries(names);
}

int write_frames(Written& written)
{
    for (int frame = 0; frame < app.frame_count; ++frame) {
        if (interrupt_signal()) return stop_interrupted(written);
        SurfaceMesh mesh;
        const FrameOutcome outcome = build_frame(frame, &mesh, FAILURES_END_RUN);
        if (outcome == FRAME_NOT_TRIANGULATED) return BATCH_ANALYSIS_FAILED;
        if (outcome == FRAME_NOT_WRITTEN) return BATCH_WRITE_FAILED;
        ++written.frames;
        const std::string name = surface_file_name(app.output_base, frame, app.output_format);
        close_console_line();
        std::printf("%s\n", name.c_str());
        std::fflush(stdout);
    }
    return BATCH_DONE;
}

}  // namespace

void install_console_reporter()
{
    on_terminal = isatty(fileno(stderr));
    status_hooks.report = console_report;
}

int batch_main(int argc, char** argv)
{
    int parsed = parse_command_line(argc, argv);
    if (parsed != 0) return BATCH_COMMAND_LINE;
    if (app.source_path.empty() || app.target_path.empty()) {
        std::fprintf(stderr, "Both an initial and a final file are required.\n");
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    // Without a chosen format the batch tool still writes CNOFF frames.
    if (app.output_format == SURFACE_FORMAT_NONE) app.output_format = SURFACE_FORMAT_OOGL;

    install_console_reporter();
    install_interrupt_handlers();
    remove_earlier_temporaries();
    Written written;
    int outcome = run_pipeline();
    close_console_line();
    if (outcome == PIPELINE_LOAD_FAILED) return BATCH_LOAD_FAILED;
    if (outcome != PIPELINE_DONE) return BATCH_ANALYSIS_FAILED;
    if (interrupt_signal()) {
        release_volumes();
        return stop_interrupted(written);
    }

    if (!app.quick_morph) {
        if (link_spheres() != 0) {
            show_error("Not enough memory to link the spheres");
            return BATCH_ANALYSIS_FAILED;
        }
        close_console_line();
        std::fprintf(stderr, "Spheres: %i in the source, %i in the target\n", app.volumes[0].sphere_count,
                     app.volumes[1].sphere_count);
        const MorphCost cost = current_morph_cost();
        if (cost.large)
            std::fprintf(stderr,
                         "Estimated work: %.2g sphere samples a frame (lattice points x linked spheres), %s for "
                         "the %i frames; -q or fewer points (-p) is much faster\n",
                         cost.samples_per_frame, rough_duration(cost.seconds).c_str(), app.frame_count);
    }
    int status = write_frames(written);
    if (status == BATCH_DONE && !app.quick_morph) status = write_sphere_files(written);
    close_console_line();
    release_volumes();
    return status;
}
