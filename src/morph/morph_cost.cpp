#include "morph/morph_cost.h"

#include <algorithm>
#include <cstdio>

#include "morph/load_memory.h"
#include "morph/morph_state.h"

namespace kestrane {

namespace {

// Lattice points near the surfaces (near_fraction) times linked spheres per
// second of one thread, over a sequence whose frames share displacements
// and bounds: for the armadillo to the bunny about 9.5e8 at 128 points on
// one thread, 1.4e9 at 256 and 1.3e9 at 512 on two (2026-12-10). A little
// below the slow end is taken, so the estimate errs long.
constexpr double SAMPLES_PER_SECOND = 9.0e8;
// A sequence longer than this is worth a word before it starts.
constexpr double LARGE_SECONDS = 60.0;

// Voxels of one side converted, transformed and searched for spheres per
// second of one thread: about 1e7 for the armadillo and the bunny at 64 to
// 128 points, taken a little low.
constexpr double VOXELS_PER_SECOND = 8.0e6;

double linked_spheres(const Volume& v)
{
    double n = 0;
    for (const Sphere& s : v.spheres) n += s.linked == 1;
    return n;
}

// The share of the grid near either surface, or between them, where a
// frame's values are worked out exactly: blocks of 4 voxels whose ranges in
// either field come within NEAR_DISTANCE of zero, or whose two fields keep
// opposite signs. 1 without the fields' summaries.
constexpr int NEAR_DISTANCE = 4 * 22;  // about 4 voxels of distance units

double near_fraction(const MorphState& morph)
{
    const FieldSummary* s = morph.summaries;
    const FieldLevel* four[2] = {blocks_of_four(s[0]), blocks_of_four(s[1])};
    if (!s[0].usable || !s[1].usable || !four[0] || !four[1]) return 1.0;
    const FieldLevel& a = *four[0];
    const FieldLevel& b = *four[1];
    if (a.count() != b.count() || a.count() == 0) return 1.0;
    size_t near = 0;
    for (size_t i = 0; i < a.count(); ++i) {
        const int alo = a.data()[2 * i], ahi = a.data()[2 * i + 1], blo = b.data()[2 * i], bhi = b.data()[2 * i + 1];
        const bool near_a = alo <= NEAR_DISTANCE && ahi >= -NEAR_DISTANCE;
        const bool near_b = blo <= NEAR_DISTANCE && bhi >= -NEAR_DISTANCE;
        const bool between = (alo > 0 && bhi < 0) || (ahi < 0 && blo > 0);
        near += near_a || near_b || between;
    }
    return static_cast<double>(near) / a.count();
}

}  // namespace

MorphCost morph_cost(const MorphState& morph)
{
    MorphCost cost;
    const MorphParameters& p = morph.parameters;
    if (p.quick_morph) return cost;
    const double points = static_cast<double>(morph.sample_grid_dims[0]) * morph.sample_grid_dims[1] *
                          morph.sample_grid_dims[2] / 2;  // body-centred: every other point
    cost.samples_per_frame = points * (linked_spheres(morph.volumes[0]) + linked_spheres(morph.volumes[1]));
    cost.near_fraction = near_fraction(morph);
    cost.seconds_per_frame =
        cost.samples_per_frame * cost.near_fraction / (SAMPLES_PER_SECOND * std::max<int>(worker_threads(p), 1));
    const int middle_frames = p.frame_count > 2 ? p.frame_count - 2 : 0;
    cost.seconds = cost.seconds_per_frame * middle_frames;
    cost.large = cost.seconds > LARGE_SECONDS;
    return cost;
}

LoadCost load_cost(const MorphState& morph)
{
    LoadCost cost;
    const MorphParameters& p = morph.parameters;
    cost.bytes = load_memory_bytes(load_layout(morph, frames_that_fit(morph, worker_threads(p))));
    const double voxels = static_cast<double>(morph.volume_dims[0]) * morph.volume_dims[1] * morph.volume_dims[2];
    // The two sides load at once when there are two threads.
    const int sides_at_once = worker_threads(p) > 1 ? 2 : 1;
    cost.seconds = (p.quick_morph ? 0.5 : 1.0) * 2 * voxels / (VOXELS_PER_SECOND * sides_at_once);
    return cost;
}

std::string rough_duration(double seconds)
{
    char text[64];
    if (seconds < 90)
        std::snprintf(text, sizeof text, "about %.0f s", seconds);
    else if (seconds < 90 * 60)
        std::snprintf(text, sizeof text, "about %.0f min", seconds / 60);
    else
        std::snprintf(text, sizeof text, "about %.1f h", seconds / 3600);
    return text;
}

}  // namespace kestrane
