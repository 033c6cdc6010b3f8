#include "batch/batch.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "batch/batch_options.h"
#include "app/command_line.h"
#include "batch/console_progress.h"
#include "app/frame_driver.h"
#include "app/frame_formats.h"
#include "morph/frame_pool.h"
#include "morph/load_memory.h"
#include "batch/interrupts.h"
#include "batch/video_program.h"
#include "batch/video_run.h"
#include "app/morph_status.h"
#include "morph/morph_cost.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "output/gltf_writer.h"
#include "output/output_file.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"

using namespace kestrane;

namespace {

// -g and --fps; the GLB's writer while the frames are built.
std::string gltf_file;
int gltf_fps = GLTF_DEFAULT_FPS;
std::unique_ptr<GltfSequenceWriter> gltf;
// --video and its settings; the video being made while the frames are built.
VideoSettings video;
VideoRunPtr video_run;

// The frames of this run: [first, last) counted from 0.
int first_frame() { return app.first_frame ? app.first_frame - 1 : 0; }
int last_frame() { return app.last_frame ? app.last_frame : app.frame_count; }

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

// A surface that encloses nothing at this sampling would morph from or into
// nothing: the batch tool ends such a run as a failed load. Its reason, once
// told; the rest of the load then goes unsaid.
std::string empty_surface;

void console_report(StatusKind kind, const char* text)
{
    if (empty_surface.empty()) say(kind, text);
}

void tell(const ConsoleEvent& event) { put(console_event(console, event, seconds_now())); }

void console_slice(int frame, int frame_count, long triangles, const std::string&)
{
    ConsoleEvent e;
    e.kind = ConsoleEventKind::Slice;
    e.frame = frame + 1;
    e.frames = frame_count;
    e.triangles = triangles;
    tell(e);
}

void console_frame(int frame, int frame_count, long triangles, const std::string&)
{
    ConsoleEvent e;
    e.kind = ConsoleEventKind::FrameDone;
    e.frame = frame + 1;
    e.frames = frame_count;
    e.triangles = triangles;
    tell(e);
}

void console_saving(const char* what, const std::string& name)
{
    ConsoleEvent e;
    e.kind = ConsoleEventKind::Saving;
    e.stage = std::string("Saving ") + what + " to `" + name + "'";
    tell(e);
}

// The load's events, each as the console's event.
class ConsoleObserver : public MorphObserver {
public:
    void progress(const ProgressEvent& event) override
    {
        if (!empty_surface.empty()) return;
        ConsoleEvent e;
        e.stage = progress_text(event);
        if (event.stage == Stage::Converting) {
            if (event.finished) return;  // the count is told already
            e.kind = ConsoleEventKind::Sampling;
            e.stage = "Sampling `" + event.item + "'";
            e.done = event.done;
            e.of = event.total;
        }
        if (!e.stage.empty()) tell(e);
    }
    void report(const Report& report) override
    {
        if (!empty_surface.empty()) return;
        if (report.problem == Problem::NoVolume) {
            empty_surface = report.reason;
            // The run ends after the load: no sphere extraction to wait for.
            app.quick_morph = true;
            return;
        }
        say(report.severity == Severity::Warning ? StatusKind::Warning : StatusKind::Error, report.reason);
    }
};
ConsoleObserver console_observer;

// A load failure ends the run: the file and the reason, whole (the status
// line would cut it to 120 characters).
// A load that the first signal stopped (its import killed) is an
// interrupted run, told as such by the run, not a file that could not be
// read.
void report_load_failure(const LoadFailure& failure)
{
    if (!interrupt_signal()) say(StatusKind::Error, failure.detail);
}

void report_analysis_failure(const std::string& reason) { say(StatusKind::Error, reason); }

// A written file's name on standard output, with the progress line out of its way.
void name_file(const std::string& name)
{
    put(console_clear(console));
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    ++files_written;
}

// What the run has written, for the line an interrupt prints.
struct Written {
    int frames = 0;
    int sphere_files = 0;
};
Written written;

// Stops the run after an interrupt, saying how far it got.
int stop_interrupted()
{
    put(console_clear(console));
    const int frames = last_frame() - first_frame();
    if (app.quick_morph)
        std::fprintf(stderr, "Interrupted: %i of %i frames written\n", written.frames, frames);
    else
        std::fprintf(stderr, "Interrupted: %i of %i frames and %i sphere files written\n", written.frames, frames,
                     written.sphere_files);
    return interrupt_exit_status(interrupt_signal());
}

// The sphere files go with the first and the last frame: a run over part of
// the frames writes those of the ends it owns.
int write_sphere_files()
{
    for (int side = 0; side < 2; ++side) {
        if (side == 0 && first_frame() != 0) continue;
        if (side == 1 && last_frame() != app.frame_count) continue;
        if (interrupt_signal()) return stop_interrupted();
        if (!write_sphere_file(side, FAILURES_END_RUN)) return BATCH_WRITE_FAILED;
        for (const std::string& name : sphere_file_names(side)) {
            ++written.sphere_files;
            name_file(name);
        }
    }
    return BATCH_DONE;
}

int gltf_failed()
{
    show_error("Could not write `%s': %s", gltf_file.c_str(), std::strerror(errno));
    return BATCH_WRITE_FAILED;
}

int video_failed(const std::string& reason)
{
    show_error("Could not write `%s': %s", video.file.c_str(), reason.c_str());
    return BATCH_WRITE_FAILED;
}

// The frame drawn into the video, with a progress line of its own.
int add_to_video(int frame, const SurfaceMesh& mesh)
{
    if (!video_run) return BATCH_DONE;
    ConsoleEvent e;
    e.stage = "Video frame " + std::to_string(frame - first_frame() + 1) + " of " +
              std::to_string(last_frame() - first_frame()) + " into `" + video.file + "'";
    tell(e);
    std::string reason;
    return add_video_frame(*video_run, mesh, &reason) ? BATCH_DONE : video_failed(reason);
}

int frame_written(int frame, FrameOutcome outcome, const SurfaceMesh& mesh)
{
    if (outcome == FRAME_NOT_TRIANGULATED) return BATCH_ANALYSIS_FAILED;
    if (outcome == FRAME_NOT_WRITTEN) return BATCH_WRITE_FAILED;
    if (gltf && !gltf->add_frame(mesh, source_placement(app.morph), frame + 1)) return gltf_failed();
    if (add_to_video(frame, mesh) != BATCH_DONE) return BATCH_WRITE_FAILED;
    // With -g alone no frame files are written.
    if (app.output_format == SURFACE_FORMAT_NONE) return BATCH_DONE;
    ++written.frames;
    for (const std::string& name : frame_file_names(frame)) name_file(name);
    return BATCH_DONE;
}

// The GLB, once every frame of the run is in.
int write_gltf()
{
    if (!gltf) return BATCH_DONE;
    console_saving("the animation", gltf_file);
    if (!gltf->finish(gltf_fps)) return gltf_failed();
    gltf.reset();
    name_file(gltf_file);
    return BATCH_DONE;
}

// The video, once every frame of the run is in.
int write_video()
{
    if (!video_run) return BATCH_DONE;
    console_saving("the video", video.file);
    std::string reason;
    if (!finish_video(*video_run, &reason)) return video_failed(reason);
    video_run.reset();
    name_file(video.file);
    return BATCH_DONE;
}

// One frame after the other, the frame's values on every thread.
int write_frames_in_turn()
{
    // The spheres' displacements are kept for the frames between the ends
    // to share: a run of one such frame would only pay for keeping them.
    int middle = 0;
    for (int frame = first_frame(); frame < last_frame(); ++frame) middle += frame > 0 && frame < app.frame_count - 1;
    for (int frame = first_frame(); frame < last_frame(); ++frame) {
        if (interrupt_signal()) return stop_interrupted();
        SurfaceMesh mesh;
        const int status = frame_written(frame, build_frame(frame, &mesh, FAILURES_END_RUN, middle > 1), mesh);
        if (status != BATCH_DONE) return status;
    }
    return BATCH_DONE;
}

// Several frames at once on worker threads, written here in order.
int write_frames_together(int workers)
{
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, 0);
    // Every frame may use every thread: while the others are busy the OS
    // shares the cores out, and a core left idle near the end joins the last
    // frames under way.
    request.threads = app.threads;
    std::unique_ptr<FramePool> pool = start_frame_pool(inputs, request, first_frame(), last_frame(), workers);
    for (int frame = first_frame(); frame < last_frame(); ++frame) {
        // The pool's destructor cancels the frames in flight.
        if (interrupt_signal()) return stop_interrupted();
        SurfaceMesh mesh;
        const int built = take_frame(*pool, &mesh);
        if (built == LATTICE_DONE) report_frame_done(frame, static_cast<long>(mesh.triangles.size()));
        const int status = frame_written(frame, finish_frame(frame, built, mesh, FAILURES_END_RUN), mesh);
        if (status != BATCH_DONE) return status;
    }
    return BATCH_DONE;
}

