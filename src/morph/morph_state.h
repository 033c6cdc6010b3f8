#pragma once
// What a Morpher owns, for the programs that draw and write it: the
// parameters, both volumes with their placements, the grid, the field
// summaries, the spheres and their shifts, and the manual vectors (in voxel
// coordinates). The functions below hand these to the algorithms as their
// inputs; the pointers they return stay valid until the record changes.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/records.h"
#include "base/volume.h"
#include "morph/frame_mesh.h"
#include "morph/morph_events.h"
#include "morph/morph_parameters.h"
#include "output/ply_writer.h"
#include "shape/field_summary.h"
#include "shape/morph_field.h"
#include "surface/frame_generation.h"
#include "surface/lattice_walk.h"
#include "surface/mesh.h"

namespace kestrane {
struct DisplacementCache;

// Voxel arrays of this size or more are made one side at a time.
constexpr int64_t SIDES_IN_TURN_BYTES = int64_t(256) << 20;

struct MorphState {
    MorphParameters parameters;
    std::string names[2];  // the surfaces' names in messages
    Volume volumes[2];
    int16_t volume_dims[3] = {0, 0, 0};
    int16_t sample_grid_dims[3] = {0, 0, 0};
    double view_scale = 0;  // drawing units per voxel
    // From the sizing pass, for the memory the load will hold: each side's
    // faces share one colour, and its objects.
    bool one_colour[2] = {false, false};
    long objects[2] = {1, 1};
    // The lattice step and source transform the volumes were made with:
    // the parameters may change before the next load.
    uint16_t loaded_resolution = 1;
    double loaded_transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Block summaries of the transformed volumes, for the bounds that let
    // frames skip exact values; each remembers the distances it was made
    // from.
    FieldSummary summaries[2];
    const void* summarised[2] = {nullptr, nullptr};
    int16_t summarised_dims[2][3] = {{0, 0, 0}, {0, 0, 0}};
    std::vector<CorrespondenceVector> vectors;
    // The links were made after the spheres and vectors last changed.
    bool linked = false;
    // From this size of one side's voxels on, the load takes the sides in
    // turn (morph_load.h); lower only to test that path on small grids.
    int64_t sides_in_turn_from = SIDES_IN_TURN_BYTES;
    // From this many voxels on, a field keeps its distances in tiles
    // (volume_field.h); lower only to test that path on small grids.
    int64_t tiled_from_voxels = TILED_FROM_VOXELS;
    MorphObserver* observer = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    // Counts the voxel arrays made, so that what was computed from the old
    // ones is known to be stale even when the new ones reuse their memory.
    uint64_t voxel_generation = 0;
    // The sphere displacements the frames share, and what they were
    // computed from (shared_displacements.h).
    std::shared_ptr<DisplacementCache> displacements;
    uint64_t displacements_key = 0;
    std::mutex displacements_lock;
};

// The cancel flag is raised.
inline bool cancelled(const MorphState& morph) { return morph.cancel && morph.cancel->load(); }
// The result of a step the flag stopped.
Result cancelled_result(Stage stage);

// Voxels of one volume (0 before sizing).
int64_t voxel_count(const MorphState& morph);
// Both volumes hold converted voxels or their finished fields.
bool morph_loaded(const MorphState& morph);
bool volume_present(const Volume& volume);
// Frees the voxels, spheres and shifts of both volumes and the vectors.
void release_morph(MorphState& morph);

// A volume's finished field, or its voxels before it is finished.
FieldView volume_field(const MorphState& morph, int side);
// Everything a frame's morph field reads.
MorphInputs morph_inputs(const MorphState& morph);
LatticeField morph_lattice(const MorphState& morph);
// Frame `frame` of frame_count over inputs, on the parameters' threads,
// without progress reports, with the displacements the morph's frames share
// (unless `shared` is false: a frame then works out its own, as a run of a
// single frame between the ends is best served, without the cache's cost
// in time and memory).
FrameRequest frame_request(MorphState& morph, const MorphInputs& inputs, int frame, int frame_count,
                           bool shared = true);
// Where the source was placed in the grid, to map frames back into its units.
SourcePlacement source_placement(const MorphState& morph);

// A surface point (the source's before its transform) to voxel coordinates
// of volume `side`, and back.
Vector3 surface_to_voxel(const MorphState& morph, int side, Vector3 point);
Vector3 voxel_to_surface(const MorphState& morph, int side, Vector3 voxel);

// A frame in mesh units to the caller's mesh in the source's units.
void to_source_units(const SurfaceMesh& mesh, const SourcePlacement& placement, Mesh* out);

// Tells the observer, when there is one.
void tell(const MorphState& morph, const ProgressEvent& event);
void tell(const MorphState& morph, const Report& report);

}  // namespace kestrane
