#pragma once
// One frame of the morph: the morph field sampled on the isosurface lattice
// and triangulated with regularised marching tetrahedra.
//
// The request points at inputs the caller keeps unchanged meanwhile; nothing
// global is read or written, so several frames may be triangulated at once on
// the same inputs. The lattice's values are computed first (frame_values.h:
// exactly where the walk reads them, on request.threads threads), then the
// walk builds the mesh. Memory: the values (3 bytes a lattice point and the
// colours of the blocks that have any), a two-slice buffer and the growing
// mesh, all freed on every path. Returns a LatticeStatus.
#include <atomic>
#include <cstdint>
#include <memory>

#include "shape/morph_field.h"
#include "surface/lattice_walk.h"
#include "surface/mesh.h"

namespace kestrane {
struct FrameValues;

// Told after each slice and once the walk is done, with the triangles so far.
struct FrameProgress {
    void (*slice_done)(void* context, int frame, long triangles) = nullptr;
    void (*frame_done)(void* context, int frame, long triangles) = nullptr;
    void* context = nullptr;
};

struct FrameValueStats;
struct DisplacementCache;

struct FrameRequest {
    const MorphInputs* inputs = nullptr;
    LatticeField lattice;  // counts, step and mesh origin; its sampler is ignored
    int frame = 0;         // 0 .. frame_count - 1
    int frame_count = 2;
    // In [0, 1]: the frame's time instead of frame_time(frame, frame_count).
    double time = -1;
    bool regularise = true;  // off: plain marching tetrahedra, for comparisons
    FrameProgress progress;
    // Threads that compute the lattice's values and walk it (in parts of
    // slices, for the same mesh).
    int threads = 1;
    // On: morph_sample at every lattice point, one at a time, during the
    // walk: the reference the faster evaluation must match exactly.
    bool exhaustive = false;
    // Filled in when given (not for an exhaustive frame).
    FrameValueStats* stats = nullptr;
    // When given and set, the frame stops early with LATTICE_CANCELLED.
    const std::atomic<bool>* cancel = nullptr;
    // When given: the sphere displacements frames of this lattice and these
    // inputs share (displacement_cache.h); the frame is the same without.
    std::shared_ptr<DisplacementCache> displacements;
    // When given: where the frame's values are worked out, in the arrays
    // of the frame that used it before (a thread building frame after frame
    // then touches no fresh memory for them); the frame is the same without.
    FrameValues* values = nullptr;
};

// The frame's time: frame / (frame_count - 1), the frame number read as a
// 16-bit count, so the last frame gives t = 1 exactly.
double frame_time(int frame, int frame_count);

// The lattice over a grid of volume_dims voxels with sample_grid_dims points
// at the given resolution, with the middle voxel as the origin of mesh units.
LatticeField frame_lattice(const int16_t volume_dims[3], const int16_t sample_grid_dims[3], int resolution);

int triangulate_frame(const FrameRequest& request, SurfaceMesh* mesh);

}  // namespace kestrane
