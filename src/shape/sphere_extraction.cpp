#include "shape/sphere_extraction.h"

#include <new>

#include "core/app_state.h"
#include "core/status.h"
#include "shape/sphere_candidates.h"

namespace {

void release_spheres(Volume& volume)
{
    volume.sphere_count = 0;
    std::vector<Sphere>().swap(volume.spheres);
    std::vector<Vector3>().swap(volume.sphere_shift);
}

}  // namespace

int extract_spheres(int v) { return extract_spheres_with(v, SphereExtractionOptions{}); }

int extract_spheres_with(int v, const SphereExtractionOptions& options)
{
    Volume& volume = app.volumes[v];
    release_spheres(volume);

    CandidateList list;
    list.capacity_limit = options.candidate_capacity_limit;
    if (!list.grow()) return 1;

    int nx = app.volume_dims[0], ny = app.volume_dims[1], nz = app.volume_dims[2];
    // Without a grid there is nothing inside, so no candidate.
    if (volume.voxels && nx >= 3 && ny >= 3 && nz >= 3 &&
        !scan_candidates(volume.voxels.get(), nx, ny, nz, list)) {
        list = CandidateList{};
        show_warning("Too many spheres - using simple interpolation");
        app.quick_morph = true;
        return 0;
    }

    if (options.direct_selection) select_spheres_direct(list, app.locality);
    else select_spheres_grid(list, app.locality);

    size_t chosen = 0;
    for (size_t i = 0; i < list.count; ++i)
        if (list[i].linked == CANDIDATE_CHOSEN) ++chosen;
    try {
        volume.spheres.reserve(chosen);
        for (size_t i = 0; i < list.count; ++i) {
            if (list[i].linked != CANDIDATE_CHOSEN) continue;
            Sphere s = list[i];
            s.linked = 0;
            volume.spheres.push_back(s);
        }
    } catch (const std::bad_alloc&) {
        release_spheres(volume);
        return 2;
    }
    list = CandidateList{};
    if (volume.spheres.empty()) return 3;
    try {
        volume.sphere_shift.resize(volume.spheres.size());
    } catch (const std::bad_alloc&) {
        release_spheres(volume);
        return 4;
    }
    volume.sphere_count = static_cast<int32_t>(volume.spheres.size());
    return 0;
}