int write_frames()
{
    console.slices_per_frame = app.sample_grid_dims[2];
    // As many frames side by side as the threads, and as memory allows.
    const int wanted = std::min<int>(app.threads, last_frame() - first_frame());
    const int workers = frames_that_fit(app.morph, wanted);
    if (workers < wanted) {
        const std::string at_once = workers == 1 ? "one" : std::to_string(workers);
        say(StatusKind::Info, "Frames are built " + at_once + " at a time: " + std::to_string(wanted) +
                                  " side by side would not fit in memory");
    }
    return workers > 1 ? write_frames_together(workers) : write_frames_in_turn();
}

// Temporaries that a killed run left of the files this run writes, removed
// before the load, so that a run killed early leaves none but its own.
void remove_earlier_temporaries()
{
    std::vector<std::string> names;
    for (int frame = first_frame(); frame < last_frame(); ++frame)
        for (const std::string& name : frame_file_names(frame)) names.push_back(name);
    for (int side = 0; side < 2; ++side)
        for (const std::string& name : sphere_file_names(side)) names.push_back(name);
    remove_stale_temporaries(names);
}

// The files this run writes: its frames, and unless quick morphing the
// sphere files of the ends it owns.
struct RunOutput {
    std::string name;
    const char* kind;
};

std::vector<RunOutput> run_outputs()
{
    std::vector<RunOutput> outputs;
    if (!gltf_file.empty()) outputs.push_back({gltf_file, "animation file"});
    if (!video.file.empty()) outputs.push_back({video.file, "video file"});
    if (app.output_format == SURFACE_FORMAT_NONE) return outputs;
    for (int frame = first_frame(); frame < last_frame(); ++frame)
        for (const std::string& name : frame_file_names(frame)) outputs.push_back({name, "frame file"});
    for (int side = 0; side < 2 && !app.quick_morph; ++side) {
        if (side == 0 && first_frame() != 0) continue;
        if (side == 1 && last_frame() != app.frame_count) continue;
        for (const std::string& name : sphere_file_names(side)) outputs.push_back({name, "sphere file"});
    }
    return outputs;
}

