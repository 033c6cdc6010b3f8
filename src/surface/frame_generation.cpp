#include "surface/frame_generation.h"

#include "core/app_state.h"
#include "core/status.h"
#include "shape/morph_field.h"
#include "surface/lattice_walk.h"

namespace {

struct FrameContext {
    int frame;
    double t;
};

int16_t sample_frame(void* context, int, int, int, Vector3 x, uint32_t* colour)
{
    return morph_sample(x, static_cast<FrameContext*>(context)->t, colour);
}

void report_slice(void* context, int, long triangles)
{
    show_info("Frame %i of %i - %li triangles so far", static_cast<FrameContext*>(context)->frame + 1,
              static_cast<int>(app.frame_count), triangles);
}

void report_frame(void* context, long triangles)
{
    show_info("Frame %i of %i - %li triangles", static_cast<FrameContext*>(context)->frame + 1,
              static_cast<int>(app.frame_count), triangles);
}

}  // namespace

LatticeField frame_lattice()
{
    LatticeField f;
    f.lx = app.sample_grid_dims[0];
    f.ly = app.sample_grid_dims[1];
    f.lz = app.sample_grid_dims[2];
    f.resolution = app.resolution;
    f.cx = (app.volume_dims[0] - 1) / 2;
    f.cy = (app.volume_dims[1] - 1) / 2;
    f.cz = (app.volume_dims[2] - 1) / 2;
    return f;
}

int triangulate_frame_with(SurfaceMesh* mesh, int frame, bool regularise)
{
    // The frame number is a 16-bit count; the last frame gives t = 1 exactly.
    uint16_t number = static_cast<uint16_t>(frame);
    double t = app.frame_count > 1 ? static_cast<double>(number) / (app.frame_count - 1) : 0.0;
    FrameContext context{frame, t};
    LatticeField f = frame_lattice();
    f.sample = sample_frame;
    f.context = &context;
    f.slice_done = report_slice;
    f.walk_done = report_frame;
    f.regularise = regularise;
    return triangulate_lattice(f, mesh);
}

int triangulate_frame(SurfaceMesh* mesh, int frame) { return triangulate_frame_with(mesh, frame, true); }
