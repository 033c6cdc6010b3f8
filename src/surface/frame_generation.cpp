#include "surface/frame_generation.h"

#include <cstdint>
#include <new>

#include "base/free_memory.h"
#include "surface/frame_values.h"

namespace kestrane {
namespace {

struct FrameSampler {
    const FrameRequest& request;
    double t;
    const FrameValues* values;  // null: exhaustive
};

// The exhaustive evaluation; worked-out values the walk reads itself.
int16_t sample_frame(void* context, int, int, int, Vector3 x, uint32_t* colour)
{
    const FrameSampler& s = *static_cast<const FrameSampler*>(context);
    return morph_sample(*s.request.inputs, x, s.t, colour);
}

void report_slice(void* context, int, long triangles)
{
    const FrameRequest& r = static_cast<const FrameSampler*>(context)->request;
    if (r.progress.slice_done) r.progress.slice_done(r.progress.context, r.frame, triangles);
}

void report_frame(void* context, long triangles)
{
    const FrameRequest& r = static_cast<const FrameSampler*>(context)->request;
    if (r.progress.frame_done) r.progress.frame_done(r.progress.context, r.frame, triangles);
}

}  // namespace

double frame_time(int frame, int frame_count)
{
    uint16_t number = static_cast<uint16_t>(frame);
    return frame_count > 1 ? static_cast<double>(number) / (frame_count - 1) : 0.0;
}

LatticeField frame_lattice(const int16_t volume_dims[3], const int16_t sample_grid_dims[3], int resolution)
{
    LatticeField f;
    f.lx = sample_grid_dims[0];
    f.ly = sample_grid_dims[1];
    f.lz = sample_grid_dims[2];
    f.resolution = resolution;
    f.cx = (volume_dims[0] - 1) / 2;
    f.cy = (volume_dims[1] - 1) / 2;
    f.cz = (volume_dims[2] - 1) / 2;
    return f;
}

int triangulate_frame(const FrameRequest& request, SurfaceMesh* mesh)
{
    if (!request.inputs) return LATTICE_NO_BUFFER;
    const double t = request.time >= 0 && request.time <= 1 ? request.time
                                                            : frame_time(request.frame, request.frame_count);
    FrameValues own;
    FrameValues& values = request.values ? *request.values : own;
    FrameSampler sampler{request, t, nullptr};
    const LatticeField& lattice = request.lattice;
    if (!request.exhaustive && lattice.lx > 0 && lattice.ly > 0 && lattice.lz > 0) {
        try {
            const MorphFrame frame = morph_frame(*request.inputs, t);
            if (!compute_frame_values(frame, request.inputs->summaries, lattice, request.threads, &values,
                                      request.stats, request.cancel, request.displacements.get()))
                return request.cancel && *request.cancel ? LATTICE_CANCELLED : LATTICE_NO_BUFFER;
        } catch (const std::bad_alloc&) {
            return LATTICE_NO_BUFFER;
        }
        sampler.values = &values;
    }
    LatticeField f = request.lattice;
    f.sample = sample_frame;
    f.context = &sampler;
    f.values = sampler.values;
    f.slice_done = report_slice;
    f.walk_done = report_frame;
    f.regularise = request.regularise;
    f.cancel = request.cancel;
    f.threads = request.threads;
    const int status = triangulate_lattice(f, mesh);
    // What a large frame's arrays and walk left free in the arenas goes
    // back; below this size the page faults cost more than the memory.
    constexpr int64_t LARGE_FRAME_POINTS = int64_t(1) << 25;
    if (static_cast<int64_t>(lattice.lx) * lattice.ly * lattice.lz >= LARGE_FRAME_POINTS) return_free_memory();
    return status;
}

}  // namespace kestrane
