#include "morph/morph_load.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "base/worker_signals.h"
#include "input/file_kind.h"
#include "input/mesh_import.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"
#include "morph/load_memory.h"
#include "shape/correspondence.h"
#include "shape/distance_transform.h"

namespace kestrane {

namespace {

constexpr int NOT_RUN = -1;

// Closes whatever files a step opened, on every path out of the load.
struct OpenFiles {
    std::FILE* files[2] = {nullptr, nullptr};
    ~OpenFiles()
    {
        for (std::FILE* f : files)
            if (f) std::fclose(f);
    }
};

// Work for the target run on a thread of its own beside the caller's, when
// threads are allowed and to be had; else not at all (the caller then does
// it itself).
struct Beside {
    std::thread thread;
    Beside() = default;
    template <typename Work>
    Beside(const MorphParameters& parameters, Work work)
    {
        start(parameters, work);
    }
    template <typename Work>
    void start(const MorphParameters& parameters, Work work)
    {
        finish();
        if (worker_threads(parameters) < 2) return;
        const StopSignalsHeldBack held;
        try {
            thread = std::thread(work);
        } catch (...) {
        }
    }
    void finish()
    {
        if (thread.joinable()) thread.join();
    }
    ~Beside() { finish(); }
};

std::string quoted(const std::string& name) { return "`" + name + "'"; }

const char* side_word(int side) { return side == 0 ? "source" : "target"; }

Result failure(Problem problem, int side, const MorphState& morph, std::string reason)
{
    return Result::failure(problem, Stage::Sizing, side, side >= 0 ? morph.names[side] : std::string(),
                           std::move(reason));
}

// The reason a pass failed, naming the file at fault (or both files).
std::string surface_failure(const MorphState& morph, int status, int side)
{
    if (side < 0)
        return quoted(morph.names[0]) + " and " + quoted(morph.names[1]) + " " + surface_status_reason(status);
    return quoted(morph.names[side]) + " " + surface_status_reason(status);
}

// A refusal's hint names the option that set the grid: a voxel size (-d)
// when one was given, else the points (-p).
std::string grid_hint(const MorphState& morph, std::string text)
{
    static const std::string points = "(fewer points with -p help)";
    const size_t at = text.find(points);
    if (morph.parameters.voxel_size > 0 && at != std::string::npos)
        text.replace(at, points.size(), "(a larger voxel size with -d helps)");
    return text;
}

// What the load needs against what it may have.
std::string memory_failure(const MorphState& morph, int side)
{
    char text[240];
    const int16_t* d = morph.volume_dims;
    std::snprintf(text, sizeof text,
                  "Not enough memory for %s data: two volumes of %i by %i by %i voxels and the work on them need "
                  "about %.0f MB, more than the %.0f MB available (fewer points with -p help)",
                  side_word(side), d[0], d[1], d[2],
                  load_memory_bytes(load_layout(morph, 1)) / 1e6, load_memory_budget() / 1e6);
    return grid_hint(morph, text);
}

// A mesh in memory is checked and replayed as it is; a file is opened.
Result prepare_input(MorphState& morph, const Surface& surface, int side, OpenFiles& files, SurfaceInput& input)
{
    if (surface.mesh) {
        std::string reason;
        if (!check_polygon_mesh(*surface.mesh, &reason))
            return failure(Problem::Unreadable, side, morph, quoted(morph.names[side]) + " " + reason);
        input = SurfaceInput(surface.mesh.get());
        return Result{};
    }
    const std::string& path = surface.path;
    // A pipe or a device would block the open, or never end.
    const std::string fault = input_file_fault(path);
    if (!fault.empty()) return failure(Problem::Unreadable, side, morph, quoted(morph.names[side]) + " " + fault);
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        const int error = errno;
        Result r = failure(Problem::CannotOpen, side, morph,
                           quoted(morph.names[side]) + " cannot be opened: " + std::strerror(error));
        r.error_number = error;
        return r;
    }
    files.files[side] = file;
    return Result{};
}

// An OFF-family file is read by the OFF reader on each pass; any other mesh
// format is read whole here, once, and replayed.
Result read_input(MorphState& morph, const Surface& surface, int side, OpenFiles& files, PolygonMesh& mesh,
                  SurfaceInput& input)
{
    if (surface.mesh) return Result{};
    std::FILE* file = files.files[side];
    const MeshFileKind kind = detect_mesh_file(file, surface.path);
    if (kind == MeshFileKind::Off) {
        input = SurfaceInput(file);
        return Result{};
    }
    ProgressEvent reading;
    reading.stage = Stage::Reading;
    reading.side = side;
    reading.item = morph.names[side];
    reading.format = mesh_file_kind_name(kind);
    tell(morph, reading);
    std::string reason;
    ImportLimits limits;
    limits.seconds = morph.parameters.import_seconds;
    limits.memory_budget = load_memory_budget();
    limits.cancel[0] = morph.parameters.import_cancel;
    limits.cancel[1] = morph.cancel;
    if (morph.observer) {
        limits.waiting = [](void* observer) { static_cast<MorphObserver*>(observer)->waiting(); };
        limits.waiting_context = morph.observer;
    }
    if (!import_mesh(surface.path, kind, &mesh, &reason, limits)) {
        if (cancelled(morph)) return cancelled_result(Stage::Reading);
        return failure(Problem::Unreadable, side, morph,
                       quoted(morph.names[side]) + " could not be read as " + mesh_file_kind_name(kind) + ": " +
                           reason);
    }
    input = SurfaceInput(&mesh);
    return Result{};
}

}  // namespace

