#pragma once
#include "input/vector3.h"

// Positions in the source and target volumes that correspond to p at time t
// under the manual vectors.
void warp_point(Vector3 p, double t, Vector3* source_point, Vector3* target_point);
// Links source and target spheres and sets their shifts. 0 done, 1 no memory.
int correspond_spheres();
