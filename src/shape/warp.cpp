#include <cmath>

#include "shape/correspondence.h"

namespace kestrane {
// Inverse-square weighted mean of the vectors' offsets from where each vector
// stands at time t. Should every weight vanish (only with points so far away
// that the squared distance overflows), the point is left where it is.
void warp_point(const VectorSet& vectors, Vector3 p, double t, Vector3* source_point, Vector3* target_point)
{
    *source_point = p;
    *target_point = p;
    if (vectors.count == 0) return;
    double w_sum = 0;
    Vector3 a{0, 0, 0}, b{0, 0, 0};
    for (size_t i = 0; i < vectors.count; ++i) {
        const CorrespondenceVector& v = vectors.vectors[i];
        Vector3 start{v.start[0], v.start[1], v.start[2]};
        Vector3 end{v.end[0], v.end[1], v.end[2]};
        Vector3 now{(1 - t) * start.x + t * end.x, (1 - t) * start.y + t * end.y,
                    (1 - t) * start.z + t * end.z};
        Vector3 d = vec_sub(p, now);
        double w = 1.0 / (vec_dot(d, d) + 0.1);
        w_sum += w;
        a = vec_add_scaled(a, vec_sub(start, now), w);
        b = vec_add_scaled(b, vec_sub(end, now), w);
    }
    if (!(w_sum > 0) || !std::isfinite(w_sum)) return;
    *source_point = {p.x + a.x / w_sum, p.y + a.y / w_sum, p.z + a.z / w_sum};
    *target_point = {p.x + b.x / w_sum, p.y + b.y / w_sum, p.z + b.z / w_sum};
}

}  // namespace kestrane