Result size_volumes(MorphState& morph, const SurfaceInput inputs[2], long boundary_edges[2])
{
    ProgressEvent sizing;
    sizing.stage = Stage::Sizing;
    tell(morph, sizing);
    const MorphParameters& p = morph.parameters;
    SizingParameters sp;
    sp.min_points = p.min_points;
    sp.voxel_size = p.voxel_size;
    sp.resolution = p.resolution;
    sp.scale_centres = p.scale_centres;
    sp.scale_sizes = p.scale_sizes;
    sp.source_transform = p.transform;
    VolumeSizing sizing_out;
    int side = -1;
    const int status = measure_surfaces(inputs[0], inputs[1], sp, &sizing_out, &side);
    // A grid beyond 16-bit counts is one too large to hold, whatever the
    // machine: the same refusal as a load that does not fit.
    if (status == SURFACE_GRID_TOO_LARGE)
        return failure(Problem::GridTooLarge, side, morph,
                       grid_hint(morph, "Not enough memory for source data: " + surface_failure(morph, status, side)));
    if (status != SURFACE_OK)
        return failure(Problem::Unreadable, side, morph, surface_failure(morph, status, side));
    for (int axis = 0; axis < 3; ++axis) {
        morph.volume_dims[axis] = sizing_out.volume_dims[axis];
        morph.sample_grid_dims[axis] = sizing_out.sample_grid_dims[axis];
    }
    for (int s = 0; s < 2; ++s) {
        morph.volumes[s].centre = sizing_out.centre[s];
        morph.volumes[s].scale = sizing_out.scale[s];
        morph.one_colour[s] = sizing_out.one_colour[s];
        morph.objects[s] = sizing_out.objects[s];
    }
    morph.view_scale = sizing_out.view_scale;
    if (boundary_edges) {
        boundary_edges[0] = sizing_out.boundary_edges[0];
        boundary_edges[1] = sizing_out.boundary_edges[1];
    }
    morph.loaded_resolution = p.resolution;
    std::copy(p.transform, p.transform + 16, morph.loaded_transform);
    sizing.finished = true;
    tell(morph, sizing);
    return Result{};
}

bool allocate_voxels(MorphState& morph, int side)
{
    const int64_t count = voxel_count(morph);
    Volume& volume = morph.volumes[side];
    volume.voxels.reset();
    volume.field = VolumeField{};
    ++morph.voxel_generation;
    if (count <= 0) return false;
    volume.voxels.reset(new (std::nothrow) Voxel[static_cast<size_t>(count)]);
    return volume.voxels != nullptr;
}

