#pragma once
// Correspondence between the shapes: the warp of the manual vectors and the
// automatic links between source and target spheres.
//
// warp_point only reads; correspond_spheres rewrites the link flags and
// shifts of both sphere arrays (which the caller owns) and costs one warp
// and one distance read per sphere plus a pass over every source-target pair.
#include <cstdint>

#include "base/volume.h"
#include "base/vector3.h"
#include "base/voxel_grid.h"
#include "shape/morph_field.h"

namespace kestrane {
// Positions in the source and target volumes that correspond to p at time t
// under the vectors.
void warp_point(const VectorSet& vectors, Vector3 p, double t, Vector3* source_point, Vector3* target_point);

// Links source and target spheres and sets their shifts (in voxels); fields
// are the two distance fields. 0 done, 1 no memory (links then cleared).
int correspond_spheres(Volume& source, Volume& target, const FieldView fields[2], const VectorSet& vectors,
                       double strength);

}  // namespace kestrane
