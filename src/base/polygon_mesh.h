#pragma once
// A surface held in memory as polygons: what a mesh file is read into, and
// what a caller hands the morph instead of a file. Each object is a
// polygon soup of its own (as each object of an OFF LIST is); polygons stay
// polygons. Positions are in the surface's own units; the morph reads them
// at float precision, as it reads every file.
#include <cstdint>
#include <vector>

#include "base/colour.h"
#include "base/vector3.h"

namespace kestrane {

struct PolygonObject {
    std::vector<Vector3> positions;      // one per vertex
    std::vector<int32_t> face_sizes;     // corners per face (3 or more)
    std::vector<int32_t> corners;        // vertex indices of every face in turn
    // One colour word per face (make_colour: red and blue 0..31, green
    // 0..63), or empty for the default colour.
    std::vector<uint32_t> face_colours;
};

struct PolygonMesh {
    std::vector<PolygonObject> objects;
};

}  // namespace kestrane
