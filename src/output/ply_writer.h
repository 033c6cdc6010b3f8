#pragma once
// PLY frames: a mesh as binary little-endian PLY, with float positions and
// normals and 8-bit RGB colours per vertex, and triangles as a uchar count
// and int indices. Positions are mapped from mesh units back into the units
// of the source surface, so a frame overlays the input files in any viewer.
//
// The writer opens the named file, writes the whole mesh and closes it. Returns 0, or 1 when the
// file could not be opened.
#include <cstdint>
#include <string>

#include "base/vector3.h"
#include "surface/mesh.h"

namespace kestrane {
// Where the source surface was placed in the grid: its point `centre` lies
// at the grid centre and `scale` voxels make one of its units.
struct SourcePlacement {
    Vector3 centre{0, 0, 0};
    double scale = 1.0;
    int16_t volume_dims[3] = {1, 1, 1};
};

// A mesh vertex in the source's units: mesh units are 1/64 voxel from the
// middle voxel ((n - 1) / 2, integer), the surface was placed about the real
// grid centre ((n - 1) * 0.5), and a voxel is 1/scale source units.
Vector3 source_position(const MeshVertex& vertex, const SourcePlacement& placement);

// A colour byte (0..levels, read as a signed byte) as 0..255: red and blue
// have 31 levels, green 63.
uint8_t colour_byte_255(uint32_t colour, int byte, int levels);

int write_ply(const SurfaceMesh& mesh, const std::string& name, const SourcePlacement& placement);

}  // namespace kestrane
