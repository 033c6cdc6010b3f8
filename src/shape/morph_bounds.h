#pragma once
// Certified bounds of the morph field over a box of points at one time:
// every value morph_sample gives at a point of the box lies in the range.
// Far from the surface the range has one sign, and the exact value is not
// needed to know on which side of the surface the points lie.
//
// The bound follows morph_sample step by step with boxes instead of points:
// the manual vectors move a point by a weighted mean of their offsets, so
// within the box of those offsets; each side's spheres move it by a weighted
// mean of their shifts, whose weights 1 / (e^2 + 100) are bounded for the
// box through e's range, which bounds the mean per axis; the distance reads
// over the moved boxes come from the field summaries.
//
// Prepared once per frame (sorting the shifts); then each bound only reads.
// Cost of a bound: a pass over the linked spheres of both sides.
#include <vector>

#include "shape/field_summary.h"
#include "shape/field_value.h"
#include "shape/linked_spheres.h"
#include "shape/morph_field.h"
#include "shape/sphere_sums.h"

namespace kestrane {
// Where the linked spheres of each side can move points, per axis, as floats.
struct BoxShift {
    float lo[2][3], hi[2][3];
};

struct MorphBoundsFrame {
    const FieldSummary* summaries[2] = {nullptr, nullptr};
    double t = 0;
    bool quick = true;
    VectorSet vectors;
    double warp_lo[2][3], warp_hi[2][3];  // where the vectors move a point, per side
    const LinkedSpheres* linked[2] = {nullptr, nullptr};
    // Per side and axis, the linked spheres by increasing shift.
    std::vector<int> by_shift[2][3];
    // Where the spheres can move any point at all: a displacement is a
    // weighted mean of its side's shifts (or none), so it lies within their
    // range and 0's. Far from both surfaces this settles a box without a
    // pass over the spheres.
    BoxShift any_shift;
};

// summaries: of the two fields; linked: the linked spheres of both sides
// (kept alive by the caller, as the MorphFrame of the same frame holds them).
MorphBoundsFrame morph_bounds_frame(const MorphInputs& inputs, const FieldSummary summaries[2],
                                    const LinkedSpheres linked[2], double t);

// The range of morph_sample over the box at the frame's time.
FieldRange morph_range(const MorphBoundsFrame& frame, const PointBox& box);

// The spheres' part of morph_range: where the linked spheres of each side
// can move the points of a box, rounded outward to floats. Without manual
// vectors it does not depend on the frame's time, so the frames of a
// sequence may compute it once per box and keep it (for a sphere-based
// frame between the ends).
BoxShift box_shift(const MorphBoundsFrame& frame, const PointBox& box);
// A range of morph_sample over the box from its shift (possibly wider than
// morph_range's, never narrower than the values). With reads, for a
// sphere-based frame: where each side's field is read at the box's points
// (reads[0] the source's, reads[1] the target's), the range of its
// distances over the box moved by the vectors and by its side's shift.
FieldRange shifted_range(const MorphBoundsFrame& frame, const PointBox& box, const BoxShift& shift,
                         FieldRange* reads = nullptr);
// The range of morph_sample at a point from one term of its blend, exactly
// as it computes it (morph_side_parts, side `known`), and a range of the
// other side's read there: the blend and its rounding are monotone in the
// read.
inline FieldRange blend_with_read(double t, int known, double part, const FieldRange& other_read)
{
    if (known == 0) return {field_value(part + t * other_read.lo), field_value(part + t * other_read.hi)};
    return {field_value((1 - t) * other_read.lo + part), field_value((1 - t) * other_read.hi + part)};
}
// [lo, hi] as floats that hold it: each end rounded outward.
void outward_floats(double lo, double hi, float* l, float* h);
// The same at every time strictly between the ends at once, for a box whose
// shift holds at every time (the displacements do not depend on it without
// manual vectors): with a unit of room for the blend's rounding, so that a
// sign it proves holds for every frame of a sequence.
FieldRange all_times_range(const MorphBoundsFrame& frame, const PointBox& box, const BoxShift& shift);

// Tighter ranges point by point near the surface, for a sphere-based frame
// between its ends. Over a block the spheres of each side split into the
// few that may weigh anything and the rest, whose weights are bounded so
// tightly that together they move a point by almost nothing; a point's range
// then costs its warp, two distance reads and the weights of the few (in
// vector lanes, as the exact sums).
struct PointRangeScratch {
    LinkedSpheres near[2];
    std::vector<Vector3> s, g;
    std::vector<int16_t> ds, dg;
    std::vector<SphereSum> sums[2];
};

// ranges[k]: the range of morph_sample at p[k], every point inside box.
void block_point_ranges(const MorphBoundsFrame& frame, const PointBox& box, const Vector3* p, int n,
                        FieldRange* ranges, PointRangeScratch& scratch);

}  // namespace kestrane
