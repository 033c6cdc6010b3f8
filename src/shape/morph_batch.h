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

// The two halves of morph_samples for a sphere-based frame between its ends
// without manual vectors. There the linked spheres move a lattice point by
// the same displacement at every time (the shifts and distance reads do not
// depend on t), so frames may keep it and reuse it: morph_displacements
// gives the displacements of both sides (source[k], target[k]), and
// morph_displaced finishes the samples from them, bit for bit as
// morph_samples (values and colours separately when a caller needs only the
// values first).
bool displacements_shared(const MorphInputs& inputs);
// One term of morph_sample's blend at each point of a sphere-based frame
// between its ends, as it computes it, for side 0 (the source's: 1 - t
// times its distance) or 1 (the target's: t times its distance): the term
// (parts[k]) where the vectors and the side's spheres take p[k] (moved[k]);
// and where the vectors take p[k] on the other side, before its spheres
// move it (others[k]). With a bound on the other side's read
// (morph_bounds.h) a point's sign may follow without that side's spheres.
// morph_other_parts finishes the others' values from them, bit for bit as
// morph_samples, and gives where the other side's spheres take them
// (moved_others[k]); morph_colours_between gives their colours from the
// moved source and target points, as morph_samples.
void morph_side_parts(const MorphFrame& frame, int side, const Vector3* p, int n, double* parts, Vector3* moved,
                      Vector3* others, MorphBatch& scratch);
void morph_other_parts(const MorphFrame& frame, int known, const double* parts, const Vector3* others, int n,
                       int16_t* values, Vector3* moved_others, MorphBatch& scratch);
void morph_colours_between(const MorphFrame& frame, const Vector3* source_points, const Vector3* moved_targets, int n,
                           uint32_t* colours);
void morph_displacements(const MorphFrame& frame, const Vector3* p, int n, Vector3* source, Vector3* target,
                         MorphBatch& scratch);
void morph_displaced(const MorphFrame& frame, const Vector3* p, const Vector3* source, const Vector3* target, int n,
                     int16_t* values, uint32_t* colours);
void morph_displaced_values(const MorphFrame& frame, const Vector3* p, const Vector3* source, const Vector3* target,
                            int n, int16_t* values);
void morph_displaced_colours(const MorphFrame& frame, const Vector3* p, const Vector3* source, const Vector3* target,
                             int n, uint32_t* colours);

}  // namespace kestrane
