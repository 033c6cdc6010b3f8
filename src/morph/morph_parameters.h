#pragma once
// The parameters of one morph, with the programs' defaults and the ranges
// the command line accepts. Plain values: a Morpher holds one copy and
// reads it at each step (a load reads the sizing ones, sphere extraction
// the locality, linking the strength, frames the count and threads).
#include <atomic>
#include <cstdint>

namespace kestrane {

struct MorphParameters {
    uint16_t frame_count = 20;  // frames of a whole sequence, 2 .. 65535 (-f)
    uint16_t min_points = 20;   // sample points along the shortest side, 1 .. 32767 (-p)
    uint16_t resolution = 1;    // isosurface lattice step in samples, 1 .. 8 (-r)
    // Source units per voxel (after the transform); above 0 it sets the
    // grid instead of min_points (-d).
    double voxel_size = 0;
    double strength = 1.0;      // link range of the automatic correspondence
    double locality = 1.0;      // sphere extraction locality
    bool quick_morph = false;   // shape-based morph without spheres (-q)
    bool scale_centres = true;  // place both centres at the grid centre (-c)
    bool scale_sizes = true;    // and scale both to the same size (-z)
    bool antialias = true;      // antialiased conversion (-a)
    double antialias_distance = 1.1;
    // Applied to every source vertex, row-major 4 x 4 with the translation
    // in elements 12..14 (-t); identity by default.
    double transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Worker threads for loads and frames (-j); 0 means the machine's cores.
    uint16_t threads = 0;
    // Wall-clock seconds the import of a mesh file (not OFF) may take; a
    // file of over 60 MiB gets more (input/import_limits.h).
    double import_seconds = 60;
    // When given and raised (from any thread, or a signal handler), an
    // import under way is stopped at once and the load fails; nothing else
    // stops (the Morpher's cancel flag stops the whole load). Not owned.
    const std::atomic<bool>* import_cancel = nullptr;
};

// The processor cores of this machine (at least 1, at most 256).
uint16_t machine_cores();

// threads, or the machine's cores when it is 0.
inline uint16_t worker_threads(const MorphParameters& p) { return p.threads ? p.threads : machine_cores(); }

}  // namespace kestrane