// An output that is an input (by any path, symbolic or hard link) would be
// overwritten by the run; one that is a directory, or a name longer than
// the file system takes, could never be written. Both are refused before
// any work, not after the analysis.
bool outputs_writable_without_loss()
{
    const std::string* inputs[2] = {&app.source_path, &app.target_path};
    struct stat input[2];
    bool known[2];
    for (int side = 0; side < 2; ++side) known[side] = stat(inputs[side]->c_str(), &input[side]) == 0;
    for (const auto& [name, kind] : run_outputs()) {
        struct stat output;
        if (stat(name.c_str(), &output) != 0) {
            if (errno != ENAMETOOLONG) continue;
            say(StatusKind::Error, "cannot write the " + std::string(kind) + " `" + name + "': " + std::strerror(errno));
            return false;
        }
        for (int side = 0; side < 2; ++side)
            if (known[side] && output.st_dev == input[side].st_dev && output.st_ino == input[side].st_ino) {
                say(StatusKind::Error, "the " + std::string(kind) + " `" + name + "' is the " +
                                           (side == 0 ? "source" : "target") + " file `" + *inputs[side] +
                                           "': the run would overwrite its input");
                return false;
            }
        if (S_ISDIR(output.st_mode)) {
            say(StatusKind::Error, "`" + name + "' is a directory: the " + kind + " cannot be written there");
            return false;
        }
    }
    return true;
}

