#include "shape/correspondence.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "shape/distance_transform.h"

namespace kestrane {
namespace {

// What one sphere contributes to every pair it is in: where its centre lands
// in the other volume and the distance found there (chamfer units).
struct SphereMatch {
    Vector3 centre;
    Vector3 landing;
    int landing_distance;
};

Vector3 centre_of(const Sphere& s) { return {double(s.x), double(s.y), double(s.z)}; }

void clear_links(Volume& volume)
{
    for (Sphere& s : volume.spheres) s.linked = 0;
    volume.sphere_shift.assign(volume.spheres.size(), Vector3{0, 0, 0});
}

// The warp and the distance read depend on one sphere only, so they are
// taken once per sphere rather than once per pair.
void match_spheres(const Volume& volume, int side, const FieldView& other_field, const VectorSet& vectors,
                   std::vector<SphereMatch>& matches)
{
    for (const Sphere& s : volume.spheres) {
        SphereMatch m;
        m.centre = centre_of(s);
        Vector3 source_point, target_point;
        warp_point(vectors, m.centre, side == 0 ? 0.0 : 1.0, &source_point, &target_point);
        m.landing = side == 0 ? target_point : source_point;
        m.landing_distance = sample_distance(other_field, m.landing.x, m.landing.y, m.landing.z) / 4;
        matches.push_back(m);
    }
}

void divide_by_weights(Volume& volume, const std::vector<double>& weights)
{
    for (size_t i = 0; i < volume.sphere_shift.size(); ++i) {
        if (weights[i] == 0) continue;
        Vector3& shift = volume.sphere_shift[i];
        shift = {shift.x / weights[i], shift.y / weights[i], shift.z / weights[i]};
    }
}

}  // namespace

int correspond_spheres(Volume& source, Volume& target, const FieldView fields[2], const VectorSet& vectors,
                       double strength)
{
    if (source.spheres.empty() || target.spheres.empty()) return 0;
    std::vector<double> source_weights, target_weights;
    std::vector<SphereMatch> source_matches, target_matches;
    try {
        clear_links(source);
        clear_links(target);
        source_weights.assign(source.spheres.size(), 0.0);
        target_weights.assign(target.spheres.size(), 0.0);
        source_matches.reserve(source.spheres.size());
        target_matches.reserve(target.spheres.size());
    } catch (const std::bad_alloc&) {
        return 1;
    }
    match_spheres(source, 0, fields[1], vectors, source_matches);
    match_spheres(target, 1, fields[0], vectors, target_matches);

    for (size_t i = 0; i < source.spheres.size(); ++i) {
        Sphere& s = source.spheres[i];
        const SphereMatch& ms = source_matches[i];
        for (size_t j = 0; j < target.spheres.size(); ++j) {
            Sphere& g = target.spheres[j];
            const SphereMatch& mg = target_matches[j];
            // a: source centre to where the target centre lands in the source;
            // b: where the source centre lands in the target to the target centre.
            Vector3 a = vec_sub(mg.landing, ms.centre);
            Vector3 b = vec_sub(mg.centre, ms.landing);
            double r = chamfer_length(a.x, a.y, a.z) - std::abs(s.radius - mg.landing_distance);
            double q = chamfer_length(b.x, b.y, b.z) - std::abs(g.radius - ms.landing_distance);
            double worst = std::max(q, r);
            // A perfect match stays a zero threshold whatever the strength.
            double threshold = worst == 0 ? 0.0 : worst / strength;
            if (!(s.radius > threshold && g.radius > threshold)) continue;
            s.linked = 1;
            g.linked = 1;
            double w = 1.0 / (q * q + 100.0) + 1.0 / (r * r + 100.0);
            target.sphere_shift[j] = vec_add_scaled(target.sphere_shift[j], b, w);
            target_weights[j] += w;
            source.sphere_shift[i] = vec_add_scaled(source.sphere_shift[i], a, w);
            source_weights[i] += w;
        }
    }
    divide_by_weights(source, source_weights);
    divide_by_weights(target, target_weights);
    return 0;
}

}  // namespace kestrane
