#pragma once
// The steps of scan conversion, on a grid the caller owns. Faces are given
// as n indices into vertices, which are in voxel coordinates. Cost per face:
// the voxels its rows cross (plain) or its widened bounding box (antialiased).
#include <cstdint>
#include <vector>

#include "base/records.h"
#include "base/vector3.h"
#include "base/voxel_grid.h"
#include "input/antialias_marks.h"

namespace kestrane {
// The steps of scan conversion. Faces are given as n indices into vertices,
// which are in voxel coordinates.

// Every value to `value`, every colour to the blank colour, and every
// tie-break entry (when given) to 0.
void reset_grid(const VoxelGrid& grid, TieBreaks* tie_break, int16_t value);

// Called for every crossing of a face with the row (y = j, z = k) at real x.
struct RowCrossingVisitor {
    void (*crossing)(void* context, double x, int j, int k);
    void* context;
};
// The crossings of the face with the rows of the grid, under one half-open
// rule for points exactly on planes and rows, so that a closed surface
// crosses every row an even number of times.
void for_each_row_crossing(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                           const RowCrossingVisitor& visit);

// Plain mode: toggles the voxel nearest each crossing of the face with a row
// along x, and colours it and its x neighbours. Writes stay inside the grid.
void rasterise_polygon(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                       uint32_t colour);

// Antialiased mode: for each crossing, toggles the side bit of the first
// voxel whose centre lies beyond it, so that the running parity along a row
// tells inside from outside.
void mark_row_sides(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                    RowSides& toggles);

// Antialiased mode: distances within the antialiasing distance of the face,
// nearest face winning (its colour too); a voxel exactly on a face holds
// ON_SURFACE. The sign of other stored values follows the face's plane until
// close_object decides the side. A tie-break tile that cannot be made sets
// tie_break.out_of_memory.
void sample_polygon(const VoxelGrid& grid, int n, const Vector3* vertices, const int32_t* indices,
                    uint32_t colour, double limit, TieBreaks& tie_break);

// Signed distance from point to the face within limit (HUGE_VAL beyond it;
// exactly 0 on the face), and face_on = 32000 x the cosine between the normal
// and the way to the face.
double polygon_distance(Vector3 point, int n, const Vector3* vertices, const int32_t* indices,
                        Vector3 normal, double limit, int16_t& face_on);
// The same with what depends on the face alone worked out once per face.
struct FaceGeometry {
    Vector3 normal;
    std::vector<Vector3> corners, edges;  // edge j runs from corner j to j + 1
    std::vector<double> lengths;          // squared edge lengths
};
FaceGeometry face_geometry(int n, const Vector3* vertices, const int32_t* indices, Vector3 normal);
double face_distance(const FaceGeometry& face, Vector3 point, double limit, int16_t& face_on);

// The antialiased working value of a voxel whose centre lies on a face; it
// counts as inside, the least distance from the surface.
constexpr int16_t ON_SURFACE = 32767;

// Fills and classifies the finished object in the given mode (toggles: the
// antialiased mode's row sides). Returns 0, or 1 when a row has an odd number
// of crossings (plain mode).
int close_object(const VoxelGrid& grid, bool antialias, const RowSides* toggles);
int close_object_plain(const VoxelGrid& grid);
// Inside where an odd number of crossings lie before the voxel's centre along
// its row (or on a face); distances keep their magnitude. A row that ends inside (an open
// surface) counts as outside from its last crossing on.
void close_object_antialiased(const VoxelGrid& grid, const RowSides& toggles);

// Union: every temporary voxel greater than the grid's replaces it.
void merge_object(const VoxelGrid& grid, const VoxelGrid& temporary);

}  // namespace kestrane