namespace {

ConversionParameters conversion_parameters(const MorphState& morph, int side)
{
    const Volume& volume = morph.volumes[side];
    ConversionParameters p;
    p.grid = grid_of(volume.voxels.get(), morph.volume_dims);
    p.centre = volume.centre;
    p.scale = volume.scale;
    p.transform = side == 0 ? morph.parameters.transform : nullptr;
    p.antialias = morph.parameters.antialias;
    p.antialias_distance = morph.parameters.antialias_distance;
    return p;
}

struct Sampling {
    const MorphState* morph = nullptr;
    int side = 0;
    long faces = 0, face_count = 0;
    bool tell = true;  // false beside the caller's thread: counted, told later
};

void faces_done(void* context, long faces, long face_count)
{
    Sampling& s = *static_cast<Sampling*>(context);
    s.faces = faces;
    s.face_count = face_count;
    if (!s.tell) return;
    ProgressEvent event;
    event.stage = Stage::Converting;
    event.side = s.side;
    event.item = s.morph->names[s.side];
    event.done = faces;
    event.total = face_count;
    tell(*s.morph, event);
}

// The conversion of one side is over: its last count again, finished.
void tell_converted(const Sampling& s)
{
    ProgressEvent event;
    event.stage = Stage::Converting;
    event.side = s.side;
    event.item = s.morph->names[s.side];
    event.done = s.faces;
    event.total = s.face_count;
    event.finished = true;
    tell(*s.morph, event);
}

int convert_side(const MorphState& morph, const SurfaceInput& input, int side, Sampling* sampling)
{
    ConversionProgress progress;
    progress.faces_done = faces_done;
    progress.context = sampling;
    return convert_surface(input, conversion_parameters(morph, side), progress);
}

}  // namespace

int convert_volume(const MorphState& morph, const SurfaceInput& input, int side)
{
    Sampling sampling{&morph, side, 0, 0, true};
    return convert_side(morph, input, side, &sampling);
}

namespace {

bool encloses_volume(const MorphState& morph, int side)
{
    const Voxel* voxels = morph.volumes[side].voxels.get();
    const int64_t count = voxel_count(morph);
    for (int64_t i = 0; voxels && i < count; ++i)
        if (voxels[i].distance > 0) return true;
    return false;
}

void release_voxels(MorphState& morph)
{
    for (Volume& v : morph.volumes) {
        v.voxels.reset();
        v.field = VolumeField{};
    }
}

Result convert_both(MorphState& morph, const SurfaceInput inputs[2])
{
    // The target is converted beside the source, quietly; its progress is
    // told once both are done.
    Sampling source{&morph, 0, 0, 0, true};
    Sampling target{&morph, 1, 0, 0, false};
    int target_status = NOT_RUN;
    Beside beside(morph.parameters, [&] { target_status = convert_side(morph, inputs[1], 1, &target); });
    int status = convert_side(morph, inputs[0], 0, &source);
    beside.finish();
    if (status != 0) {
        release_voxels(morph);
        Result r = failure(Problem::ConversionFailed, 0, morph, surface_failure(morph, status, 0));
        r.stage = Stage::Converting;
        return r;
    }
    tell_converted(source);
    if (target_status == NOT_RUN) {
        target.tell = true;
        target_status = convert_side(morph, inputs[1], 1, &target);
    } else if (target_status == 0) {
        target.tell = true;
        faces_done(&target, target.faces, target.face_count);
    }
    if (target_status != 0) {
        release_voxels(morph);
        Result r = failure(Problem::ConversionFailed, 1, morph, surface_failure(morph, target_status, 1));
        r.stage = Stage::Converting;
        return r;
    }
    tell_converted(target);
    return Result{};
}

}  // namespace

