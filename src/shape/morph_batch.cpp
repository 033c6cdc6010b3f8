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
            b.ds[k] = sample_distance(source, b.s[k].x, b.s[k].y, b.s[k].z);
            b.dg[k] = sample_distance(target, b.g[k].x, b.g[k].y, b.g[k].z);
        }
        sphere_displacements(frame.linked[0], b.s.data(), b.ds.data(), n, b.vs.data());
        sphere_displacements(frame.linked[1], b.g.data(), b.dg.data(), n, b.vg.data());
        for (int k = 0; k < n; ++k) {
            b.s[k] = vec_add_scaled(b.s[k], b.vs[k], -t);
            b.g[k] = vec_add_scaled(b.g[k], b.vg[k], 1 - t);
        }
    }
    for (int k = 0; k < n; ++k) {
        const Vector3& s = b.s[k];
        const Vector3& g = b.g[k];
        const double value = (1 - t) * sample_distance(source, s.x, s.y, s.z) + t * sample_distance(target, g.x, g.y, g.z);
        colours[k] = blend_colour(t, sample_colour(target, g.x, g.y, g.z), sample_colour(source, s.x, s.y, s.z));
        values[k] = field_value(value);
    }
}

}  // namespace kestrane
