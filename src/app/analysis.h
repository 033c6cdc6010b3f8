#pragma once
// The programs' shorthands for the morph library's steps on the one
// morpher of the global record (app.morph). Interface thread only.
#include <vector>

#include "morph/morph_load.h"
#include "morph/morph_state.h"
#include "shape/sphere_extraction.h"
#include "surface/frame_generation.h"
#include "surface/lattice_walk.h"

using namespace kestrane;

// The read-only view of volume `side` (0 source, 1 target).
FieldView volume_field(int side);
// Everything a frame's morph field reads, pointing into the morph: valid
// until the volumes, spheres, shifts or vectors change.
MorphInputs morph_inputs();
// The isosurface lattice of the current volumes and resolution.
LatticeField current_lattice();
// The request for frame `frame` of the current morph over inputs, without
// progress reports (with the displacements its frames share, if `shared`).
FrameRequest frame_request(const MorphInputs& inputs, int frame, bool shared = true);
// Frame `frame` of the current morph, quietly (benchmarks and comparisons).
int triangulate_current_frame(SurfaceMesh* mesh, int frame, bool regularise = true);

// Distance transform of volume `side`, in place (with its summary).
void transform_volume(int side);

// The halves of the analysis of one side (morph_load.h), on the record.
VolumeWork volume_work(int side);
void install_transform(int side, VolumeWork& work);
// As extract_volume_spheres returns.
int install_spheres(int side, VolumeWork& work);
// Extracts the spheres of volume `side` with the current locality and
// allocates their shifts. 0 done (also when the candidates overflowed: then
// with a warning and quick morphing switched on), 1 no memory for
// candidates, 2 no memory for the sphere list, 3 no sphere found, 4 no
// memory for the shifts.
int extract_volume_spheres(int side, const SphereExtractionOptions& options = SphereExtractionOptions{});
// Links the spheres of both volumes with the current strength and vectors.
// 0 done, 1 no memory.
int link_spheres();
