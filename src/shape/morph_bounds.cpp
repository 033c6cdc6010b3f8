#include "shape/morph_bounds.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/field_value.h"

namespace kestrane {
namespace {

// Rounding in the exact evaluation moves a point by far less than this.
double pad(double x) { return 1e-6 + 1e-9 * std::fabs(x); }

PointBox padded(PointBox b)
{
    for (int a = 0; a < 3; ++a) {
        b.lo[a] -= pad(b.lo[a]);
        b.hi[a] += pad(b.hi[a]);
    }
    return b;
}

// The box plus every offset in [lo, hi] (scaled by f >= 0 or f <= 0).
// Inline: returned through memory, the box's halves were stored as
// doubles and read back as pairs, a stall on every call of the bounds.
[[gnu::always_inline]] inline PointBox moved(const PointBox& b, const double lo[3], const double hi[3], double f)
{
    PointBox out;
    for (int a = 0; a < 3; ++a) {
        const double x = f * lo[a], y = f * hi[a];
        out.lo[a] = b.lo[a] + std::min(x, y);
        out.hi[a] = b.hi[a] + std::max(x, y);
    }
    return padded(out);
}

// Distance along one axis from c to the interval [lo, hi], least and most;
// without branches, for weight_ranges' loop.
[[gnu::always_inline]] inline void axis_gaps(double c, double lo, double hi, double* least, double* most)
{
    const double below = lo - c, above = c - hi;
    const double gap = below > above ? below : above;
    *least = gap > 0.0 ? gap : 0.0;
    const double l = std::fabs(below), h = std::fabs(hi - c);
    *most = l < h ? h : l;
}

struct Interval {
    double lo, hi;
};

// The low weights' total and their weighted sums of the three shifts, in
// eight partial sums that run in vector lanes: in another order than a
// sphere at a time, which the room displacement_range leaves covers.
struct LowSums {
    double weight, shift[3];
};
LowSums low_sums(const LinkedSpheres& s, const std::vector<double>& low)
{
    constexpr int L = 8;
    double w[L] = {}, x[L] = {}, y[L] = {}, z[L] = {};
    const double *lo = low.data(), *sx = s.sx.data(), *sy = s.sy.data(), *sz = s.sz.data();
    const size_t count = s.count, whole = count / L * L;
    for (size_t i = 0; i < whole; i += L)
        for (int l = 0; l < L; ++l) {
            w[l] += lo[i + l];
            x[l] += lo[i + l] * sx[i + l];
            y[l] += lo[i + l] * sy[i + l];
            z[l] += lo[i + l] * sz[i + l];
        }
    for (size_t i = whole; i < count; ++i) {
        w[0] += lo[i];
        x[0] += lo[i] * sx[i];
        y[0] += lo[i] * sy[i];
        z[0] += lo[i] * sz[i];
    }
    LowSums out{0, {0, 0, 0}};
    for (int l = 0; l < L; ++l) {
        out.weight += w[l];
        out.shift[0] += x[l];
        out.shift[1] += y[l];
        out.shift[2] += z[l];
    }
    return out;
}

// Least and greatest of a weighted mean of values[i] with weights in
// [low[i], high[i]], values visited in increasing order, from the sums n and
// d of the low weights: the extremes put the high weights on a run of the
// largest (or smallest) values. Along such a run the mean rises while the
// next value lies beyond it and turns back at the first one that does not
// (every later value lies behind the mean too), so each run stops there; the
// weights being positive, the test multiplies.
Interval weighted_mean_range(const std::vector<int>& order, const double* values, const std::vector<double>& low,
                             const std::vector<double>& high, double n, double d)
{
    double nh = n, dh = d;
    for (auto it = order.rbegin(); it != order.rend() && values[*it] * dh > nh; ++it) {  // largest first
        nh += (high[*it] - low[*it]) * values[*it];
        dh += high[*it] - low[*it];
    }
    double nl = n, dl = d;
    for (auto it = order.begin(); it != order.end() && values[*it] * dl < nl; ++it) {  // smallest first
        nl += (high[*it] - low[*it]) * values[*it];
        dl += high[*it] - low[*it];
    }
    return {std::min(n / d, nl / dl), std::max(n / d, nh / dh)};
}

// Far beyond the relative rounding of the three operations that give a
// weight its bound.
constexpr double WEIGHT_ROUNDING = 1e-14;

// The least and greatest weight each linked sphere of one side can give a
// point of q whose distance read lies in depth_read, for spheres [0, count).
// The loop runs in vector lanes: its helpers have no branches (minima and
// maxima), and the file is built without trapping math, so that the compiler
// may select a comparison's value. Inlined into one function per instruction
// set; every lane runs the same operations, so every path gives the same
// bounds.
[[gnu::always_inline]] inline void weight_lanes(const LinkedSpheres& s, const PointBox& q, double depth_lo,
                                                double depth_hi, double* lo, double* hi)
{
    const double *cx = s.x.data(), *cy = s.y.data(), *cz = s.z.data(), *cr = s.radius.data();
    const size_t count = s.count;
#pragma GCC ivdep
    for (size_t i = 0; i < count; ++i) {
        double g_lo[3], g_hi[3];
        axis_gaps(cx[i], q.lo[0], q.hi[0], &g_lo[0], &g_hi[0]);
        axis_gaps(cy[i], q.lo[1], q.hi[1], &g_lo[1], &g_hi[1]);
        axis_gaps(cz[i], q.lo[2], q.hi[2], &g_lo[2], &g_hi[2]);
        // The chamfer length grows with every offset.
        const double near = ordered_chamfer_length(g_lo[0], g_lo[1], g_lo[2]),
                     far = ordered_chamfer_length(g_hi[0], g_hi[1], g_hi[2]);
        const double e_lo = near - cr[i] + depth_lo, e_hi = far - cr[i] + depth_hi;
        const double sq_lo = e_lo * e_lo, sq_hi = e_hi * e_hi;
        const double least_sq = sq_lo < sq_hi ? sq_lo : sq_hi;
        const double e2_lo = (e_lo <= 0) & (e_hi >= 0) ? 0.0 : least_sq;
        const double e2_hi = sq_lo < sq_hi ? sq_hi : sq_lo;
        // One division for both weights (divisions bound the loop): each
        // then carries two roundings more, which the factors put outside.
        const double a = e2_hi + 100.0, b = e2_lo + 100.0, r = 1.0 / (a * b);
        lo[i] = b * r * (1 - WEIGHT_ROUNDING);
        hi[i] = a * r * (1 + WEIGHT_ROUNDING);
    }
}

void weights_sse2(const LinkedSpheres& s, const PointBox& q, double d_lo, double d_hi, double* lo, double* hi)
{
    weight_lanes(s, q, d_lo, d_hi, lo, hi);
}
#if defined(__x86_64__)
__attribute__((target("avx2"))) void weights_avx2(const LinkedSpheres& s, const PointBox& q, double d_lo,
                                                  double d_hi, double* lo, double* hi)
{
    weight_lanes(s, q, d_lo, d_hi, lo, hi);
}
__attribute__((target("avx512f,avx512vl,avx512dq,avx2"))) void weights_avx512(
    const LinkedSpheres& s, const PointBox& q, double d_lo, double d_hi, double* lo, double* hi)
{
    weight_lanes(s, q, d_lo, d_hi, lo, hi);
}
#endif

void weight_ranges(const LinkedSpheres& s, const PointBox& q, const FieldRange& depth_read, std::vector<double>& low,
                   std::vector<double>& high)
{
    const double depth_lo = depth_read.lo * 0.25, depth_hi = depth_read.hi * 0.25;
    low.resize(s.count);
    high.resize(s.count);
    switch (current_sums_path()) {
#if defined(__x86_64__)
    case SumsPath::Avx512: weights_avx512(s, q, depth_lo, depth_hi, low.data(), high.data()); return;
    case SumsPath::Avx2: weights_avx2(s, q, depth_lo, depth_hi, low.data(), high.data()); return;
#endif
    default: weights_sse2(s, q, depth_lo, depth_hi, low.data(), high.data()); return;
    }
}

// Where the linked spheres of one side can move points of q whose distance
// reads lie in depth_read: per axis, the range of the weighted mean of the
// shifts.
void displacement_range(const LinkedSpheres& s, const std::vector<int> order[3], const PointBox& q,
                        const FieldRange& depth_read, double lo[3], double hi[3])
{
    if (s.count == 0) {
        for (int a = 0; a < 3; ++a) lo[a] = hi[a] = 0;
        return;
    }
    // Per thread, so that a bound allocates nothing.
    thread_local std::vector<double> low, high;
    weight_ranges(s, q, depth_read, low, high);
    const double* shifts[3] = {s.sx.data(), s.sy.data(), s.sz.data()};
    const LowSums sums = low_sums(s, low);
    for (int a = 0; a < 3; ++a) {
        const Interval r = weighted_mean_range(order[a], shifts[a], low, high, sums.shift[a], sums.weight);
        lo[a] = r.lo - pad(r.lo);
        hi[a] = r.hi + pad(r.hi);
    }
}

}  // namespace

MorphBoundsFrame morph_bounds_frame(const MorphInputs& inputs, const FieldSummary summaries[2],
                                    const LinkedSpheres linked[2], double t)
{
    MorphBoundsFrame f;
    f.summaries[0] = &summaries[0];
    f.summaries[1] = &summaries[1];
    f.t = t;
    f.quick = inputs.quick_morph;
    f.vectors = inputs.vectors;
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < 3; ++a) f.warp_lo[side][a] = f.warp_hi[side][a] = 0;
    // warp_point moves a point by a weighted mean of the vectors' offsets
    // from where they stand at t (or not at all).
    for (size_t i = 0; i < inputs.vectors.count; ++i) {
        const CorrespondenceVector& v = inputs.vectors.vectors[i];
        for (int a = 0; a < 3; ++a) {
            const double now = (1 - t) * v.start[a] + t * v.end[a];
            const double offset[2] = {v.start[a] - now, v.end[a] - now};
            for (int side = 0; side < 2; ++side) {
                f.warp_lo[side][a] = std::min(f.warp_lo[side][a], offset[side]);
                f.warp_hi[side][a] = std::max(f.warp_hi[side][a], offset[side]);
            }
        }
    }
    for (int side = 0; side < 2; ++side) {
        f.linked[side] = &linked[side];
        const LinkedSpheres& s = linked[side];
        const double* shifts[3] = {s.sx.data(), s.sy.data(), s.sz.data()};
        for (int a = 0; a < 3; ++a) {
            std::vector<int>& order = f.by_shift[side][a];
            order.resize(s.count);
            std::iota(order.begin(), order.end(), 0);
            const double* v = shifts[a];
            std::stable_sort(order.begin(), order.end(), [v](int i, int j) { return v[i] < v[j]; });
            double lo = 0, hi = 0;
            for (size_t i = 0; i < s.count; ++i) {
                lo = std::min(lo, v[i]);
                hi = std::max(hi, v[i]);
            }
            // Sums round: the room displacement_range leaves.
            const double room = 1e-6 + 1e-9 * (std::fabs(lo) + std::fabs(hi));
            outward_floats(lo - room - pad(lo), hi + room + pad(hi), &f.any_shift.lo[side][a], &f.any_shift.hi[side][a]);
        }
    }
    return f;
}

