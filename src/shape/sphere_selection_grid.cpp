#include "shape/sphere_candidates.h"

void select_spheres_grid(CandidateList& list, double locality)
{
    select_spheres_direct(list, locality);
}
