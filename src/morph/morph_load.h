#pragma once
// The steps of a morph's load and analysis, on a MorphState: read both
// surfaces, size the grid, check that the load fits, allocate and convert
// both volumes (the target beside the source when threads allow), then
// transform them, summarise their fields and extract their spheres (the
// target's analysis beside the source's; a large grid's sides one after
// the other, load_morph below). Progress and warnings go to the
// state's observer, on the calling thread. Files are closed on every path;
// a failed load leaves nothing allocated.
#include "input/surface_input.h"
#include "morph/morph_state.h"
#include "morph/morpher.h"
#include "shape/sphere_extraction.h"

namespace kestrane {

// The whole load: reads and sizes both surfaces, converts both into fresh
// volumes and analyses them (analyse_volumes). For a grid whose voxels take
// at least morph.sides_in_turn_from bytes a side, each side is converted
// and analysed before the next is converted (the source's spheres extracted
// beside the target's conversion), so that one side's voxels are never held
// beside the other's. The volumes, fields, spheres and warnings are the
// same either way; only the order of the events differs.
Result load_morph(MorphState& morph, const Surface& source, const Surface& target,
                  const SphereExtractionOptions& options = SphereExtractionOptions{});
bool sides_in_turn(const MorphState& morph);

// Its steps, for benchmarks and fuzz targets that drive them on inputs of
// their own: the sizing (grid, lattice, placements; each surface's
// boundary edges in boundary_edges when given), the allocation of one
// volume's voxels (false when it fails), and the conversion of one surface
// into its allocated volume (a SurfaceStatus), each telling its events.
Result size_volumes(MorphState& morph, const SurfaceInput inputs[2], long boundary_edges[2] = nullptr);
bool allocate_voxels(MorphState& morph, int side);
int convert_volume(const MorphState& morph, const SurfaceInput& input, int side);

// Distance transforms, field summaries and (unless quick morphing) spheres
// of both volumes. Too many sphere candidates switch the parameters to
// quick morphing, with a TooManySpheres warning.
Result analyse_volumes(MorphState& morph, const SphereExtractionOptions& options = SphereExtractionOptions{});

// The two halves of one volume's analysis, so that one side can run on
// another thread while the caller does the other: take_volume_work reads
// what the work needs, the *_work functions touch only the work and the
// volume's voxels, install_* store the results. The transform splits the
// voxels into the volume's field, which the summary and the spheres read,
// and install_transform gives the volume that field for its voxels.
struct VolumeWork {
    VoxelGrid grid;
    std::unique_ptr<Voxel[]> voxels;  // taken from the volume, freed once split
    VolumeField field;
    FieldView view;
    double locality = 1;
    int64_t tiled_from_voxels = TILED_FROM_VOXELS;
    FieldSummary summary;
    std::vector<Sphere> spheres;
    ExtractionStatus status = EXTRACT_DONE;
};
VolumeWork take_volume_work(const MorphState& morph, int side);
// The same, taking the volume's voxels with it, so that the transform can
// free them as soon as they are split (the volume gets them back if not).
VolumeWork take_volume_voxels(MorphState& morph, int side);
void transform_volume_work(VolumeWork& work);
void extract_volume_work(VolumeWork& work, const SphereExtractionOptions& options = SphereExtractionOptions{});
void install_transform(MorphState& morph, int side, VolumeWork& work);
Result install_spheres(MorphState& morph, int side, VolumeWork& work);

// Spheres of one volume at the parameters' locality, with their shifts.
Result extract_side_spheres(MorphState& morph, int side,
                            const SphereExtractionOptions& options = SphereExtractionOptions{});
// Links the spheres of both volumes at the parameters' strength, with the
// vectors.
Result link_volumes(MorphState& morph);

}  // namespace kestrane