namespace {

// The reads over the boxes s and g moved by the spheres' shifts (in
// reads, if given).
FieldRange range_after_shifts(const MorphBoundsFrame& f, PointBox s, PointBox g, const double lo[2][3],
                              const double hi[2][3], FieldRange* reads = nullptr)
{
    const double t = f.t;
    if (!f.quick) {
        s = moved(s, lo[0], hi[0], -t);
        g = moved(g, lo[1], hi[1], 1 - t);
    }
    const FieldRange a = distance_range(*f.summaries[0], s), b = distance_range(*f.summaries[1], g);
    if (reads) reads[0] = a, reads[1] = b;
    // Both weights are positive, so the blend is monotone in each read.
    return {field_value((1 - t) * a.lo + t * b.lo), field_value((1 - t) * a.hi + t * b.hi)};
}

void shifts_of(const MorphBoundsFrame& f, const PointBox& s, const PointBox& g, double lo[2][3], double hi[2][3])
{
    displacement_range(*f.linked[0], f.by_shift[0], s, distance_range(*f.summaries[0], s), lo[0], hi[0]);
    displacement_range(*f.linked[1], f.by_shift[1], g, distance_range(*f.summaries[1], g), lo[1], hi[1]);
}

}  // namespace

FieldRange morph_range(const MorphBoundsFrame& f, const PointBox& box)
{
    const double t = f.t;
    if (t == 0.0) return distance_range(*f.summaries[0], box);
    if (t == 1.0) return distance_range(*f.summaries[1], box);
    const PointBox s = moved(box, f.warp_lo[0], f.warp_hi[0], 1.0);
    const PointBox g = moved(box, f.warp_lo[1], f.warp_hi[1], 1.0);
    double lo[2][3] = {}, hi[2][3] = {};
    if (!f.quick) shifts_of(f, s, g, lo, hi);
    return range_after_shifts(f, s, g, lo, hi);
}

