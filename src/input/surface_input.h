#pragma once
// A surface as the sizing and conversion passes read it: an open OFF-family
// file, read by the OFF reader on every pass, or a mesh imported whole
// (mesh_import.h) and replayed on every pass. Either way the passes see the
// same stream of objects, vertices and faces.
#include <cstddef>
#include <cstdio>

#include "input/mesh_import.h"
#include "input/off_reader.h"

namespace kestrane {
struct SurfaceInput {
    SurfaceInput() = default;
    SurfaceInput(std::nullptr_t) {}
    SurfaceInput(std::FILE* open_file) : stream(open_file) {}
    SurfaceInput(const PolygonMesh* imported) : mesh(imported) {}

    std::FILE* stream = nullptr;         // an OFF-family file, or
    const PolygonMesh* mesh = nullptr;  // an imported mesh (the caller keeps it)

    bool present() const { return stream != nullptr || mesh != nullptr; }
};

// One pass over the input, as read_surface makes over an open file.
int read_surface_input(const SurfaceInput& input, ReadPass pass, const double* transform, const SurfaceSink& sink);

// A SurfaceStatus in words, to follow a file's name ("holds no vertices ...").
const char* surface_status_reason(int status);

}  // namespace kestrane
