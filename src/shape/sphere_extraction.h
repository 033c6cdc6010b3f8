#pragma once
// Sphere extraction: the inscribed spheres that describe a shape, chosen
// among the ridge voxels of its distance field by decreasing radius, each
// suppressing the candidates within `locality` times its radius.
//
// Reads the field, allocates the candidate list in blocks (freed before
// returning) and fills *spheres (replaced, shifts are the caller's).
// Cost: one pass over the voxels plus the selection, near-linear in the
// candidates.
#include <cstddef>
#include <vector>

#include "base/records.h"
#include "base/voxel_grid.h"

namespace kestrane {
enum ExtractionStatus {
    EXTRACT_DONE = 0,
    EXTRACT_NO_CANDIDATE_MEMORY = 1,  // not even one block of candidates
    EXTRACT_NO_LIST_MEMORY = 2,       // no memory for the chosen spheres
    EXTRACT_NONE_FOUND = 3,           // no sphere at all
    EXTRACT_OVERFLOW = 5,             // the candidates outgrew memory: morph without spheres
};

// Knobs for tests and benchmarks; the defaults are what the program uses.
struct SphereExtractionOptions {
    // Largest number of candidate records the list may hold, 0 for no limit
    // other than memory (lets tests reach the overflow path).
    size_t candidate_capacity_limit = 0;
    // Choose with the plain rescanning method instead of the grid method.
    bool direct_selection = false;
};

// *spheres is left empty unless the status is EXTRACT_DONE.
ExtractionStatus extract_spheres(const FieldView& field, double locality, std::vector<Sphere>* spheres,
                                 const SphereExtractionOptions& options = SphereExtractionOptions{});

}  // namespace kestrane
