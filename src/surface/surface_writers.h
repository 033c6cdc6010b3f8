#pragma once
#include "surface/mesh.h"

// Write the mesh as frame `frame` ("%s%03i.off" / "%s%03i.wrl" of output_base
// and frame + 1). 0 written, 1 the file could not be opened.
int write_cnoff(const SurfaceMesh& mesh, int frame);
int write_vrml(const SurfaceMesh& mesh, int frame);
// The writer chosen by output_format (none when it is 0). Returns its result.
int write_surface(const SurfaceMesh& mesh, int frame);
// The file name the writers use for frame `frame` in the given format (1 or 2).
#include <string>
std::string surface_file_name(int frame, int format);
