#pragma once
// Mesh files other than OFF (STL, OBJ, PLY, glTF), read whole through
// Assimp into one shape: every mesh instance of the file's scene is one
// object, as every object of a LIST is, with the scene's node transforms
// applied. Polygons stay polygons (nothing is triangulated or welded).
//
// A face takes the colour of its first vertex when the mesh has vertex
// colours, else its material's colour when the file gives the mesh a
// material of its own, else the default face colour of the OFF reader.
// Lines and points are left out; a file without any polygon is refused.
//
// Replaying an imported mesh drives a SurfaceSink exactly as the OFF reader
// does for a LIST of the same objects, so sizing and scan conversion treat
// both alike. Cost: the whole file in memory, about 24 bytes per vertex and
// 8 per face corner.
#include <cstdint>
#include <string>
#include <vector>

#include "base/polygon_mesh.h"
#include "base/vector3.h"
#include "input/file_kind.h"
#include "input/import_limits.h"
#include "input/off_reader.h"

namespace kestrane {
// Reads the file at path as the given kind (not MeshFileKind::Off). True on
// success; otherwise *reason says why in words and *out is empty. Assimp
// reads in a child process (mesh_import_process.cpp), so that a damaged
// file on which it crashes is refused instead of ending the program, and
// one that would take too long or too much memory is refused naming the
// limit (import_limits.h). The child dies with the calling thread.
bool import_mesh(const std::string& path, MeshFileKind kind, PolygonMesh* out, std::string* reason,
                 const ImportLimits& limits = ImportLimits{});
// The same in this process, without limits (the child's work).
bool import_mesh_here(const std::string& path, MeshFileKind kind, PolygonMesh* out, std::string* reason);

// A mesh from a caller, checked before it is replayed: finite positions,
// faces of 3 corners or more that name vertices of their object, corners
// and face colours that match the faces, and at least one polygon. False
// with *reason in words for the first fault. (Empty face colours mean the
// default colour.)
bool check_polygon_mesh(const PolygonMesh& mesh, std::string* reason);

// One pass over the mesh, as read_surface makes over an OFF file: transform
// (16 values, or null) is applied to every vertex, and the positions handed
// on are rounded to float as the OFF reader's are.
int replay_mesh(const PolygonMesh& mesh, ReadPass pass, const double* transform, const SurfaceSink& sink);

}  // namespace kestrane
