#pragma once
// Whether a triangle mesh is a closed, consistently oriented, edge-manifold
// surface: every edge in exactly two triangles, once in each direction.
// Cost: three keys per triangle, counted into one bucket per vertex and
// each bucket sorted.
#include <cstdint>
#include <vector>

#include "surface/mesh.h"

namespace kestrane {
// The vertices at the ends of every edge that breaks the rule, each once, in
// increasing order; empty for a sound mesh.
std::vector<int32_t> unsound_vertices(const std::vector<MeshTriangle>& triangles);
// The same by one sort of all the keys: the reference the tests hold it to.
std::vector<int32_t> unsound_vertices_direct(const std::vector<MeshTriangle>& triangles);

}  // namespace kestrane
