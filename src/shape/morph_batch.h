#pragma once
// The morph field at many points of one frame at once: the same values and
// colours as morph_sample at each point, bit for bit, with the sphere sums
// done several points at a time (sphere_sums.h).
//
// Reads only its inputs (safe on several threads at once with a batch each).
// Cost: per point two to four distance and two colour reads, and for a
// sphere-based morph between t = 0 and 1 the linked spheres of both sides.
#include <cstdint>
#include <vector>

#include "shape/linked_spheres.h"
#include "shape/morph_field.h"

namespace kestrane {
// What every batch of a frame shares: the inputs, the frame's time and the
// linked spheres of both sides.
struct MorphFrame {
    const MorphInputs* inputs = nullptr;
    double t = 0;
    LinkedSpheres linked[2];
};

MorphFrame morph_frame(const MorphInputs& inputs, double t);

// Scratch of one batch, kept between calls to save allocations.
struct MorphBatch {
    std::vector<Vector3> s, g, vs, vg;
    std::vector<int16_t> ds, dg;
};

// values[k], colours[k] = morph_sample(frame.inputs, p[k], frame.t).
void morph_samples(const MorphFrame& frame, const Vector3* p, int n, int16_t* values, uint32_t* colours,
                   MorphBatch& scratch);

}  // namespace kestrane
