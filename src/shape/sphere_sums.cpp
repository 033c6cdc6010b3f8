#include "shape/sphere_sums.h"

#include <atomic>
#include <cmath>

#include "shape/distance_transform.h"

namespace kestrane {
namespace {

constexpr int LANES = 8;

// One group of up to LANES points; unused lanes repeat the last point.
struct Group {
    double qx[LANES], qy[LANES], qz[LANES], depth[LANES];
    double w_sum[LANES], x[LANES], y[LANES], z[LANES];
};

// The sums over every sphere for the group, lane by lane exactly as
// sphere_displacement forms them. Inlined into one function per instruction
// set, each compiled for its own vector width.
inline __attribute__((always_inline)) void sum_lanes(const LinkedSpheres& s, Group& g)
{
    double w_sum[LANES] = {}, sx[LANES] = {}, sy[LANES] = {}, sz[LANES] = {};
    const double *cx = s.x.data(), *cy = s.y.data(), *cz = s.z.data(), *cr = s.radius.data();
    const double *hx = s.sx.data(), *hy = s.sy.data(), *hz = s.sz.data();
    for (size_t i = 0; i < s.count; ++i) {
        const double x = cx[i], y = cy[i], z = cz[i], r = cr[i], shift_x = hx[i], shift_y = hy[i], shift_z = hz[i];
#pragma GCC ivdep
        for (int l = 0; l < LANES; ++l) {
            const double chamfer = ordered_chamfer_length(std::fabs(g.qx[l] - x), std::fabs(g.qy[l] - y),
                                                          std::fabs(g.qz[l] - z));
            const double e = chamfer - (r - g.depth[l]);
            const double w = 1.0 / (e * e + 100.0);
            w_sum[l] += w;
            sx[l] = shift_x * w + sx[l];
            sy[l] = shift_y * w + sy[l];
            sz[l] = shift_z * w + sz[l];
        }
    }
    for (int l = 0; l < LANES; ++l) {
        g.w_sum[l] = w_sum[l];
        g.x[l] = sx[l];
        g.y[l] = sy[l];
        g.z[l] = sz[l];
    }
}

void sum_sse2(const LinkedSpheres& s, Group& g) { sum_lanes(s, g); }
#if defined(__x86_64__)
__attribute__((target("avx2"))) void sum_avx2(const LinkedSpheres& s, Group& g) { sum_lanes(s, g); }
__attribute__((target("avx512f,avx512vl,avx512dq,avx2"))) void sum_avx512(const LinkedSpheres& s, Group& g)
{
    sum_lanes(s, g);
}
#endif

// The plain loop, one point at a time: sphere_displacement's own operations.
void sum_one(const LinkedSpheres& s, Group& g, int l)
{
    double w_sum = 0;
    Vector3 sum{0, 0, 0};
    for (size_t i = 0; i < s.count; ++i) {
        const double e =
            chamfer_length(g.qx[l] - s.x[i], g.qy[l] - s.y[i], g.qz[l] - s.z[i]) - (s.radius[i] - g.depth[l]);
        const double w = 1.0 / (e * e + 100.0);
        w_sum += w;
        sum = vec_add_scaled(sum, Vector3{s.sx[i], s.sy[i], s.sz[i]}, w);
    }
    g.w_sum[l] = w_sum;
    g.x[l] = sum.x;
    g.y[l] = sum.y;
    g.z[l] = sum.z;
}

SumsPath detect_widest()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq"))
        return SumsPath::Avx512;
    if (__builtin_cpu_supports("avx2")) return SumsPath::Avx2;
#endif
    return SumsPath::Sse2;
}

// Every path gives the same sums bit for bit, so the choice is only a
// speed; atomic, so that a test or benchmark may change it while frames are
// built on other threads.
std::atomic<SumsPath>& current_path()
{
    static std::atomic<SumsPath> path{widest_sums_path()};
    return path;
}

void sum_group(const LinkedSpheres& s, Group& g, int used)
{
    switch (current_path().load(std::memory_order_relaxed)) {
#if defined(__x86_64__)
    case SumsPath::Avx512: sum_avx512(s, g); return;
    case SumsPath::Avx2: sum_avx2(s, g); return;
#endif
    case SumsPath::Plain:
        for (int l = 0; l < used; ++l) sum_one(s, g, l);
        return;
    default: sum_sse2(s, g); return;
    }
}

}  // namespace

SumsPath widest_sums_path()
{
    static const SumsPath widest = detect_widest();
    return widest;
}

SumsPath current_sums_path() { return current_path().load(std::memory_order_relaxed); }

SumsPath use_sums_path(SumsPath path)
{
    const SumsPath chosen = static_cast<int>(path) <= static_cast<int>(widest_sums_path()) ? path : widest_sums_path();
    return current_path().exchange(chosen, std::memory_order_relaxed);
}

void sphere_sums(const LinkedSpheres& spheres, const Vector3* q, const int16_t* d, int n, SphereSum* sums)
{
    for (int first = 0; first < n; first += LANES) {
        const int used = n - first < LANES ? n - first : LANES;
        Group g;
        for (int l = 0; l < LANES; ++l) {
            const int k = first + (l < used ? l : used - 1);
            g.qx[l] = q[k].x;
            g.qy[l] = q[k].y;
            g.qz[l] = q[k].z;
            g.depth[l] = d[k] * 0.25;
        }
        if (spheres.count > 0) {
            sum_group(spheres, g, used);
            for (int l = 0; l < used; ++l) sums[first + l] = {g.w_sum[l], g.x[l], g.y[l], g.z[l]};
        } else {
            for (int l = 0; l < used; ++l) sums[first + l] = {0, 0, 0, 0};
        }
    }
}

void sphere_displacements(const LinkedSpheres& spheres, const Vector3* q, const int16_t* d, int n,
                          Vector3* displacement)
{
    SphereSum group[LANES];
    for (int first = 0; first < n; first += LANES) {
        const int used = n - first < LANES ? n - first : LANES;
        sphere_sums(spheres, q + first, d + first, used, group);
        for (int l = 0; l < used; ++l) {
            const SphereSum& s = group[l];
            // As sphere_displacement: nothing from no sphere or a non-finite sum.
            if (spheres.count == 0 || !(s.weight > 0) || !std::isfinite(s.weight))
                displacement[first + l] = {0, 0, 0};
            else
                displacement[first + l] = {s.x / s.weight, s.y / s.weight, s.z / s.weight};
        }
    }
}

}  // namespace kestrane
