#pragma once
#include "surface/mesh.h"

// Triangulates frame `frame` (0..frame_count-1) of the morph into mesh.
// 0 success, 1 no slice buffer, 101 triangle storage ran out,
// 40 / 41 no memory for the flat vertex / triangle array.
int triangulate_frame(SurfaceMesh* mesh, int frame);