namespace {

// What the reading and sizing leave for the conversions: the open files,
// the meshes read whole and each surface's input and boundary edges.
struct LoadInputs {
    OpenFiles files;
    PolygonMesh meshes[2];
    SurfaceInput inputs[2];
    long boundary_edges[2] = {0, 0};
};

Result read_and_size(MorphState& morph, const Surface& source, const Surface& target, LoadInputs& in)
{
    release_morph(morph);
    morph.names[0] = source.label();
    morph.names[1] = target.label();
    const Surface* surfaces[2] = {&source, &target};
    // Both files are opened before either is read, so that a missing target
    // is told before a long read of the source.
    for (int side = 0; side < 2; ++side) {
        Result r = prepare_input(morph, *surfaces[side], side, in.files, in.inputs[side]);
        if (!r) return r;
    }
    for (int side = 0; side < 2; ++side) {
        Result r = read_input(morph, *surfaces[side], side, in.files, in.meshes[side], in.inputs[side]);
        if (!r) return r;
        if (cancelled(morph)) return cancelled_result(Stage::Reading);
    }
    Result sized = size_volumes(morph, in.inputs, in.boundary_edges);
    if (!sized) return sized;
    if (cancelled(morph)) return cancelled_result(Stage::Sizing);
    // Everything the load and its frames will hold is counted before any of
    // it is allocated; frames that do not fit side by side are built in turn.
    if (load_memory_bytes(load_layout(morph, 1)) > load_memory_budget())
        return failure(Problem::NotEnoughMemory, 0, morph, memory_failure(morph, 0));
    return Result{};
}

// An open surface may bound nothing: its end of the morph is empty, and it
// has no sphere to link. One that does bound something is filled as a
// solid: said, since the file does not describe that solid.
void warn_of_enclosure(const MorphState& morph, int side, long boundary_edges)
{
    Report warning;
    warning.severity = Severity::Warning;
    warning.file = morph.names[side];
    if (!encloses_volume(morph, side)) {
        warning.problem = Problem::NoVolume;
        warning.reason = quoted(morph.names[side]) + " encloses no volume at this sampling";
    } else if (boundary_edges > 0) {
        warning.problem = Problem::OpenSurface;
        warning.reason = quoted(morph.names[side]) + " is not closed (" + std::to_string(boundary_edges) +
                         (boundary_edges == 1 ? " boundary edge" : " boundary edges") +
                         "): it is morphed as the solid it bounds";
    } else {
        return;
    }
    tell(morph, warning);
}

Result convert_in(MorphState& morph, LoadInputs& in)
{
    if (!allocate_voxels(morph, 0)) return failure(Problem::NotEnoughMemory, 0, morph, memory_failure(morph, 0));
    if (!allocate_voxels(morph, 1)) {
        morph.volumes[0].voxels.reset();
        return failure(Problem::NotEnoughMemory, 1, morph, memory_failure(morph, 1));
    }
    Result converted = convert_both(morph, in.inputs);
    if (!converted) return converted;
    if (cancelled(morph)) return cancelled_result(Stage::Converting);
    for (int side = 0; side < 2; ++side) warn_of_enclosure(morph, side, in.boundary_edges[side]);
    return Result{};
}

}  // namespace

VolumeWork take_volume_work(const MorphState& morph, int side)
{
    VolumeWork work;
    work.grid = grid_of(morph.volumes[side].voxels.get(), morph.volume_dims);
    work.view = volume_field(morph, side);
    work.locality = morph.parameters.locality;
    work.tiled_from_voxels = morph.tiled_from_voxels;
    return work;
}

VolumeWork take_volume_voxels(MorphState& morph, int side)
{
    VolumeWork work = take_volume_work(morph, side);
    work.voxels = std::move(morph.volumes[side].voxels);
    return work;
}

namespace {

// The two sides split their voxels one after the other, each freeing its
// voxels before the other starts, so that both voxel arrays and a field are
// never held at once.
std::mutex splitting;

}  // namespace

void transform_volume_work(VolumeWork& work)
{
    // A finished volume has no voxels left: its field is summarised again.
    if (!work.grid.voxels) {
        work.summary = summarise_field(work.view);
        return;
    }
    distance_transform(work.grid);
    // The frames read the field, 2 bytes a voxel and colours in tiles, not
    // the 6-byte voxels; short of memory for it, they read the voxels.
    work.view = field_of(work.grid);
    {
        const std::lock_guard<std::mutex> one_at_a_time(splitting);
        // The voxels' memory goes back as the field is made: a volume's
        // voxels and its field are never held whole at once.
        if (split_voxels(work.grid, &work.field, true, work.tiled_from_voxels)) {
            work.view = field_view(work.field);
            work.voxels.reset();
            work.grid.voxels = nullptr;
        }
    }
    work.summary = summarise_field(work.view);
}

