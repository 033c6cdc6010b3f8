#pragma once
// Sphere candidates: the ridge voxels of a distance field, held in a list of
// fixed blocks, and the two ways of choosing among them that must agree.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/records.h"
#include "base/voxel_grid.h"

namespace kestrane {
constexpr size_t CANDIDATE_BLOCK = 2000;

// Candidate states held in the record's link byte while extracting.
constexpr uint8_t CANDIDATE_OPEN = 0;
constexpr uint8_t CANDIDATE_CHOSEN = 1;
constexpr uint8_t CANDIDATE_SUPPRESSED = 255;

// The candidate list grows by whole blocks, so growing never moves the
// records already found and never needs more than one block at a time.
struct CandidateList {
    std::vector<std::unique_ptr<Sphere[]>> blocks;
    size_t count = 0;
    // Tests set this to make growing fail early; 0 means no limit.
    size_t capacity_limit = 0;

    Sphere& operator[](size_t i) { return blocks[i / CANDIDATE_BLOCK][i % CANDIDATE_BLOCK]; }
    const Sphere& operator[](size_t i) const { return blocks[i / CANDIDATE_BLOCK][i % CANDIDATE_BLOCK]; }
    size_t capacity() const { return blocks.size() * CANDIDATE_BLOCK; }
    // Adds one more block; false when there is no memory for it.
    bool grow();
};

// Appends every ridge voxel of the grid to the list in z, y, x order.
// False when the list could not grow.
bool scan_candidates(const FieldView& field, CandidateList& list);

// Marks chosen and suppressed candidates. The direct method rescans all open
// candidates for every choice; the grid method visits candidates by
// decreasing radius and suppresses through a spatial grid. Both choose the
// same candidates. The grid method falls back to the direct one when it has
// no memory for its tables.
void select_spheres_direct(CandidateList& list, double locality);
void select_spheres_grid(CandidateList& list, double locality);

}  // namespace kestrane
