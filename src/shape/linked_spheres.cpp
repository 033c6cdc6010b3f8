#include "shape/linked_spheres.h"

namespace kestrane {
LinkedSpheres linked_spheres(const SphereSet& set)
{
    LinkedSpheres out;
    for (size_t i = 0; i < set.count; ++i) {
        const Sphere& s = set.spheres[i];
        if (s.linked != 1) continue;
        out.x.push_back(s.x);
        out.y.push_back(s.y);
        out.z.push_back(s.z);
        out.radius.push_back(s.radius);
        out.sx.push_back(set.shifts[i].x);
        out.sy.push_back(set.shifts[i].y);
        out.sz.push_back(set.shifts[i].z);
    }
    out.count = out.x.size();
    return out;
}

}  // namespace kestrane
