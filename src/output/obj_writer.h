#pragma once
// OBJ frames: a mesh as Wavefront OBJ text in the source's units (the PLY
// frames' mapping, ply_writer.h): "v x y z r g b" with the vertex colour as
// 0..1 (the extension Blender and MeshLab read), "vn" unit normals, and
// "f a//a b//b c//c" triangles (indices from 1, the normal's equal to the
// vertex's). No material library: the colours live on the vertices.
//
// Writes the whole mesh through an OutputFile. Returns 0, or 1 when the file
// could not be written (a previous file of the name is then untouched).
#include <string>

#include "output/ply_writer.h"
#include "surface/mesh.h"

namespace kestrane {
int write_obj(const SurfaceMesh& mesh, const std::string& name, const SourcePlacement& placement);
}  // namespace kestrane
