#include "surface/frame_generation.h"

namespace {

struct FrameSampler {
    const FrameRequest& request;
    double t;
};

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
    FrameSampler sampler{request, frame_time(request.frame, request.frame_count)};
    LatticeField f = request.lattice;
    f.sample = sample_frame;
    f.context = &sampler;
    f.slice_done = report_slice;
    f.walk_done = report_frame;
    f.regularise = request.regularise;
    return triangulate_lattice(f, mesh);
}