BoxShift box_shift(const MorphBoundsFrame& f, const PointBox& box)
{
    const PointBox s = moved(box, f.warp_lo[0], f.warp_hi[0], 1.0);
    const PointBox g = moved(box, f.warp_lo[1], f.warp_hi[1], 1.0);
    double lo[2][3], hi[2][3];
    shifts_of(f, s, g, lo, hi);
    BoxShift out;
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < 3; ++a) outward_floats(lo[side][a], hi[side][a], &out.lo[side][a], &out.hi[side][a]);
    return out;
}

FieldRange shifted_range(const MorphBoundsFrame& f, const PointBox& box, const BoxShift& shift, FieldRange* reads)
{
    const PointBox s = moved(box, f.warp_lo[0], f.warp_hi[0], 1.0);
    const PointBox g = moved(box, f.warp_lo[1], f.warp_hi[1], 1.0);
    double lo[2][3], hi[2][3];
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < 3; ++a) {
            lo[side][a] = shift.lo[side][a];
            hi[side][a] = shift.hi[side][a];
        }
    return range_after_shifts(f, s, g, lo, hi, reads);
}

// [lo, hi] as floats that hold it.
void outward_floats(double lo, double hi, float* l, float* h)
{
    *l = static_cast<float>(lo);
    *h = static_cast<float>(hi);
    if (*l > lo) *l = std::nextafter(*l, -HUGE_VALF);
    if (*h < hi) *h = std::nextafter(*h, HUGE_VALF);
}

