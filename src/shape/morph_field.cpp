#include "shape/morph_field.h"

#include <cmath>

#include "core/app_state.h"
#include "shape/correspondence.h"
#include "shape/distance_transform.h"

namespace {

constexpr int16_t FIELD_LIMIT = 31999;

// Truncated toward zero, kept in the field's range; a non-number (only from
// non-finite input) reads as far outside.
int16_t field_value(double value)
{
    if (!(value > -FIELD_LIMIT)) return -FIELD_LIMIT;
    if (value >= FIELD_LIMIT) return FIELD_LIMIT;
    return static_cast<int16_t>(value);  // truncates toward zero
}

}  // namespace

// Weighted by how well q sits on each linked sphere's surface. The weights
// are always positive for finite input; a non-finite weight sum (only from a
// non-finite q) gives no displacement.
int sphere_displacement(int v, Vector3 q, int16_t d, Vector3* displacement)
{
    *displacement = {0, 0, 0};
    const Volume& volume = app.volumes[v];
    if (volume.spheres.empty()) return 0;
    size_t count = volume.spheres.size();
    if (volume.sphere_shift.size() < count) count = volume.sphere_shift.size();
    double depth = d * 0.25;
    double w_sum = 0;
    Vector3 sum{0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        const Sphere& s = volume.spheres[i];
        if (s.linked != 1) continue;
        double e = chamfer_length(q.x - s.x, q.y - s.y, q.z - s.z) - (s.radius - depth);
        double w = 1.0 / (e * e + 100.0);
        w_sum += w;
        sum = vec_add_scaled(sum, volume.sphere_shift[i], w);
    }
    if (!(w_sum > 0) || !std::isfinite(w_sum)) return 0;
    *displacement = {sum.x / w_sum, sum.y / w_sum, sum.z / w_sum};
    return 1;
}

int16_t morph_sample(Vector3 p, double t, uint32_t* colour)
{
    if (t == 0.0) {
        *colour = sample_colour(0, p.x, p.y, p.z);
        return sample_distance(0, p.x, p.y, p.z);
    }
    if (t == 1.0) {
        *colour = sample_colour(1, p.x, p.y, p.z);
        return sample_distance(1, p.x, p.y, p.z);
    }
    Vector3 s, g;
    warp_point(p, t, &s, &g);
    if (!app.quick_morph) {
        int16_t ds = sample_distance(0, s.x, s.y, s.z);
        int16_t dg = sample_distance(1, g.x, g.y, g.z);
        Vector3 vs, vg;
        sphere_displacement(0, s, ds, &vs);
        sphere_displacement(1, g, dg, &vg);
        s = vec_add_scaled(s, vs, -t);
        g = vec_add_scaled(g, vg, 1 - t);
    }
    double value = (1 - t) * sample_distance(0, s.x, s.y, s.z) + t * sample_distance(1, g.x, g.y, g.z);
    *colour = blend_colour(t, sample_colour(1, g.x, g.y, g.z), sample_colour(0, s.x, s.y, s.z));
    return field_value(value);
}
