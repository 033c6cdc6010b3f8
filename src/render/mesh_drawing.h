#pragma once
// A mesh vertex in the units and ranges the display lists draw it in.
#include "surface/mesh.h"

using namespace kestrane;

// A mesh vertex as the display lists draw it: position in world units
// (view_scale * c / 64), unit normal, colour components 0..1.
struct DrawVertex {
    float position[3];
    float normal[3];
    float colour[3];
};

DrawVertex draw_vertex(const MeshVertex& v, float view_scale);
