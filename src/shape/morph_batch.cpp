#include "shape/morph_batch.h"

#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/field_value.h"
#include "shape/sphere_sums.h"

namespace kestrane {
MorphFrame morph_frame(const MorphInputs& inputs, double t)
{
    MorphFrame f;
    f.inputs = &inputs;
    f.t = t;
    if (!inputs.quick_morph && t != 0.0 && t != 1.0) {
        f.linked[0] = linked_spheres(inputs.spheres[0]);
        f.linked[1] = linked_spheres(inputs.spheres[1]);
    }
    return f;
}

namespace {

// The blends of the reads at s and g, as morph_sample.
int16_t value_at(const MorphInputs& in, double t, Vector3 s, Vector3 g)
{
    return field_value((1 - t) * sample_distance(in.fields[0], s.x, s.y, s.z) +
                       t * sample_distance(in.fields[1], g.x, g.y, g.z));
}

uint32_t colour_at(const MorphInputs& in, double t, Vector3 s, Vector3 g)
{
    return blend_colour(t, sample_colour(in.fields[1], g.x, g.y, g.z), sample_colour(in.fields[0], s.x, s.y, s.z));
}

void finish(const MorphInputs& in, double t, Vector3 s, Vector3 g, int16_t* value, uint32_t* colour)
{
    *value = value_at(in, t, s, g);
    *colour = colour_at(in, t, s, g);
}

// Where the displacements take p on each side.
Vector3 moved_source(const MorphFrame& f, Vector3 p, Vector3 d) { return vec_add_scaled(p, d, -f.t); }
Vector3 moved_target(const MorphFrame& f, Vector3 p, Vector3 d) { return vec_add_scaled(p, d, 1 - f.t); }

}  // namespace

bool displacements_shared(const MorphInputs& inputs) { return !inputs.quick_morph && inputs.vectors.count == 0; }

void morph_displacements(const MorphFrame& frame, const Vector3* p, int n, Vector3* source, Vector3* target,
                         MorphBatch& b)
{
    if (n <= 0) return;
    const MorphInputs& in = *frame.inputs;
    const size_t count = static_cast<size_t>(n);
    b.ds.resize(count);
    b.dg.resize(count);
    // Without vectors the warp leaves every point where it is (for a
    // frame's lattice, on whole voxels along x and z).
    for (int k = 0; k < n; ++k) {
        b.ds[k] = sample_distance_whole_xz(in.fields[0], p[k].x, p[k].y, p[k].z);
        b.dg[k] = sample_distance_whole_xz(in.fields[1], p[k].x, p[k].y, p[k].z);
    }
    sphere_displacements(frame.linked[0], p, b.ds.data(), n, source);
    sphere_displacements(frame.linked[1], p, b.dg.data(), n, target);
}

void morph_side_parts(const MorphFrame& frame, int side, const Vector3* p, int n, double* parts, Vector3* moved,
                      Vector3* others, MorphBatch& b)
{
    if (n <= 0) return;
    const MorphInputs& in = *frame.inputs;
    const double t = frame.t;
    const size_t count = static_cast<size_t>(n);
    b.s.resize(count);
    b.ds.resize(count);
    b.vs.resize(count);
    for (int k = 0; k < n; ++k) {
        Vector3 warped[2];
        warp_point(in.vectors, p[k], t, &warped[0], &warped[1]);
        b.s[k] = warped[side];
        others[k] = warped[1 - side];
        // Where no vector moves it, a lattice point's read along y alone.
        b.ds[k] = sample_distance_whole_xz(in.fields[side], b.s[k].x, b.s[k].y, b.s[k].z);
    }
    sphere_displacements(frame.linked[side], b.s.data(), b.ds.data(), n, b.vs.data());
    // As morph_samples: the source moves by -t times its displacement and
    // weighs 1 - t, the target by 1 - t times its own and weighs t.
    const double along = side == 0 ? -t : 1 - t, weight = side == 0 ? 1 - t : t;
    for (int k = 0; k < n; ++k) {
        moved[k] = vec_add_scaled(b.s[k], b.vs[k], along);
        parts[k] = weight * sample_distance(in.fields[side], moved[k].x, moved[k].y, moved[k].z);
    }
}

void morph_other_parts(const MorphFrame& frame, int known, const double* parts, const Vector3* others, int n,
                       int16_t* values, Vector3* moved_others, MorphBatch& b)
{
    if (n <= 0) return;
    const MorphInputs& in = *frame.inputs;
    const double t = frame.t;
    const int side = 1 - known;
    const size_t count = static_cast<size_t>(n);
    b.dg.resize(count);
    b.vg.resize(count);
    for (int k = 0; k < n; ++k)
        b.dg[k] = sample_distance_whole_xz(in.fields[side], others[k].x, others[k].y, others[k].z);
    sphere_displacements(frame.linked[side], others, b.dg.data(), n, b.vg.data());
    const double along = side == 0 ? -t : 1 - t, weight = side == 0 ? 1 - t : t;
    for (int k = 0; k < n; ++k) {
        const Vector3 m = vec_add_scaled(others[k], b.vg[k], along);
        const double term = weight * sample_distance(in.fields[side], m.x, m.y, m.z);
        // The blend adds the source's term to the target's, as value_at.
        values[k] = field_value(known == 0 ? parts[k] + term : term + parts[k]);
        moved_others[k] = m;
    }
}

void morph_colours_between(const MorphFrame& frame, const Vector3* source_points, const Vector3* moved_targets, int n,
                           uint32_t* colours)
{
    for (int k = 0; k < n; ++k) colours[k] = colour_at(*frame.inputs, frame.t, source_points[k], moved_targets[k]);
}

void morph_displaced(const MorphFrame& frame, const Vector3* p, const Vector3* source, const Vector3* target, int n,
                     int16_t* values, uint32_t* colours)
{
    for (int k = 0; k < n; ++k)
        finish(*frame.inputs, frame.t, moved_source(frame, p[k], source[k]), moved_target(frame, p[k], target[k]),
               &values[k], &colours[k]);
}

void morph_displaced_values(const MorphFrame& frame, const Vector3* p, const Vector3* source, const Vector3* target,
                            int n, int16_t* values)
{
    for (int k = 0; k < n; ++k)
        values[k] = value_at(*frame.inputs, frame.t, moved_source(frame, p[k], source[k]),
                             moved_target(frame, p[k], target[k]));
}

void morph_displaced_colours(const MorphFrame& frame, const Vector3* p, const Vector3* source, const Vector3* target,
                             int n, uint32_t* colours)
{
    for (int k = 0; k < n; ++k)
        colours[k] = colour_at(*frame.inputs, frame.t, moved_source(frame, p[k], source[k]),
                               moved_target(frame, p[k], target[k]));
}

void morph_samples(const MorphFrame& frame, const Vector3* p, int n, int16_t* values, uint32_t* colours,
                   MorphBatch& b)
{
    const MorphInputs& in = *frame.inputs;
    const double t = frame.t;
    if (t == 0.0 || t == 1.0 || n <= 0) {
        for (int k = 0; k < n; ++k) values[k] = morph_sample(in, p[k], t, &colours[k]);
        return;
    }
    const FieldView& source = in.fields[0];
    const FieldView& target = in.fields[1];
    const size_t count = static_cast<size_t>(n);
    b.s.resize(count);
    b.g.resize(count);
    for (int k = 0; k < n; ++k) warp_point(in.vectors, p[k], t, &b.s[k], &b.g[k]);
    if (!in.quick_morph) {
        b.ds.resize(count);
        b.dg.resize(count);
        b.vs.resize(count);
        b.vg.resize(count);
        for (int k = 0; k < n; ++k) {
            // The depth reads: at lattice points where no vector moves them.
            b.ds[k] = sample_distance_whole_xz(source, b.s[k].x, b.s[k].y, b.s[k].z);
            b.dg[k] = sample_distance_whole_xz(target, b.g[k].x, b.g[k].y, b.g[k].z);
        }
        sphere_displacements(frame.linked[0], b.s.data(), b.ds.data(), n, b.vs.data());
        sphere_displacements(frame.linked[1], b.g.data(), b.dg.data(), n, b.vg.data());
        for (int k = 0; k < n; ++k) {
            b.s[k] = vec_add_scaled(b.s[k], b.vs[k], -t);
            b.g[k] = vec_add_scaled(b.g[k], b.vg[k], 1 - t);
        }
    }
    for (int k = 0; k < n; ++k) finish(in, t, b.s[k], b.g[k], &values[k], &colours[k]);
}

}  // namespace kestrane
