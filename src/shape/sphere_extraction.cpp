#include "shape/sphere_extraction.h"

#include <new>

#include "shape/sphere_candidates.h"

namespace kestrane {
ExtractionStatus extract_spheres(const FieldView& field, double locality, std::vector<Sphere>* spheres,
                                 const SphereExtractionOptions& options)
{
    std::vector<Sphere>().swap(*spheres);

    CandidateList list;
    list.capacity_limit = options.candidate_capacity_limit;
    if (!list.grow()) return EXTRACT_NO_CANDIDATE_MEMORY;

    const int nx = field.nx, ny = field.ny, nz = field.nz;
    // Without a grid there is nothing inside, so no candidate.
    if (field.present() && nx >= 3 && ny >= 3 && nz >= 3 && !scan_candidates(field, list))
        return EXTRACT_OVERFLOW;

    if (options.direct_selection) select_spheres_direct(list, locality);
    else select_spheres_grid(list, locality);

    size_t chosen = 0;
    for (size_t i = 0; i < list.count; ++i)
        if (list[i].linked == CANDIDATE_CHOSEN) ++chosen;
    try {
        spheres->reserve(chosen);
        for (size_t i = 0; i < list.count; ++i) {
            if (list[i].linked != CANDIDATE_CHOSEN) continue;
            Sphere s = list[i];
            s.linked = 0;
            spheres->push_back(s);
        }
    } catch (const std::bad_alloc&) {
        std::vector<Sphere>().swap(*spheres);
        return EXTRACT_NO_LIST_MEMORY;
    }
    return spheres->empty() ? EXTRACT_NONE_FOUND : EXTRACT_DONE;
}

}  // namespace kestrane
