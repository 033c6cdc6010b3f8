#pragma once
// What a sphere-based sequence will cost, told before it starts so that the
// user can choose quick morphing or fewer points. Every lattice point of a
// middle frame weighs every linked sphere of both sides.

#include <string>

namespace kestrane {

struct MorphState;


struct MorphCost {
    double samples_per_frame = 0;  // lattice points x linked spheres
    double seconds_per_frame = 0;  // on the morph's threads, at a rate measured on this project's machine
    double seconds = 0;            // every middle frame of the sequence
    bool large = false;            // worth saying before the sequence starts
};

// The cost of the morph's sequence (nothing for quick morphing).
MorphCost morph_cost(const MorphState& morph);
// "about 40 s", "about 12 min", "about 3.5 h".
std::string rough_duration(double seconds);

}  // namespace kestrane
