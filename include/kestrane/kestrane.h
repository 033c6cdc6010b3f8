#pragma once
// Kestrane: morphs one closed surface into another.
//
// Contract
// - Inputs: two closed surfaces, each a file (OFF and its LIST family, STL,
//   OBJ, PLY, glTF/GLB) or polygons in memory (kestrane::PolygonMesh), in
//   any units. Open surfaces are accepted; what they enclose at the chosen
//   sampling is what morphs. A NoVolume warning says when that is nothing:
//   such a surface has no sphere, so a sphere-based load then fails with
//   NoSpheres, and quick morphing morphs from (or to) nothing.
// - Outputs: triangle meshes, the first frame the source and the last the
//   target, vertices in the source's units (after the source's transform,
//   if any: the transform is part of the morph), unit normals and RGB
//   colours per vertex. Results are the same for any
//   number of threads and equal the batch tool's frames of the same morph.
// - Defaults: those of the command line (20 frames, 20 points, resolution
//   1, antialiasing at 1.1, both centres and sizes scaled, sphere-based
//   morphing, the machine's cores).
// - Errors: kestrane::morph throws kestrane::MorphError carrying the
//   Result (the problem code, the file and the reason); the Morpher
//   returns the Result instead. Nothing is printed; progress and warnings
//   go to a MorphObserver when one is given.
// - Threads: a Morpher is used from one thread at a time; distinct
//   morphers are independent. A cancel flag may be raised from any thread.
#include <atomic>
#include <stdexcept>
#include <vector>

#include "morph/morpher.h"

namespace kestrane {

struct MorphOptions {
    MorphParameters parameters;
    std::vector<Correspondence> vectors;  // manual vectors, in the surfaces' units
    MorphObserver* observer = nullptr;    // not owned
    const std::atomic<bool>* cancel = nullptr;
};

class MorphError : public std::runtime_error {
public:
    explicit MorphError(Result result);
    const Result& result() const { return result_; }

private:
    Result result_;
};

// Every frame of the morph of source into target (parameters.frame_count
// of them).
std::vector<Mesh> morph(const Surface& source, const Surface& target, const MorphOptions& options = MorphOptions{});

}  // namespace kestrane
