#pragma once
// One shape of the morph as a volume: where the surface was placed in the
// grid, its voxels, and its inscribed spheres with their displacements.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/records.h"
#include "base/vector3.h"
#include "base/volume_field.h"

namespace kestrane {
struct Volume {
    Vector3 centre{0, 0, 0};  // surface point placed at the grid centre
    double scale = 0;          // voxels per surface unit
    // The voxels while the volume is converted and transformed; then its
    // field, split from them, and the voxels are released.
    std::unique_ptr<Voxel[]> voxels;
    VolumeField field;
    int32_t sphere_count = 0;
    std::vector<Sphere> spheres;       // empty: no sphere array
    std::vector<Vector3> sphere_shift; // one displacement per sphere
};

}  // namespace kestrane
