#pragma once
// The sphere displacements a morph's frames share (displacement_cache.h),
// kept with the MorphState from frame to frame and sequence to sequence. The
// cache is keyed by everything a displacement reads: the voxel arrays (by
// generation), the spheres with their links and shifts, and the lattice; a
// frame whose inputs differ from the key gets a fresh cache, so a change
// anywhere (a reload, new spheres, links or shifts, another resolution)
// never reads a stale one.
#include <memory>

#include "morph/morph_state.h"
#include "surface/displacement_cache.h"

namespace kestrane {
// The cache for frames of `inputs` (the state's own) over `lattice`; null
// when the morph has no shared displacements (quick morphing, manual
// vectors) or no memory for one. Safe from any thread.
std::shared_ptr<DisplacementCache> frame_displacements(MorphState& morph, const MorphInputs& inputs,
                                                       const LatticeField& lattice);
// Frees the cache (the frames that hold it keep theirs until they finish).
void drop_displacements(MorphState& morph);

}  // namespace kestrane