void extract_volume_work(VolumeWork& work, const SphereExtractionOptions& options)
{
    work.status = extract_spheres(work.view, work.locality, &work.spheres, options);
}

void install_transform(MorphState& morph, int side, VolumeWork& work)
{
    Volume& volume = morph.volumes[side];
    if (work.field.present()) {
        volume.field = std::move(work.field);
        volume.voxels.reset();
    } else if (work.voxels) {
        volume.voxels = std::move(work.voxels);
    }
    morph.summaries[side] = std::move(work.summary);
    morph.summarised[side] = volume_field(morph, side).distances;
    for (int a = 0; a < 3; ++a) morph.summarised_dims[side][a] = morph.volume_dims[a];
}

namespace {

void release_spheres(Volume& volume)
{
    volume.sphere_count = 0;
    std::vector<Sphere>().swap(volume.spheres);
    std::vector<Vector3>().swap(volume.sphere_shift);
}

Result analysis_failure(const MorphState& morph, Problem problem, int side, const char* what)
{
    Result r = Result::failure(problem, Stage::Extracting, side, morph.names[side],
                               quoted(morph.names[side]) + ": " + what);
    return r;
}

void tell_stage(const MorphState& morph, Stage stage, int side)
{
    ProgressEvent event;
    event.stage = stage;
    event.side = side;
    event.item = morph.names[side];
    tell(morph, event);
}

}  // namespace

Result install_spheres(MorphState& morph, int side, VolumeWork& work)
{
    Volume& volume = morph.volumes[side];
    release_spheres(volume);
    morph.linked = false;
    volume.spheres = std::move(work.spheres);
    const ExtractionStatus status = work.status;
    if (status == EXTRACT_OVERFLOW) {
        Report warning;
        warning.problem = Problem::TooManySpheres;
        warning.severity = Severity::Warning;
        warning.file = morph.names[side];
        warning.reason = "Too many spheres - using simple interpolation";
        tell(morph, warning);
        morph.parameters.quick_morph = true;
        return Result{};
    }
    switch (status) {
    case EXTRACT_DONE:
        break;
    case EXTRACT_NONE_FOUND:
        return analysis_failure(morph, Problem::NoSpheres, side, "no sphere found in the volume");
    default:
        return analysis_failure(morph, Problem::NotEnoughMemory, side, "not enough memory for the spheres");
    }
    try {
        volume.sphere_shift.resize(volume.spheres.size());
    } catch (const std::bad_alloc&) {
        release_spheres(volume);
        return analysis_failure(morph, Problem::NotEnoughMemory, side, "not enough memory for the sphere shifts");
    }
    volume.sphere_count = static_cast<int32_t>(volume.spheres.size());
    return Result{};
}

Result extract_side_spheres(MorphState& morph, int side, const SphereExtractionOptions& options)
{
    VolumeWork work = take_volume_work(morph, side);
    extract_volume_work(work, options);
    return install_spheres(morph, side, work);
}

Result analyse_volumes(MorphState& morph, const SphereExtractionOptions& options)
{
    // The target's analysis runs beside the source's; its events follow.
    const bool spheres = !morph.parameters.quick_morph;
    VolumeWork target = take_volume_voxels(morph, 1);
    bool target_done = false;
    auto analyse_target = [&] {
        transform_volume_work(target);
        if (spheres) extract_volume_work(target, options);
        target_done = true;
    };
    Beside beside(morph.parameters, analyse_target);
    tell_stage(morph, Stage::Transforming, 0);
    VolumeWork source = take_volume_voxels(morph, 0);
    transform_volume_work(source);
    install_transform(morph, 0, source);
    Result status;
    if (cancelled(morph)) status = cancelled_result(Stage::Transforming);
    if (status && !morph.parameters.quick_morph) {
        tell_stage(morph, Stage::Extracting, 0);
        extract_volume_work(source, options);
        status = install_spheres(morph, 0, source);
    }
    beside.finish();
    if (!status) return status;
    if (cancelled(morph)) return cancelled_result(Stage::Extracting);
    if (!target_done) analyse_target();
    tell_stage(morph, Stage::Transforming, 1);
    install_transform(morph, 1, target);
    // An overflow in the source extraction switches to quick morphing.
    if (!morph.parameters.quick_morph) {
        tell_stage(morph, Stage::Extracting, 1);
        return install_spheres(morph, 1, target);
    }
    return Result{};
}