FieldRange all_times_range(const MorphBoundsFrame& f, const PointBox& box, const BoxShift& shift)
{
    PointBox s = moved(box, f.warp_lo[0], f.warp_hi[0], 1.0);
    PointBox g = moved(box, f.warp_lo[1], f.warp_hi[1], 1.0);
    if (!f.quick) {
        // The source's points move by -t times a shift, the target's by
        // (1 - t) times one: every such offset for t in [0, 1] lies between
        // 0 and the whole shift.
        double lo[2][3], hi[2][3];
        for (int side = 0; side < 2; ++side)
            for (int a = 0; a < 3; ++a) {
                lo[side][a] = std::min<double>(shift.lo[side][a], 0.0);
                hi[side][a] = std::max<double>(shift.hi[side][a], 0.0);
            }
        s = moved(s, lo[0], hi[0], -1.0);
        g = moved(g, lo[1], hi[1], 1.0);
    }
    const FieldRange a = distance_range(*f.summaries[0], s), b = distance_range(*f.summaries[1], g);
    // A blend of the two lies between them, give or take its rounding
    // (far below a unit), truncated toward zero.
    return {field_value(std::min(a.lo, b.lo) - 1.0), field_value(std::max(a.hi, b.hi) + 1.0)};
}

namespace {

// Spheres whose weights add up to at most this share of the surest weight
// are bounded together.
constexpr double FAR_SHARE = 1e-4;

// The spheres of one side that may weigh anything at points of q (gathered
// into near) and bounds on the total weight and shifts of the rest.
struct FarSpheres {
    double weight_lo = 0, weight_hi = 0;
    double shift_lo[3] = {0, 0, 0}, shift_hi[3] = {0, 0, 0};
};

FarSpheres cut_side(const LinkedSpheres& s, const PointBox& q, const FieldRange& depth_read, LinkedSpheres& near)
{
    FarSpheres far_spheres;
    near = LinkedSpheres{};
    if (s.count == 0) return far_spheres;
    std::vector<double> low, high;
    weight_ranges(s, q, depth_read, low, high);
    const double surest = *std::max_element(low.begin(), low.end());
    std::vector<int> order(s.count);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&high](int a, int b) { return high[a] < high[b]; });
    const double* shifts[3] = {s.sx.data(), s.sy.data(), s.sz.data()};
    double total = 0;
    size_t far = 0;
    for (; far < order.size() && total + high[order[far]] <= FAR_SHARE * surest; ++far) {
        const int i = order[far];
        total += high[i];
        far_spheres.weight_lo += low[i];
        for (int a = 0; a < 3; ++a) {
            const double v = shifts[a][i];
            far_spheres.shift_lo[a] = far == 0 ? v : std::min(far_spheres.shift_lo[a], v);
            far_spheres.shift_hi[a] = far == 0 ? v : std::max(far_spheres.shift_hi[a], v);
        }
    }
    far_spheres.weight_hi = total;
    std::vector<int> kept(order.begin() + static_cast<long>(far), order.end());
    std::sort(kept.begin(), kept.end());
    for (int i : kept) {
        near.x.push_back(s.x[i]);
        near.y.push_back(s.y[i]);
        near.z.push_back(s.z[i]);
        near.radius.push_back(s.radius[i]);
        near.sx.push_back(s.sx[i]);
        near.sy.push_back(s.sy[i]);
        near.sz.push_back(s.sz[i]);
    }
    near.count = kept.size();
    return far_spheres;
}

