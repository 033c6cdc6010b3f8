#pragma once
#include <cstddef>

// Extracts the inscribed spheres of volume v. Returns 0 (also after an
// overflow that switched to quick morphing), 1 no memory for candidates,
// 2 no memory for the sphere list, 3 no sphere found, 4 no memory for shifts.
int extract_spheres(int v);

// Knobs for tests and benchmarks; the defaults are what extract_spheres uses.
struct SphereExtractionOptions {
    // Largest number of candidate records the list may hold, 0 for no limit
    // other than memory (lets tests reach the overflow path).
    size_t candidate_capacity_limit = 0;
    // Choose with the plain rescanning method instead of the grid method.
    bool direct_selection = false;
};
int extract_spheres_with(int v, const SphereExtractionOptions& options);
