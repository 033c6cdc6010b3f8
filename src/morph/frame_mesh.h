#pragma once
// A frame as a caller receives it: a triangle mesh with its vertices in the
// source surface's units (as the PLY frames are), unit normals and 8-bit
// RGB colours per vertex. Flat arrays, three numbers a row.
#include <cstdint>
#include <vector>

namespace kestrane {

struct Mesh {
    std::vector<double> vertices;  // x, y, z per vertex, source units
    std::vector<float> normals;    // unit length, pointing out of the shape
    std::vector<uint8_t> colours;  // r, g, b per vertex
    std::vector<int32_t> faces;    // three vertex indices per triangle, counter-clockwise seen from outside

    size_t vertex_count() const { return vertices.size() / 3; }
    size_t face_count() const { return faces.size() / 3; }
};

}  // namespace kestrane
