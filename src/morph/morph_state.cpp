#include "morph/morph_state.h"

#include <algorithm>
#include <cmath>

#include "input/off_reader.h"
#include "morph/shared_displacements.h"

namespace kestrane {

namespace {

bool summary_current(const MorphState& morph, int side)
{
    const FieldView field = volume_field(morph, side);
    return field.present() && morph.summarised[side] == field.distances &&
           std::equal(morph.volume_dims, morph.volume_dims + 3, morph.summarised_dims[side]);
}

SphereSet sphere_set(const Volume& v)
{
    return {v.spheres.data(), v.sphere_shift.data(), std::min(v.spheres.size(), v.sphere_shift.size())};
}

}  // namespace

int64_t voxel_count(const MorphState& morph)
{
    return static_cast<int64_t>(morph.volume_dims[0]) * morph.volume_dims[1] * morph.volume_dims[2];
}

bool volume_present(const Volume& volume) { return volume.voxels || volume.field.present(); }

bool morph_loaded(const MorphState& morph)
{
    return volume_present(morph.volumes[0]) && volume_present(morph.volumes[1]);
}

void release_morph(MorphState& morph)
{
    drop_displacements(morph);
    for (Volume& v : morph.volumes) {
        v.voxels.reset();
        v.field = VolumeField{};
        std::vector<Sphere>().swap(v.spheres);
        std::vector<Vector3>().swap(v.sphere_shift);
        v.sphere_count = 0;
    }
    for (int side = 0; side < 2; ++side) {
        morph.summaries[side] = FieldSummary{};
        morph.summarised[side] = nullptr;
    }
    std::vector<CorrespondenceVector>().swap(morph.vectors);
    morph.linked = false;
}

FieldView volume_field(const MorphState& morph, int side)
{
    const Volume& v = morph.volumes[side];
    if (v.field.present()) return field_view(v.field);
    return field_of(v.voxels.get(), morph.volume_dims);
}

MorphInputs morph_inputs(const MorphState& morph)
{
    MorphInputs in;
    in.fields[0] = volume_field(morph, 0);
    in.fields[1] = volume_field(morph, 1);
    in.spheres[0] = sphere_set(morph.volumes[0]);
    in.spheres[1] = sphere_set(morph.volumes[1]);
    in.vectors = {morph.vectors.data(), morph.vectors.size()};
    in.quick_morph = morph.parameters.quick_morph;
    if (summary_current(morph, 0) && summary_current(morph, 1)) in.summaries = morph.summaries;
    return in;
}

LatticeField morph_lattice(const MorphState& morph)
{
    return frame_lattice(morph.volume_dims, morph.sample_grid_dims, morph.loaded_resolution);
}

FrameRequest frame_request(MorphState& morph, const MorphInputs& inputs, int frame, int frame_count, bool shared)
{
    FrameRequest request;
    request.inputs = &inputs;
    request.lattice = morph_lattice(morph);
    if (shared) request.displacements = frame_displacements(morph, inputs, request.lattice);
    request.frame = frame;
    request.frame_count = frame_count;
    request.threads = worker_threads(morph.parameters);
    return request;
}

SourcePlacement source_placement(const MorphState& morph)
{
    SourcePlacement placement;
    placement.centre = morph.volumes[0].centre;
    placement.scale = morph.volumes[0].scale;
    for (int axis = 0; axis < 3; ++axis) placement.volume_dims[axis] = morph.volume_dims[axis];
    return placement;
}

Vector3 surface_to_voxel(const MorphState& morph, int side, Vector3 p)
{
    if (side == 0) p = transform_point(morph.loaded_transform, p.x, p.y, p.z);
    const Volume& v = morph.volumes[side];
    const double in[3] = {p.x, p.y, p.z}, centre[3] = {v.centre.x, v.centre.y, v.centre.z};
    double out[3];
    for (int a = 0; a < 3; ++a) out[a] = (in[a] - centre[a]) * v.scale + (morph.volume_dims[a] - 1) * 0.5;
    return {out[0], out[1], out[2]};
}

Vector3 voxel_to_surface(const MorphState& morph, int side, Vector3 q)
{
    const Volume& v = morph.volumes[side];
    const double in[3] = {q.x, q.y, q.z}, centre[3] = {v.centre.x, v.centre.y, v.centre.z};
    double out[3];
    for (int a = 0; a < 3; ++a) out[a] = (in[a] - (morph.volume_dims[a] - 1) * 0.5) / v.scale + centre[a];
    Vector3 p{out[0], out[1], out[2]};
    if (side != 0) return p;
    // The source's transform is affine: undo it with its inverse 3 x 3 part.
    const double* m = morph.loaded_transform;
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (det == 0 || !std::isfinite(det)) return p;
    const double x = p.x - m[12], y = p.y - m[13], z = p.z - m[14];
    return {((e * i - f * h) * x - (b * i - c * h) * y + (b * f - c * e) * z) / det,
            (-(d * i - f * g) * x + (a * i - c * g) * y - (a * f - c * d) * z) / det,
            ((d * h - e * g) * x - (a * h - b * g) * y + (a * e - b * d) * z) / det};
}

void to_source_units(const SurfaceMesh& mesh, const SourcePlacement& placement, Mesh* out)
{
    const size_t n = mesh.vertices.size();
    out->vertices.resize(3 * n);
    out->normals.resize(3 * n);
    out->colours.resize(3 * n);
    for (size_t i = 0; i < n; ++i) {
        const MeshVertex& v = mesh.vertices[i];
        const Vector3 p = source_position(v, placement);
        out->vertices[3 * i] = p.x;
        out->vertices[3 * i + 1] = p.y;
        out->vertices[3 * i + 2] = p.z;
        out->normals[3 * i] = static_cast<float>(v.nx / static_cast<double>(NORMAL_LENGTH));
        out->normals[3 * i + 1] = static_cast<float>(v.ny / static_cast<double>(NORMAL_LENGTH));
        out->normals[3 * i + 2] = static_cast<float>(v.nz / static_cast<double>(NORMAL_LENGTH));
        out->colours[3 * i] = colour_byte_255(v.colour, 0, 31);
        out->colours[3 * i + 1] = colour_byte_255(v.colour, 1, 63);
        out->colours[3 * i + 2] = colour_byte_255(v.colour, 2, 31);
    }
    out->faces.resize(3 * mesh.triangles.size());
    for (size_t t = 0; t < mesh.triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) out->faces[3 * t + k] = mesh.triangles[t].v[k];
}

Result cancelled_result(Stage stage)
{
    return Result::failure(Problem::Cancelled, stage, -1, std::string(), "the work was cancelled");
}

void tell(const MorphState& morph, const ProgressEvent& event)
{
    if (morph.observer) morph.observer->progress(event);
}

void tell(const MorphState& morph, const Report& report)
{
    if (morph.observer) morph.observer->report(report);
}

}  // namespace kestrane
