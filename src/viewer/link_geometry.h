#pragma once
// Where the line segments that show a linked sphere go, from AppState's
// vectors and view scale; the GL layer draws them.
#include "base/vector3.h"

using namespace kestrane;

// End points of the segments that show one linked sphere (world units, before
// the object transform): q the sphere centre, p1 the end of the part of its
// movement due to the manual vectors, p2 the end of its own correspondence
// shift. side 0 is the source, 1 the target.
struct LinkSegments {
    Vector3 q, p1, p2;
};

LinkSegments link_segments(int side, Vector3 centre, Vector3 shift);
