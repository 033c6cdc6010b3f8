#pragma once
#include "surface/lattice_walk.h"
#include "surface/mesh.h"

// Triangulates frame `frame` (0..frame_count-1) of the morph into mesh.
// 0 success, 1 no slice buffer, 101 triangle storage ran out, 102 point
// storage ran out, 40 / 41 no memory for the flat vertex / triangle array.
int triangulate_frame(SurfaceMesh* mesh, int frame);

// The same with the regularisation switched on or off (off: plain marching
// tetrahedra, for comparisons).
int triangulate_frame_with(SurfaceMesh* mesh, int frame, bool regularise);

// The lattice counts, step and mesh origin of the current volumes, without a sampler.
LatticeField frame_lattice();
