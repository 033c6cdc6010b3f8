#include "app/analysis.h"

#include "app/app_state.h"

FieldView volume_field(int side) { return volume_field(app.morph, side); }

MorphInputs morph_inputs() { return morph_inputs(app.morph); }

LatticeField current_lattice() { return morph_lattice(app.morph); }

FrameRequest frame_request(const MorphInputs& inputs, int frame, bool shared)
{
    return frame_request(app.morph, inputs, frame, app.frame_count, shared);
}

int triangulate_current_frame(SurfaceMesh* mesh, int frame, bool regularise)
{
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, frame);
    request.regularise = regularise;
    return triangulate_frame(request, mesh);
}

VolumeWork volume_work(int side) { return take_volume_work(app.morph, side); }

void install_transform(int side, VolumeWork& work) { install_transform(app.morph, side, work); }

void transform_volume(int side)
{
    VolumeWork work = take_volume_voxels(app.morph, side);
    transform_volume_work(work);
    install_transform(side, work);
}

int install_spheres(int side, VolumeWork& work)
{
    const ExtractionStatus extracted = work.status;
    if (install_spheres(app.morph, side, work)) return 0;
    return extracted != EXTRACT_DONE ? extracted : 4;
}

int extract_volume_spheres(int side, const SphereExtractionOptions& options)
{
    VolumeWork work = volume_work(side);
    extract_volume_work(work, options);
    return install_spheres(side, work);
}

int link_spheres() { return link_volumes(app.morph) ? 0 : 1; }
