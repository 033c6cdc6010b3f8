#include "viewer/preview_snapshot.h"

#include <algorithm>

#include "base/lattice_geometry.h"

using namespace kestrane;

int coarse_resolution(int loaded_resolution, int coarse_factor)
{
    const int loaded = std::max(1, loaded_resolution);
    return std::max(loaded, std::min(8, loaded * std::max(1, coarse_factor)));
}

namespace {

FrameRequest preview_request(const PreviewSnapshot& snapshot, LatticeField lattice, int threads)
{
    FrameRequest request;
    request.inputs = &snapshot.inputs;
    request.lattice = lattice;
    request.time = snapshot.time;
    request.threads = std::max(1, threads);
    return request;
}

}  // namespace

std::shared_ptr<const PreviewSnapshot> take_preview_snapshot(const MorphState& morph, double time,
                                                             int coarse_factor, int threads)
{
    auto snapshot = std::make_shared<PreviewSnapshot>();
    PreviewSnapshot& s = *snapshot;
    s.time = std::min(1.0, std::max(0.0, time));
    s.inputs = morph_inputs(morph);
    for (int side = 0; side < 2; ++side) {
        const Volume& v = morph.volumes[side];
        const size_t count = s.inputs.spheres[side].count;
        s.spheres[side].assign(v.spheres.begin(), v.spheres.begin() + static_cast<std::ptrdiff_t>(count));
        s.shifts[side].assign(v.sphere_shift.begin(), v.sphere_shift.begin() + static_cast<std::ptrdiff_t>(count));
        s.inputs.spheres[side] = {s.spheres[side].data(), s.shifts[side].data(), count};
    }
    s.vectors = morph.vectors;
    s.inputs.vectors = {s.vectors.data(), s.vectors.size()};

    const LatticeField fine = morph_lattice(morph);
    s.fine = preview_request(s, fine, threads);
    const int coarse = coarse_resolution(morph.loaded_resolution, coarse_factor);
    int dims[3] = {morph.volume_dims[0], morph.volume_dims[1], morph.volume_dims[2]};
    int counts[3];
    if (coarse > fine.resolution && lattice_counts(dims, coarse, counts)) {
        const int16_t lattice[3] = {static_cast<int16_t>(counts[0]), static_cast<int16_t>(counts[1]),
                                    static_cast<int16_t>(counts[2])};
        s.coarse = preview_request(s, frame_lattice(morph.volume_dims, lattice, coarse), threads);
        s.has_coarse = true;
    }
    return snapshot;
}
