#pragma once
// The sizing pass: reads the vertices of both surfaces and fixes the common
// voxel grid, the isosurface lattice over it and where each surface lands.
//
// Reads both inputs from their start (the caller keeps them for the
// conversion pass); costs one parse of each file, and for counting each
// surface's boundary edges a few words per vertex and face corner of its
// largest object. Returns SURFACE_OK with *out filled, or a SurfaceStatus
// code (reader failures, a flat box while sizes are matched, a zero
// extent, counts beyond 16 bits) with *out untouched; *failed_side, when
// given, is then 0 or 1 for the surface at fault and -1 when it is the two
// together.
#include <cstdint>
#include <cstdio>

#include "base/vector3.h"
#include "input/surface_input.h"

namespace kestrane {
struct SizingParameters {
    uint16_t min_points = 20;    // sample points along the smallest side
    // Surface units per voxel (the source's, after its transform); when
    // above 0 it fixes the grid instead of min_points.
    double voxel_size = 0;
    uint16_t resolution = 1;     // lattice step in voxels
    bool scale_centres = true;   // both centres land on the grid centre
    bool scale_sizes = true;     // the target is scaled to the source's volume
    const double* source_transform = nullptr;  // 16 values applied to the source, or none
};

struct VolumeSizing {
    int16_t volume_dims[3];       // voxels per axis, both volumes
    int16_t sample_grid_dims[3];  // lattice points per axis
    Vector3 centre[2];            // surface point placed at the grid centre, per side
    double scale[2];              // voxels per surface unit, per side
    double view_scale;            // drawing units per voxel
    // Edges only one face uses, per side (boundary_edges.h): 0 for a
    // closed surface.
    long boundary_edges[2];
    // What the load's memory depends on, per side: every face has the same
    // colour (its field then holds colours only in the tiles of the grid's
    // outer layer), and the objects the surface has (from the second on,
    // conversion draws each in a grid of its own).
    bool one_colour[2];
    long objects[2];
};

int measure_surfaces(const SurfaceInput& source, const SurfaceInput& target, const SizingParameters& parameters,
                     VolumeSizing* out, int* failed_side = nullptr);

}  // namespace kestrane
