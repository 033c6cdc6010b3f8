#pragma once
// The morph field of one frame: the two distance fields warped by the manual
// vectors and, unless quick morphing, displaced by the linked spheres, then
// blended by the frame's time.
//
// Everything here reads a MorphInputs that the caller keeps alive and
// unchanged while frames are built; nothing is written, so any number of
// threads may sample the same inputs at once. Cost of morph_sample: the
// manual vectors once, and for a sphere-based morph every sphere of both
// sides twice.
#include <cstddef>
#include <cstdint>

#include "base/records.h"
#include "base/vector3.h"
#include "base/voxel_grid.h"

namespace kestrane {
// The spheres of one side with one shift each (count is the number of both).
struct SphereSet {
    const Sphere* spheres = nullptr;
    const Vector3* shifts = nullptr;
    size_t count = 0;
};

struct VectorSet {
    const CorrespondenceVector* vectors = nullptr;
    size_t count = 0;
};

struct FieldSummary;

struct MorphInputs {
    FieldView fields[2];     // source and target distance fields (with colours)
    // Block summaries of the two fields (field_summary.h), for bounds that
    // let a frame skip exact values far from the surface; null: none.
    const FieldSummary* summaries = nullptr;
    SphereSet spheres[2];    // source and target spheres with their shifts
    VectorSet vectors;       // the manual correspondence vectors
    bool quick_morph = false;
};

// Displacement of the linked spheres at q (d = the side's sample_distance at
// q). Returns 1 when a linked sphere contributed, else 0 with (0, 0, 0).
int sphere_displacement(const SphereSet& spheres, Vector3 q, int16_t d, Vector3* displacement);
// Field value (-31999..31999, positive inside) and colour of the frame at time t.
int16_t morph_sample(const MorphInputs& inputs, Vector3 p, double t, uint32_t* colour);
// Colour word of a volume at a real voxel position (white without voxels).
uint32_t sample_colour(const FieldView& field, double x, double y, double z);
// Per colour byte: trunc((1 - t) b + t a), bytes read as signed 8-bit; flag from b.
uint32_t blend_colour(double t, uint32_t a, uint32_t b);

}  // namespace kestrane
