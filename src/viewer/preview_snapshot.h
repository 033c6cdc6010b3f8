#pragma once
// What a preview frame of the morph reads, taken on the interface thread.
// The spheres, their shifts and the manual vectors change under the keys and
// the mouse while a preview is being built, so the snapshot holds copies of
// them; the two fields and their summaries change only at a reload, which
// stops the preview first (stop_background_work), so it points at those.
#include <memory>
#include <vector>

#include "base/records.h"
#include "base/vector3.h"
#include "morph/morph_state.h"
#include "shape/morph_field.h"
#include "surface/frame_generation.h"

using namespace kestrane;

struct PreviewSnapshot {
    std::vector<Sphere> spheres[2];
    std::vector<Vector3> shifts[2];
    std::vector<CorrespondenceVector> vectors;
    // Fields and summaries into the morph; spheres and vectors into the copies.
    MorphInputs inputs;
    // Both at the snapshot's time; no cancel flag and no progress (the
    // scheduler sets the flag). coarse is left out (has_coarse false) when
    // it would be no coarser than fine.
    FrameRequest coarse;
    FrameRequest fine;
    bool has_coarse = false;
    double time = 0.5;

    PreviewSnapshot() = default;
    PreviewSnapshot(const PreviewSnapshot&) = delete;  // inputs point into this one
    PreviewSnapshot& operator=(const PreviewSnapshot&) = delete;
};

// The lattice step of the coarse preview frame: coarse_factor times the
// loaded resolution, at most 8 (the resolution's own range) unless the loaded
// one is coarser already.
int coarse_resolution(int loaded_resolution, int coarse_factor);

// The morph at `time` in [0, 1], frames on `threads` threads each.
std::shared_ptr<const PreviewSnapshot> take_preview_snapshot(const MorphState& morph, double time,
                                                             int coarse_factor, int threads);