// The range of one side's displacement from the near spheres' own sums and
// the far ones' bounds.
void displacement_bounds(bool any_sphere, const SphereSum& near, const FarSpheres& far, double lo[3], double hi[3])
{
    const double sum[3] = {near.x, near.y, near.z};
    for (int a = 0; a < 3; ++a) {
        if (!any_sphere) {
            lo[a] = hi[a] = 0;
            continue;
        }
        if (far.weight_hi <= 0) {
            lo[a] = hi[a] = sum[a] / near.weight;
        } else {
            // Monotone in the far weight for either far value: try the ends.
            lo[a] = HUGE_VAL;
            hi[a] = -HUGE_VAL;
            for (double wf : {far.weight_lo, far.weight_hi})
                for (double v : {far.shift_lo[a], far.shift_hi[a]}) {
                    if (!(near.weight + wf > 0)) continue;
                    const double mean = (sum[a] + wf * v) / (near.weight + wf);
                    lo[a] = std::min(lo[a], mean);
                    hi[a] = std::max(hi[a], mean);
                }
            if (!(lo[a] <= hi[a])) lo[a] = far.shift_lo[a], hi[a] = far.shift_hi[a];
        }
        // Sums in another order round differently: a little room.
        const double room = 1e-6 + 1e-9 * (std::fabs(lo[a]) + std::fabs(hi[a]));
        lo[a] -= room;
        hi[a] += room;
    }
}

PointBox point_box(Vector3 p) { return padded(PointBox{{p.x, p.y, p.z}, {p.x, p.y, p.z}}); }

}  // namespace

void block_point_ranges(const MorphBoundsFrame& f, const PointBox& box, const Vector3* p, int n, FieldRange* ranges,
                        PointRangeScratch& w)
{
    const double t = f.t;
    const PointBox s_box = moved(box, f.warp_lo[0], f.warp_hi[0], 1.0);
    const PointBox g_box = moved(box, f.warp_lo[1], f.warp_hi[1], 1.0);
    const FarSpheres far_s = cut_side(*f.linked[0], s_box, distance_range(*f.summaries[0], s_box), w.near[0]);
    const FarSpheres far_g = cut_side(*f.linked[1], g_box, distance_range(*f.summaries[1], g_box), w.near[1]);
    const size_t count = static_cast<size_t>(n);
    w.s.resize(count);
    w.g.resize(count);
    w.ds.resize(count);
    w.dg.resize(count);
    w.sums[0].resize(count);
    w.sums[1].resize(count);
    for (int k = 0; k < n; ++k) {
        warp_point(f.vectors, p[k], t, &w.s[k], &w.g[k]);
        w.ds[k] = sample_distance_whole_xz(f.summaries[0]->field, w.s[k].x, w.s[k].y, w.s[k].z);
        w.dg[k] = sample_distance_whole_xz(f.summaries[1]->field, w.g[k].x, w.g[k].y, w.g[k].z);
    }
    sphere_sums(w.near[0], w.s.data(), w.ds.data(), n, w.sums[0].data());
    sphere_sums(w.near[1], w.g.data(), w.dg.data(), n, w.sums[1].data());
    for (int k = 0; k < n; ++k) {
        double lo[3], hi[3];
        displacement_bounds(f.linked[0]->count > 0, w.sums[0][k], far_s, lo, hi);
        const PointBox s_moved = moved(point_box(w.s[k]), lo, hi, -t);
        displacement_bounds(f.linked[1]->count > 0, w.sums[1][k], far_g, lo, hi);
        const PointBox g_moved = moved(point_box(w.g[k]), lo, hi, 1 - t);
        const FieldRange a = distance_range(*f.summaries[0], s_moved), b = distance_range(*f.summaries[1], g_moved);
        ranges[k] = {field_value((1 - t) * a.lo + t * b.lo), field_value((1 - t) * a.hi + t * b.hi)};
    }
}

}  // namespace kestrane
