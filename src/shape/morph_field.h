#pragma once
#include <cstdint>

#include "input/vector3.h"

// Displacement of the linked spheres of volume v at q (d = sample_distance at q).
// Returns 1 when a linked sphere contributed, else 0 with (0, 0, 0).
int sphere_displacement(int v, Vector3 q, int16_t d, Vector3* displacement);
// Field value (-31999..31999, positive inside) and colour of the frame at time t.
int16_t morph_sample(Vector3 p, double t, uint32_t* colour);
// Colour word of volume v at a real voxel position.
uint32_t sample_colour(int v, double x, double y, double z);
// Per colour byte: trunc((1 - t) b + t a), bytes read as signed 8-bit; flag from b.
uint32_t blend_colour(double t, uint32_t a, uint32_t b);
