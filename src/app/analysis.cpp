#include "app/analysis.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "base/app_state.h"
#include "base/status.h"
#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/field_summary.h"
#include "shape/sphere_extraction.h"
#include "surface/frame_generation.h"

namespace {

// Block summaries of the transformed volumes, for the bounds that let frames
// skip exact values; each remembers the voxels it was made from.
FieldSummary summaries[2];
const Voxel* summarised[2] = {nullptr, nullptr};
int16_t summarised_dims[2][3];

bool summary_current(int side)
{
    const Volume& v = app.volumes[side];
    return v.voxels && summarised[side] == v.voxels.get() && summarised_dims[side][0] == app.volume_dims[0] &&
           summarised_dims[side][1] == app.volume_dims[1] && summarised_dims[side][2] == app.volume_dims[2];
}

SphereSet sphere_set(const Volume& v)
{
    return {v.spheres.data(), v.sphere_shift.data(), std::min(v.spheres.size(), v.sphere_shift.size())};
}

void release_spheres(Volume& volume)
{
    volume.sphere_count = 0;
    std::vector<Sphere>().swap(volume.spheres);
    std::vector<Vector3>().swap(volume.sphere_shift);
}

}  // namespace

FieldView volume_field(int side) { return field_of(app.volumes[side].voxels.get(), app.volume_dims); }

MorphInputs morph_inputs()
{
    MorphInputs in;
    in.fields[0] = volume_field(0);
    in.fields[1] = volume_field(1);
    in.spheres[0] = sphere_set(app.volumes[0]);
    in.spheres[1] = sphere_set(app.volumes[1]);
    in.vectors = {app.vectors.data(), app.vectors.size()};
    in.quick_morph = app.quick_morph;
    if (summary_current(0) && summary_current(1)) in.summaries = summaries;
    return in;
}

LatticeField current_lattice() { return frame_lattice(app.volume_dims, app.sample_grid_dims, app.resolution); }

FrameRequest frame_request(const MorphInputs& inputs, int frame)
{
    FrameRequest request;
    request.inputs = &inputs;
    request.lattice = current_lattice();
    request.frame = frame;
    request.frame_count = app.frame_count;
    request.threads = app.threads;
    return request;
}

int triangulate_current_frame(SurfaceMesh* mesh, int frame, bool regularise)
{
    const MorphInputs inputs = morph_inputs();
    FrameRequest request = frame_request(inputs, frame);
    request.regularise = regularise;
    return triangulate_frame(request, mesh);
}

VolumeWork volume_work(int side)
{
    VolumeWork work;
    work.grid = grid_of(app.volumes[side].voxels.get(), app.volume_dims);
    work.locality = app.locality;
    return work;
}

void transform_volume_work(VolumeWork& work)
{
    distance_transform(work.grid);
    work.summary = summarise_field(FieldView{work.grid.voxels, work.grid.nx, work.grid.ny, work.grid.nz});
}

void extract_volume_work(VolumeWork& work, const SphereExtractionOptions& options)
{
    work.status = extract_spheres(FieldView{work.grid.voxels, work.grid.nx, work.grid.ny, work.grid.nz}, work.locality,
                                  &work.spheres, options);
}

void install_transform(int side, VolumeWork& work)
{
    summaries[side] = std::move(work.summary);
    summarised[side] = app.volumes[side].voxels.get();
    for (int a = 0; a < 3; ++a) summarised_dims[side][a] = app.volume_dims[a];
}

void transform_volume(int side)
{
    VolumeWork work = volume_work(side);
    transform_volume_work(work);
    install_transform(side, work);
}

int extract_volume_spheres(int side, const SphereExtractionOptions& options)
{
    VolumeWork work = volume_work(side);
    extract_volume_work(work, options);
    return install_spheres(side, work);
}

int install_spheres(int side, VolumeWork& work)
{
    Volume& volume = app.volumes[side];
    release_spheres(volume);
    volume.spheres = std::move(work.spheres);
    const ExtractionStatus status = work.status;
    if (status == EXTRACT_OVERFLOW) {
        show_warning("Too many spheres - using simple interpolation");
        app.quick_morph = true;
        return 0;
    }
    if (status != EXTRACT_DONE) return status;
    try {
        volume.sphere_shift.resize(volume.spheres.size());
    } catch (const std::bad_alloc&) {
        release_spheres(volume);
        return 4;
    }
    volume.sphere_count = static_cast<int32_t>(volume.spheres.size());
    return 0;
}

int link_spheres()
{
    const FieldView fields[2] = {volume_field(0), volume_field(1)};
    return correspond_spheres(app.volumes[0], app.volumes[1], fields, {app.vectors.data(), app.vectors.size()},
                              app.strength);
}
