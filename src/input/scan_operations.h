#pragma once
// The steps of scan conversion, on a grid the caller owns. Faces are given
// as n indices into vertices, which are in voxel coordinates. Cost per face:
// the voxels its rows cross (plain) or its widened bounding box (antialiased).
#include <cstdint>

#include "base/records.h"
#include "base/vector3.h"
#include "base/voxel_grid.h"

// The steps of scan conversion. Faces are given as n indices into vertices,
// which are in voxel coordinates.

// Every value to `value`, every colour to the blank colour, and every
// tie-break entry (when given) to 0.
void reset_grid(const VoxelGrid& grid, int16_t* tie_break, int16_t value);

// Plain mode: toggles the voxel nearest each crossing of the face with a row
// along x, and colours it and its x neighbours. Writes stay inside the grid.
void rasterise_polygon(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                       uint32_t colour);

// Antialiased mode: signed distances within the antialiasing distance of the
// face, nearest face winning. Returns the face's orientation term.
double sample_polygon(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                      uint32_t colour, double limit, int16_t* tie_break);

// Signed distance from point to the face within limit (0 beyond it), and
// face_on = 32000 x the cosine between the normal and the way to the face.
double polygon_distance(Vector3 point, int n, const Vector3* vertices, const int32_t* indices,
                        Vector3 normal, double limit, int16_t& face_on);

// Fills and classifies the finished object in the given mode. Returns 0,
// or 1 when a row has an odd number of crossings (plain mode).
int close_object(const VoxelGrid& grid, bool antialias, double volume_sum);
int close_object_plain(const VoxelGrid& grid);
void close_object_antialiased(const VoxelGrid& grid, double volume_sum);

// Union: every temporary voxel greater than the grid's replaces it.
void merge_object(const VoxelGrid& grid, const VoxelGrid& temporary);
