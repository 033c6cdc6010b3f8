#pragma once
// What the viewer writes as it shows the morph: the end surfaces when they
// are built and each side's spheres when they are shown, in the chosen
// frame format (nothing when output is off). The drawing layer asks for the
// meshes here and only draws them.
#include "surface/mesh.h"

using namespace kestrane;

// Frame `frame` (0 or the last) built, and written when output is on.
void build_end_surface_mesh(int frame, SurfaceMesh* mesh);
// The sphere file of side 0 (source) or 1 (target), when output is on.
void save_sphere_file(int side);
