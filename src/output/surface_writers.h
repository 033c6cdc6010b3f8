#pragma once
// Frame files: a mesh as an OOGL CNOFF surface or a VRML V1.0 surface, in
// mesh units (1/64 voxel about the middle voxel), with per-vertex normals and
// colours.
//
// Each writer opens the named file, writes the whole mesh and commits it
// (the caller says "Saving surface to ..."). Returns 0, or 1 when the
// file could not be written: then a previous file of the name is untouched
// (output_file.h).
#include <string>

#include "base/modes.h"
#include "output/ply_writer.h"
#include "surface/mesh.h"

namespace kestrane {
int write_cnoff(const SurfaceMesh& mesh, const std::string& name);
int write_vrml(const SurfaceMesh& mesh, const std::string& name);
// The writer of the format (none for SURFACE_FORMAT_NONE, which returns 0).
// PLY, OBJ and STL frames are mapped into the source's units through
// placement.
int write_surface(const SurfaceMesh& mesh, const std::string& name, SurfaceFormat format,
                  const SourcePlacement& placement = SourcePlacement{});
// "<base>%03i.off", "<base>%03i.wrl" or "<base>%03i.ply" for frame + 1.
std::string surface_file_name(const std::string& base, int frame, SurfaceFormat format);
// The file of frame `frame` (from 0) of frame_count: surface_file_name's for
// CNOFF, VRML and PLY (names that stored files and callers rely on);
// "<base><frame + 1>.obj" and ".stl" with the number zero-padded to the
// digits of frame_count, so that the names sort (01..20, 001..100).
std::string frame_file_name(const std::string& base, int frame, int frame_count, SurfaceFormat format);
// "off", "wrl", "ply", "obj" or "stl" (empty for none).
const char* surface_format_extension(SurfaceFormat format);

}  // namespace kestrane
