#include "shape/distance_transform.h"
#include "shape/sphere_candidates.h"

namespace kestrane {
void select_spheres_direct(CandidateList& list, double locality)
{
    for (size_t round = 0; round < list.count; ++round) {
        size_t best = list.count;
        for (size_t i = 0; i < list.count; ++i) {
            const Sphere& c = list[i];
            if (c.linked == CANDIDATE_OPEN && (best == list.count || c.radius > list[best].radius)) best = i;
        }
        if (best == list.count) return;
        Sphere& chosen = list[best];
        chosen.linked = CANDIDATE_CHOSEN;
        double reach = chosen.radius * locality;
        for (size_t i = 0; i < list.count; ++i) {
            Sphere& c = list[i];
            if (c.linked != CANDIDATE_OPEN) continue;
            if (chamfer_length(c.x - chosen.x, c.y - chosen.y, c.z - chosen.z) < reach)
                c.linked = CANDIDATE_SUPPRESSED;
        }
    }
}

}  // namespace kestrane
