#pragma once
// The displacement of many points by the linked spheres of one side, several
// points at a time in vector lanes. Each lane runs the very operations of
// sphere_displacement in the same order (no reassociation, no fused
// multiply-add), so every result is bit-identical to it; sphere_displacement
// stays the reference the tests compare with.
//
// The widest instruction set the processor has is chosen at run time; tests
// and benchmarks may ask for a narrower one. Cost: points x linked spheres.
#include <cstdint>

#include "base/vector3.h"
#include "shape/linked_spheres.h"

namespace kestrane {
// For points q[0..n) with distance samples d[0..n) (as sphere_displacement
// takes them): the displacements ((0, 0, 0) where no linked sphere contributed).
void sphere_displacements(const LinkedSpheres& spheres, const Vector3* q, const int16_t* d, int n,
                          Vector3* displacement);

// The sums themselves: the total weight and the weighted shifts, before the
// division (all 0 without spheres).
struct SphereSum {
    double weight, x, y, z;
};
void sphere_sums(const LinkedSpheres& spheres, const Vector3* q, const int16_t* d, int n, SphereSum* sums);

// The ways the sums can run: one point at a time, and eight lanes in
// 128-, 256- or 512-bit vectors.
enum class SumsPath { Plain, Sse2, Avx2, Avx512 };

// The widest path this processor runs.
SumsPath widest_sums_path();
// The path in use (the widest unless a test or benchmark chose another).
SumsPath current_sums_path();
// Uses path from now on, in the whole process (held to what the processor
// runs); returns the previous one. For tests and benchmarks: every path
// gives the same sums, bit for bit.
SumsPath use_sums_path(SumsPath path);

}  // namespace kestrane
