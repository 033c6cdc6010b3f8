#include "morph/morpher.h"

#include <cmath>
#include <utility>

#include "morph/morph_load.h"
#include "morph/morph_state.h"

namespace kestrane {

Surface Surface::file(std::string path)
{
    Surface s;
    s.path = std::move(path);
    return s;
}

Surface Surface::memory(PolygonMesh mesh, std::string name)
{
    Surface s;
    s.mesh = std::make_shared<const PolygonMesh>(std::move(mesh));
    s.name = std::move(name);
    return s;
}

Morpher::Morpher() : state_(new MorphState) {}

Morpher::Morpher(const MorphParameters& parameters) : state_(new MorphState)
{
    state_->parameters = parameters;
}

Morpher::~Morpher() = default;
Morpher::Morpher(Morpher&&) noexcept = default;
Morpher& Morpher::operator=(Morpher&&) noexcept = default;

MorphParameters& Morpher::parameters() { return state_->parameters; }
const MorphParameters& Morpher::parameters() const { return state_->parameters; }
void Morpher::set_observer(MorphObserver* observer) { state_->observer = observer; }
void Morpher::set_cancel(const std::atomic<bool>* cancel) { state_->cancel = cancel; }
MorphState& Morpher::state() { return *state_; }
const MorphState& Morpher::state() const { return *state_; }

namespace {

Result not_loaded(Stage stage)
{
    return Result::failure(Problem::NotLoaded, stage, -1, std::string(), "no surfaces are loaded");
}

// The parameters a step reads, in the command line's ranges.
Result check_parameters(const MorphParameters& p)
{
    auto bad = [](const char* what) {
        return Result::failure(Problem::BadParameter, Stage::Sizing, -1, std::string(), what);
    };
    // More points than a grid holds are refused by the sizing, as too large.
    if (p.min_points < 1) return bad("points must be 1 or more");
    if (p.resolution < 1 || p.resolution > 8) return bad("resolution must be 1 to 8");
    if (!(std::isfinite(p.voxel_size) && p.voxel_size >= 0))
        return bad("the voxel size must be a finite length, 0 or more (0: set by the points)");
    if (p.antialias && !(std::isfinite(p.antialias_distance) && p.antialias_distance >= 0))
        return bad("the antialiasing distance must be a finite number, 0 or more");
    if (!std::isfinite(p.strength) || !std::isfinite(p.locality)) return bad("strength and locality must be finite");
    for (double v : p.transform)
        if (!std::isfinite(v)) return bad("the transform must hold 16 finite numbers");
    if (p.threads > 256) return bad("threads must be 0 to 256");
    return Result{};
}

}  // namespace

Result Morpher::load(const Surface& source, const Surface& target)
{
    Result checked = check_parameters(state_->parameters);
    if (!checked) {
        release_morph(*state_);
        return checked;
    }
    return load_morph(*state_, source, target);
}

bool Morpher::loaded() const { return morph_loaded(*state_); }
void Morpher::release() { release_morph(*state_); }

Result Morpher::extract_spheres()
{
    if (!loaded()) return not_loaded(Stage::Extracting);
    if (state_->parameters.quick_morph) return Result{};
    for (int side = 0; side < 2; ++side) {
        if (cancelled(*state_)) return cancelled_result(Stage::Extracting);
        Result r = extract_side_spheres(*state_, side);
        if (!r || state_->parameters.quick_morph) return r;
    }
    return link();
}

Result Morpher::link()
{
    if (!loaded()) return not_loaded(Stage::Linking);
    if (state_->parameters.quick_morph) return Result{};
    if (cancelled(*state_)) return cancelled_result(Stage::Linking);
    return link_volumes(*state_);
}

int Morpher::sphere_count(int side) const { return state_->volumes[side & 1].sphere_count; }

int Morpher::linked_count(int side) const
{
    int n = 0;
    for (const Sphere& s : state_->volumes[side & 1].spheres) n += s.linked == 1;
    return n;
}

void Morpher::add_vector(const Correspondence& vector)
{
    const Vector3 start = surface_to_voxel(*state_, 0, vector.start);
    const Vector3 end = surface_to_voxel(*state_, 1, vector.end);
    state_->vectors.push_back({{start.x, start.y, start.z}, {end.x, end.y, end.z}});
    state_->linked = false;
}

bool Morpher::remove_vector(size_t index)
{
    if (index >= state_->vectors.size()) return false;
    state_->vectors.erase(state_->vectors.begin() + static_cast<std::ptrdiff_t>(index));
    state_->linked = false;
    return true;
}

void Morpher::clear_vectors()
{
    state_->vectors.clear();
    state_->linked = false;
}

std::vector<Correspondence> Morpher::vectors() const
{
    std::vector<Correspondence> out;
    for (const CorrespondenceVector& v : state_->vectors)
        out.push_back({voxel_to_surface(*state_, 0, {v.start[0], v.start[1], v.start[2]}),
                       voxel_to_surface(*state_, 1, {v.end[0], v.end[1], v.end[2]})});
    return out;
}

namespace {

struct FrameTeller {
    const MorphState* morph;
    int frame_count;
    long slices = 0;  // told so far
};

void tell_frame(void* context, int frame, long triangles, bool finished)
{
    FrameTeller& t = *static_cast<FrameTeller*>(context);
    ProgressEvent event;
    event.stage = Stage::Frame;
    event.frame = frame;
    event.frame_count = t.frame_count;
    event.triangles = triangles;
    event.total = t.morph->sample_grid_dims[2];
    event.done = finished ? event.total : ++t.slices;
    event.finished = finished;
    tell(*t.morph, event);
}

void slice_done(void* context, int frame, long triangles) { tell_frame(context, frame, triangles, false); }
void frame_done(void* context, int frame, long triangles) { tell_frame(context, frame, triangles, true); }

Result frame_failure(int status, int frame)
{
    Result r;
    r.stage = Stage::Frame;
    switch (status) {
    case LATTICE_CANCELLED:
        r.problem = Problem::Cancelled;
        r.reason = "the frame was cancelled";
        return r;
    case LATTICE_POINTS_RAN_OUT:
        r.problem = Problem::TooManyPoints;
        r.reason = "Too many points in the surface - frame stopped";
        return r;
    case LATTICE_TRIANGLES_RAN_OUT:
        r.problem = Problem::TooManyTriangles;
        r.reason = "Too many triangles in the surface - frame stopped";
        return r;
    default:
        r.problem = Problem::NotEnoughMemory;
        r.reason = "Not enough memory to triangulate frame " + std::to_string(frame + 1);
        return r;
    }
}

}  // namespace

Result Morpher::frame_mesh(int frame, int frame_count, SurfaceMesh* out, const FrameOptions& options)
{
    return frame_mesh_at(frame, frame_count, -1, out, options);
}

Result Morpher::frame_mesh_at(int frame, int frame_count, double time, SurfaceMesh* out, const FrameOptions& options)
{
    if (!loaded()) return not_loaded(Stage::Frame);
    if (frame_count < 2 || frame_count > 65535 || frame < 0 || frame >= frame_count)
        return Result::failure(Problem::BadParameter, Stage::Frame, -1, std::string(),
                               "frame " + std::to_string(frame) + " of " + std::to_string(frame_count) +
                                   ": frames are counted from 0, of 2 to 65535");
    if (!state_->parameters.quick_morph && !state_->linked) {
        Result linked = link();
        if (!linked) return linked;
    }
    const MorphInputs inputs = morph_inputs(*state_);
    FrameRequest request = frame_request(*state_, inputs, frame, frame_count);
    request.time = time;
    if (options.threads > 0) request.threads = options.threads;
    request.cancel = options.cancel ? options.cancel : state_->cancel;
    FrameTeller teller{state_.get(), frame_count};
    request.progress.slice_done = slice_done;
    request.progress.frame_done = frame_done;
    request.progress.context = &teller;
    out->vertices.clear();
    out->triangles.clear();
    const int status = triangulate_frame(request, out);
    if (status != LATTICE_DONE) return frame_failure(status, frame);
    return Result{};
}

Result Morpher::frame(int frame, int frame_count, Mesh* out, const FrameOptions& options)
{
    SurfaceMesh mesh;
    Result r = frame_mesh(frame, frame_count, &mesh, options);
    if (r) to_source_units(mesh, source_placement(*state_), out);
    return r;
}

Result Morpher::frame_at(double t, Mesh* out, const FrameOptions& options)
{
    if (!(t >= 0 && t <= 1))
        return Result::failure(Problem::BadParameter, Stage::Frame, -1, std::string(), "t must be in [0, 1]");
    SurfaceMesh mesh;
    // Frame 1 of 3 stands for any time between the ends: its number only
    // names it in events.
    Result r = frame_mesh_at(t == 0 ? 0 : t == 1 ? 2 : 1, 3, t, &mesh, options);
    if (r) to_source_units(mesh, source_placement(*state_), out);
    return r;
}

}  // namespace kestrane
