#pragma once
// Counts the boundary edges of a surface: edges that only one face uses.
// A closed surface has none; antialiased conversion still fills an open
// one, so the count is what tells the user that the morph sees a solid the
// file does not quite describe.
//
// Fed object by object as a pass meets them: vertex indices restart with
// each object, and vertices of an object at the same position are one
// vertex (STL and other formats repeat a corner for every face). Edges
// used by three faces or more are not boundary edges; faces of fewer than
// three corners, and faces too large to keep (no indices), add none.
// Memory: a position per vertex and a word per face corner of the object
// in hand.
#include <cstdint>
#include <vector>

#include "base/vector3.h"

namespace kestrane {
class BoundaryEdges {
public:
    void begin_object();
    void vertex(Vector3 position);
    void face(int32_t n, const int32_t* indices);
    void end_object();
    // Edges used by one face only, over every object so far; ends the
    // object in hand.
    long count();

private:
    std::vector<Vector3> positions_;
    std::vector<uint64_t> edges_;  // corner pairs of the object in hand
    long count_ = 0;
};

}  // namespace kestrane
