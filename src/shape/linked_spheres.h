#pragma once
// The linked spheres of one side laid out for streaming: one array per
// field, in the order of the sphere array, the unlinked ones left out (the
// displacement sums skip them anyway). Built once per frame from a SphereSet.
#include <cstddef>
#include <vector>

#include "shape/morph_field.h"

namespace kestrane {
struct LinkedSpheres {
    std::vector<double> x, y, z;     // centre voxel
    std::vector<double> radius;      // distance units
    std::vector<double> sx, sy, sz;  // the sphere's shift
    size_t count = 0;
};

LinkedSpheres linked_spheres(const SphereSet& spheres);

}  // namespace kestrane