// Every directory the run writes into must take a file before any work.
bool output_directories_writable()
{
    std::vector<std::string> directories;
    if (app.output_format != SURFACE_FORMAT_NONE) directories.push_back(output_directory(app.output_base));
    if (!gltf_file.empty()) directories.push_back(output_directory(gltf_file));
    if (!video.file.empty()) directories.push_back(output_directory(video.file));
    for (const std::string& directory : directories) {
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
    if (!outputs_writable_without_loss() || !output_directories_writable()) return BATCH_WRITE_FAILED;
    remove_earlier_temporaries();
    written = Written{};
    int outcome = run_pipeline();
    if (!empty_surface.empty()) {
        say(StatusKind::Error, empty_surface + ": nothing to morph from or into");
        return BATCH_LOAD_FAILED;
    }
    if (outcome == PIPELINE_LOAD_FAILED) {
        if (!interrupt_signal()) return BATCH_LOAD_FAILED;
        put(console_clear(console));
        std::fprintf(stderr, "Interrupted while reading the input files: nothing written\n");
        return interrupt_exit_status(interrupt_signal());
    }
    if (outcome != PIPELINE_DONE) return BATCH_ANALYSIS_FAILED;
    if (interrupt_signal()) return stop_interrupted();

    if (!app.quick_morph) {
        if (link_spheres() != 0) {
            show_error("Not enough memory to link the spheres");
            return BATCH_ANALYSIS_FAILED;
        }
        char spheres[96];
        std::snprintf(spheres, sizeof spheres, "Spheres: %i in the source, %i in the target",
                      app.volumes[0].sphere_count, app.volumes[1].sphere_count);
        say(StatusKind::Info, spheres);
        const MorphCost cost = morph_cost(app.morph);
        if (cost.large)
            say(StatusKind::Info, "Estimated work: " + rough_duration(cost.seconds) + " for the " +
                                      std::to_string(app.frame_count) +
                                      " frames; -q or fewer points (-p) is much faster");
    }
    if (!gltf_file.empty()) {
        gltf = std::make_unique<GltfSequenceWriter>(gltf_file);
        if (!gltf->is_open()) return gltf_failed();
    }
    if (!video.file.empty()) {
        std::string reason;
        video_run = start_video(video, app.volume_dims, app.view_scale, last_frame() - first_frame(), &reason);
        if (!video_run) return video_failed(reason);
    }
    int status = write_frames();
    if (status == BATCH_DONE) status = write_gltf();
    if (status == BATCH_DONE) status = write_video();
    if (status == BATCH_DONE && !app.quick_morph && app.output_format != SURFACE_FORMAT_NONE)
        status = write_sphere_files();
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
    empty_surface.clear();
    status_hooks.report = console_report;
    pipeline_hooks.load_failed = report_load_failure;
    pipeline_hooks.analysis_failed = report_analysis_failure;
    pipeline_hooks.observer = &console_observer;
    frame_reports.slice_done = console_slice;
    frame_reports.frame_done = console_frame;
    frame_reports.saving = console_saving;
}

int batch_main(int argc, char** argv)
{
    BatchOptions options = take_batch_options(argc, argv);
    if (options.help) {
        print_batch_help(argv[0]);
        return BATCH_DONE;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s\n", options.error.c_str());
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    if (!options.video.file.empty() && !video_built()) {
        run_video_program(argv);
        std::fprintf(stderr, "--video: this kestrane-batch was built without video output (KESTRANE_VIDEO=OFF).\n");
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    gltf_file = options.gltf_file;
    gltf_fps = options.fps;
    video = options.video;
    int parsed = parse_command_line(static_cast<int>(options.shared_arguments.size()), options.shared_arguments.data());
    if (parsed == COMMAND_LINE_HELP) return BATCH_DONE;
    if (parsed != 0) return BATCH_COMMAND_LINE;
    if (app.source_path.empty() || app.target_path.empty()) {
        std::fprintf(stderr, "Both an initial and a final file are required.\n");
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    if (options.gltf_from_base && gltf_file.empty()) gltf_file = app.output_base + ".glb";
    if (app.last_frame > app.frame_count) {
        std::fprintf(stderr, "Frame range %i-%i goes beyond the %i frames of the morph.\n", app.first_frame,
                     app.last_frame, static_cast<int>(app.frame_count));
        print_usage(argv[0]);
        return BATCH_COMMAND_LINE;
    }
    // Without a chosen format the batch tool still writes CNOFF frames,
    // unless it writes a GLB or a video.
    if (app.output_format == SURFACE_FORMAT_NONE && gltf_file.empty() && video.file.empty())
        app.output_format = SURFACE_FORMAT_OOGL;

    install_console_reporter(options.quiet);
    install_interrupt_handlers();
    // A file size limit (ulimit -f) then fails the write with EFBIG, which
    // is reported and cleaned up as any write error, instead of killing the
    // run with a temporary left behind.
    signal(SIGXFSZ, SIG_IGN);
    const int status = run_batch();
    gltf.reset();
    video_run.reset();
    put(console_clear(console));
    release_volumes();
    return status;
}
