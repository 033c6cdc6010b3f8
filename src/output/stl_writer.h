#pragma once
// STL frames: a mesh as binary STL in the source's units (the PLY frames'
// mapping, ply_writer.h). The 80-byte header names Kestrane and does not
// start with "solid" (readers take such a file for ASCII STL); then the
// triangle count and, per triangle, its geometric normal (from its corners
// in the source's units, counter-clockwise seen from outside; zero for a
// degenerate triangle), its three corners as little-endian floats and a
// zero attribute word. STL holds no colours and no vertex normals.
//
// Writes the whole mesh through an OutputFile. Returns 0, or 1 when the file
// could not be written (a previous file of the name is then untouched).
#include <cstddef>
#include <string>

#include "output/ply_writer.h"
#include "surface/mesh.h"

namespace kestrane {
constexpr size_t STL_HEADER_BYTES = 80;
constexpr size_t STL_TRIANGLE_BYTES = 50;

int write_stl(const SurfaceMesh& mesh, const std::string& name, const SourcePlacement& placement);
}  // namespace kestrane
