#pragma once
// A triangulated surface with shared vertices, as frames and files hold it.
#include <cstdint>
#include <vector>

namespace kestrane {
constexpr int MESH_UNITS_PER_VOXEL = 64;
constexpr int16_t NORMAL_LENGTH = 32000;

// Mesh units are 1/64 voxel with the origin at the volume's middle voxel;
// normals point out of the shape at length 32000.
struct MeshVertex {
    int16_t x, y, z;
    int16_t nx, ny, nz;
    uint32_t colour;
};

// Counter-clockwise seen from outside.
struct MeshTriangle {
    int32_t v[3];
};

struct SurfaceMesh {
    std::vector<MeshVertex> vertices;
    std::vector<MeshTriangle> triangles;
};

}  // namespace kestrane
