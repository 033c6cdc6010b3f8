#pragma once
// What a sphere-based sequence will cost, told before it starts so that the
// user can choose quick morphing or fewer points. Every lattice point near
// the surfaces of a middle frame weighs every linked sphere of both sides;
// the others are settled by bounds, at little cost.

#include <cstdint>
#include <string>

namespace kestrane {

struct MorphState;


struct MorphCost {
    double samples_per_frame = 0;  // lattice points x linked spheres
    double near_fraction = 1;      // of the lattice, near the surfaces (1 without the fields)
    double seconds_per_frame = 0;  // on the morph's threads, at a rate measured on this project's machine
    double seconds = 0;            // every middle frame of the sequence
    bool large = false;            // worth saying before the sequence starts
};

// The cost of the morph's sequence (nothing for quick morphing).
MorphCost morph_cost(const MorphState& morph);
// What a load of the sized grid will cost, told once the grid is known and
// before anything is converted: the memory it holds at its peak
// (load_memory_bytes) and the time its conversion, distance transforms and
// sphere extraction take on the morph's threads (a rate measured on this
// project's machine; the reading of the files is not counted).
struct LoadCost {
    int64_t bytes = 0;
    double seconds = 0;
};
LoadCost load_cost(const MorphState& morph);

// "about 40 s", "about 12 min", "about 3.5 h".
std::string rough_duration(double seconds);

}  // namespace kestrane
