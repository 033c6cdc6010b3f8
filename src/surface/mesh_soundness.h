#pragma once
// Whether a triangle mesh is a closed, consistently oriented, edge-manifold
// surface: every edge in exactly two triangles, once in each direction.
// Cost: a sort of three keys per triangle.
#include <cstdint>
#include <vector>

#include "surface/mesh.h"

namespace kestrane {
// The vertices at the ends of every edge that breaks the rule, each once, in
// increasing order; empty for a sound mesh.
std::vector<int32_t> unsound_vertices(const std::vector<MeshTriangle>& triangles);

}  // namespace kestrane
