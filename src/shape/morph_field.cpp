#include "shape/morph_field.h"

#include <cmath>

#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/field_value.h"

namespace kestrane {
// Weighted by how well q sits on each linked sphere's surface. The weights
// are always positive for finite input; a non-finite weight sum (only from a
// non-finite q) gives no displacement.
int sphere_displacement(const SphereSet& spheres, Vector3 q, int16_t d, Vector3* displacement)
{
    *displacement = {0, 0, 0};
    const size_t count = spheres.count;
    if (count == 0) return 0;
    double depth = d * 0.25;
    double w_sum = 0;
    Vector3 sum{0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        const Sphere& s = spheres.spheres[i];
        if (s.linked != 1) continue;
        double e = chamfer_length(q.x - s.x, q.y - s.y, q.z - s.z) - (s.radius - depth);
        double w = 1.0 / (e * e + 100.0);
        w_sum += w;
        sum = vec_add_scaled(sum, spheres.shifts[i], w);
    }
    if (!(w_sum > 0) || !std::isfinite(w_sum)) return 0;
    *displacement = {sum.x / w_sum, sum.y / w_sum, sum.z / w_sum};
    return 1;
}

int16_t morph_sample(const MorphInputs& in, Vector3 p, double t, uint32_t* colour)
{
    const FieldView& source = in.fields[0];
    const FieldView& target = in.fields[1];
    if (t == 0.0) {
        *colour = sample_colour(source, p.x, p.y, p.z);
        return sample_distance(source, p.x, p.y, p.z);
    }
    if (t == 1.0) {
        *colour = sample_colour(target, p.x, p.y, p.z);
        return sample_distance(target, p.x, p.y, p.z);
    }
    Vector3 s, g;
    warp_point(in.vectors, p, t, &s, &g);
    if (!in.quick_morph) {
        int16_t ds = sample_distance(source, s.x, s.y, s.z);
        int16_t dg = sample_distance(target, g.x, g.y, g.z);
        Vector3 vs, vg;
        sphere_displacement(in.spheres[0], s, ds, &vs);
        sphere_displacement(in.spheres[1], g, dg, &vg);
        s = vec_add_scaled(s, vs, -t);
        g = vec_add_scaled(g, vg, 1 - t);
    }
    double value = (1 - t) * sample_distance(source, s.x, s.y, s.z) + t * sample_distance(target, g.x, g.y, g.z);
    *colour = blend_colour(t, sample_colour(target, g.x, g.y, g.z), sample_colour(source, s.x, s.y, s.z));
    return field_value(value);
}

}  // namespace kestrane
