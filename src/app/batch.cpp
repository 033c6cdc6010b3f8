#include "app/batch.h"

#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <memory>
#include <string>

#include "app/analysis.h"
#include "app/command_line.h"
#include "app/frame_driver.h"
#include "app/frame_pool.h"
#include "app/pipeline.h"
#include "base/app_state.h"
#include "base/status.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"

namespace {

// The frames of this run: [first, last) counted from 0.
int first_frame() { return app.first_frame ? app.first_frame - 1 : 0; }
int last_frame() { return app.last_frame ? app.last_frame : app.frame_count; }

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

// The sphere files go with the first and the last frame: a run over part of
// the frames writes those of the ends it owns.
int write_sphere_files()
{
    for (int side = 0; side < 2; ++side) {
        if (side == 0 && first_frame() != 0) continue;
        if (side == 1 && last_frame() != app.frame_count) continue;
        if (!write_sphere_file(side, FAILURES_END_RUN)) return BATCH_WRITE_FAILED;
        close_console_line();
        std::printf("%s\n", sphere_file_name(side, app.frame_count, app.output_format).c_str());
    }
    return BATCH_DONE;
}

int frame_written(int frame, FrameOutcome outcome)
{
    if (outcome == FRAME_NOT_TRIANGULATED) return BATCH_ANALYSIS_FAILED;
    if (outcome == FRAME_NOT_WRITTEN) return BATCH_WRITE_FAILED;
    const std::string name = surface_file_name(app.output_base, frame, app.output_format);
    close_console_line();
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    return BATCH_DONE;
}

// One frame after the other, the frame's values on every thread.
int write_frames_in_turn()
{
    for (int frame = first_frame(); frame < last_frame(); ++frame) {
        SurfaceMesh mesh;
        const int status = frame_written(frame, build_frame(frame, &mesh, FAILURES_END_RUN));
        if (status != BATCH_DONE) return status;
    }
    return BATCH_DONE;
}

// Several frames at once on worker threads, written here in order.
int write_frames_together(int workers)
{
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, 0);
    request.threads = std::max(1, app.threads / workers);
    std::unique_ptr<FramePool> pool = start_frame_pool(inputs, request, first_frame(), last_frame(), workers);
    for (int frame = first_frame(); frame < last_frame(); ++frame) {
        SurfaceMesh mesh;
        const int built = take_frame(*pool, &mesh);
        if (built == LATTICE_DONE)
            show_info("Frame %i of %i - %li triangles", frame + 1, static_cast<int>(app.frame_count),
                      static_cast<long>(mesh.triangles.size()));
        const int status = frame_written(frame, finish_frame(frame, built, mesh, FAILURES_END_RUN));
        if (status != BATCH_DONE) return status;
    }
    return BATCH_DONE;
}

int write_frames()
{
    const int workers = std::min<int>(app.threads, last_frame() - first_frame());
    return workers > 1 ? write_frames_together(workers) : write_frames_in_turn();
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
    if (app.last_frame > app.frame_count) {
        std::fprintf(stderr, "Frame range %i-%i goes beyond the %i frames of the morph.\n", app.first_frame,
                     app.last_frame, static_cast<int>(app.frame_count));
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    // Without a chosen format the batch tool still writes CNOFF frames.
    if (app.output_format == SURFACE_FORMAT_NONE) app.output_format = SURFACE_FORMAT_OOGL;

    install_console_reporter();
    int outcome = run_pipeline();
    close_console_line();
    if (outcome == PIPELINE_LOAD_FAILED) return BATCH_LOAD_FAILED;
    if (outcome != PIPELINE_DONE) return BATCH_ANALYSIS_FAILED;

    if (!app.quick_morph) {
        if (link_spheres() != 0) {
            show_error("Not enough memory to link the spheres");
            return BATCH_ANALYSIS_FAILED;
        }
        close_console_line();
        std::fprintf(stderr, "Spheres: %i in the source, %i in the target\n", app.volumes[0].sphere_count,
                     app.volumes[1].sphere_count);
    }
    int status = write_frames();
    if (status == BATCH_DONE && !app.quick_morph) status = write_sphere_files();
    close_console_line();
    release_volumes();
    return status;
}
