#pragma once
// Scan conversion: reads a surface file and fills a voxel grid with signed
// values, positive inside (plain mode: a parity fill classified as near or far
// inside and outside; antialiased mode: true distances within the
// antialiasing distance of the surface, far values beyond).
//
// The caller owns the grid and keeps it allocated; the conversion allocates
// one working grid of the same size (and a tie-break grid in antialiased mode)
// and frees them on every path. Cost: one parse of the file and, per face,
// the voxels of its bounding box widened by the antialiasing distance.
// Returns SURFACE_OK or a SurfaceStatus code (reader failures, no memory for
// the working grids, an odd number of crossings in plain mode).
#include <cstdio>
#include <cstdint>

#include "base/vector3.h"
#include "base/voxel_grid.h"
#include "input/surface_input.h"

namespace kestrane {
struct ConversionParameters {
    VoxelGrid grid;             // the volume to fill, every voxel overwritten
    Vector3 centre{0, 0, 0};    // surface point placed at the grid centre
    double scale = 0;           // voxels per surface unit
    const double* transform = nullptr;  // 16 values applied to every vertex, or none
    bool antialias = true;
    double antialias_distance = 1.1;  // voxels
};

// Told after every hundred faces of an object and once at the end.
struct ConversionProgress {
    void (*faces_done)(void* context, long faces, long face_count) = nullptr;
    void* context = nullptr;
};

int convert_surface(const SurfaceInput& input, const ConversionParameters& parameters,
                    const ConversionProgress& progress);

// The most convert_surface holds besides the grid it fills: the antialiased
// marks (tie breaks in tiles, every tile counted; row sides in bits) and,
// for a surface of several objects, the grid the later ones are drawn in.
int64_t conversion_working_bytes(int nx, int ny, int nz, bool antialias, bool several_objects);

}  // namespace kestrane
