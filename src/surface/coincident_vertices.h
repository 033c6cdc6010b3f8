#pragma once
// Mesh coordinates are whole 1/64 voxels, so two vertices of neighbouring
// edges that lie within 1/64 voxel of each other can land on the same
// point, and the two triangles between them have no area. Such a pair is
// joined into one vertex (the first one's normal and colour) where they
// share an edge and joining keeps the surface manifold: their common
// neighbours are exactly the two triangles' third corners and no triangle
// of one would land on a triangle of the other. Those two
// triangles go; every other triangle keeps its corners and orientation.
//
// Cost: a sort of the vertex positions, and for each coincident pair a look
// at the triangles around it. Returns the number of vertices joined; the
// mesh's vertices are renumbered only when one was.
#include "surface/mesh.h"

namespace kestrane {
long join_coincident_vertices(SurfaceMesh& mesh);

}  // namespace kestrane
