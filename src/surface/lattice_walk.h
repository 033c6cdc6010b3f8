#pragma once
// The lattice walk: samples a field slice by slice over the isosurface
// lattice and builds its mesh with regularised marching tetrahedra. Memory:
// a two-slice buffer and the growing mesh, freed on every path; the mesh is
// filled only on success. No globals: safe on several threads at once.
#include <atomic>
#include <cstdint>

#include "base/vector3.h"
#include "surface/mesh.h"

namespace kestrane {
// Status codes of a lattice triangulation (and of triangulate_frame).
enum LatticeStatus {
    LATTICE_DONE = 0,
    LATTICE_NO_BUFFER = 1,           // the slice buffer could not be allocated
    LATTICE_CANCELLED = 2,           // the caller asked the walk to stop
    LATTICE_TRIANGLES_RAN_OUT = 101,   // all blocks of the triangle list are in use
    LATTICE_POINTS_RAN_OUT = 102,      // all blocks of the vertex list are in use
    LATTICE_NO_TRIANGLE_MEMORY = 103,  // a triangle block could not be allocated
    LATTICE_NO_POINT_MEMORY = 104,     // a vertex block could not be allocated
    LATTICE_NO_VERTEX_ARRAY = 40,
    LATTICE_NO_TRIANGLE_ARRAY = 41,
};

// How a walk went beyond the first pass (see triangulate_lattice).
struct WalkReport {
    int extra_walks = 0;          // walks after the first one
    long points_kept_apart = 0;   // points whose edges were not grouped in the end
    bool plain = false;           // the frame was finished with plain tetrahedra
    long vertices_joined = 0;     // coincident vertices joined (join_coincident_vertices)
    int parts = 1;                // the parts of slices the last walk went in side by side
};

struct FrameValues;

// A field sampled on the isosurface lattice: counts, the step R in voxels and
// the middle voxel (cx, cy, cz) that is the origin of mesh units.
struct LatticeField {
    int lx = 0, ly = 0, lz = 0;
    int resolution = 1;
    int cx = 0, cy = 0, cz = 0;
    // Value (positive inside) and colour of lattice point (i, j, k) at voxel
    // position x.
    int16_t (*sample)(void* context, int i, int j, int k, Vector3 x, uint32_t* colour) = nullptr;
    void* context = nullptr;
    // Optional: false when no neighbour of point (i, j, k) lies on the other
    // side (the border rule applied); the walk then skips its crossing tests.
    bool (*near_surface)(void* context, int i, int j, int k) = nullptr;
    // Optional: a frame's values worked out beforehand (frame_values.h),
    // read in place of both calls above, and a point's colour only where an
    // edge from it crosses (the only colours the mesh takes).
    const FrameValues* values = nullptr;
    // Called after each slice with the number of triangles so far.
    void (*slice_done)(void* context, int slice, long triangles) = nullptr;
    // Called once the walk is complete, before the mesh is copied out.
    void (*walk_done)(void* context, long triangles) = nullptr;
    // Off: plain marching tetrahedra, a vertex for every crossing edge.
    bool regularise = true;
    // Filled in when given.
    WalkReport* report = nullptr;
    // When given and set, the walk stops after the slice it is in.
    const std::atomic<bool>* cancel = nullptr;
    // Over worked-out values the walk may go in parts on up to this many
    // threads, giving the very mesh of one walk.
    int threads = 1;
};

// The points with a neighbour missing, which count as outside: the outer
// faces of the lattice and, since rows step by one and two, the second row
// from either end.
inline bool on_lattice_border(const LatticeField& f, int i, int j, int k)
{
    return i == 0 || i == f.lx - 1 || j <= 1 || j >= f.ly - 2 || k == 0 || k == f.lz - 1;
}

// Walks the lattice slice by slice and fills mesh with the isosurface at
// level -0.5; points on the lattice's border count as outside (a value of at
// least -1), so the surface is always closed. Should the grouping of crossing
// edges join two sheets at an edge, the lattice is walked again (sampling
// every point again) with those points' edges kept apart, so every mesh is
// edge-manifold and consistently oriented. On failure the mesh is left as
// the status describes.
int triangulate_lattice(const LatticeField& field, SurfaceMesh* mesh);

// The triangles a frame over lx x ly x lz points is counted at, for its
// memory: two for each position on the faces of the lattice's box (about
// three times what the corpus' surfaces make), and no more than one for
// every 16 positions.
int64_t frame_mesh_triangles(int lx, int ly, int lz);
// Bytes a walk over lx x ly x lz points on `threads` threads holds: a slice
// buffer for each part it may go in, and the mesh of frame_mesh_triangles
// (with half as many vertices) four times: the walk's lists, the mesh they
// are copied (or joined) into, and what the soundness check and the joining
// of vertices hold at the end of the walk.
int64_t lattice_walk_working_bytes(int lx, int ly, int lz, int threads = 1);

}  // namespace kestrane