namespace {

// A large grid's sides are converted and analysed one after the other, so
// that only one side is ever held as 6-byte voxels: the other is its field
// by then, or not yet made. The source's spheres are extracted beside the
// target's conversion.
Result load_in_turn(MorphState& morph, LoadInputs& in, const SphereExtractionOptions& options)
{
    VolumeWork source;
    bool source_extracted = false;
    Beside extracting;  // joined before source goes
    for (int side = 0; side < 2; ++side) {
        if (!allocate_voxels(morph, side))
            return failure(Problem::NotEnoughMemory, side, morph, memory_failure(morph, side));
        Sampling sampling{&morph, side, 0, 0, true};
        const int status = convert_side(morph, in.inputs[side], side, &sampling);
        if (status != 0) {
            Result r = failure(Problem::ConversionFailed, side, morph, surface_failure(morph, status, side));
            r.stage = Stage::Converting;
            return r;
        }
        tell_converted(sampling);
        if (cancelled(morph)) return cancelled_result(Stage::Converting);
        warn_of_enclosure(morph, side, in.boundary_edges[side]);
        if (side == 1) {
            // The source's spheres go in first: an overflow among them
            // switches to quick morphing before the target's are sought.
            extracting.finish();
            if (!source_extracted && !morph.parameters.quick_morph) extract_volume_work(source, options);
            if (!morph.parameters.quick_morph) {
                Result r = install_spheres(morph, 0, source);
                if (!r) return r;
            }
        }
        tell_stage(morph, Stage::Transforming, side);
        VolumeWork work = take_volume_voxels(morph, side);
        transform_volume_work(work);
        install_transform(morph, side, work);
        if (cancelled(morph)) return cancelled_result(Stage::Transforming);
        if (morph.parameters.quick_morph) continue;
        tell_stage(morph, Stage::Extracting, side);
        if (side == 1) {
            extract_volume_work(work, options);
            return install_spheres(morph, 1, work);
        }
        source = std::move(work);
        extracting.start(morph.parameters, [&] {
            extract_volume_work(source, options);
            source_extracted = true;
        });
    }
    return Result{};
}

}  // namespace

bool sides_in_turn(const MorphState& morph)
{
    return voxel_count(morph) * static_cast<int64_t>(sizeof(Voxel)) >= morph.sides_in_turn_from;
}

Result load_morph(MorphState& morph, const Surface& source, const Surface& target,
                  const SphereExtractionOptions& options)
{
    LoadInputs in;
    Result r = read_and_size(morph, source, target, in);
    if (r && sides_in_turn(morph)) {
        r = load_in_turn(morph, in, options);
    } else if (r) {
        r = convert_in(morph, in);
        if (r) r = analyse_volumes(morph, options);
    }
    if (!r) release_morph(morph);
    return r;
}

Result link_volumes(MorphState& morph)
{
    const FieldView fields[2] = {volume_field(morph, 0), volume_field(morph, 1)};
    ProgressEvent event;
    event.stage = Stage::Linking;
    tell(morph, event);
    if (correspond_spheres(morph.volumes[0], morph.volumes[1], fields, {morph.vectors.data(), morph.vectors.size()},
                           morph.parameters.strength) != 0)
        return Result::failure(Problem::NotEnoughMemory, Stage::Linking, -1, std::string(),
                               "Not enough memory to link the spheres");
    morph.linked = true;
    return Result{};
}

}  // namespace kestrane
