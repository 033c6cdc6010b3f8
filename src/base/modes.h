#pragma once
#include <cstdint>

namespace kestrane {
// The names of the program's small numeric states. The numbers are part of
// what the program shows and stores (menus, help tables, file names), so each
// enumerator keeps its value.

// What the view is showing and which keys do what.
enum Mode : int32_t {
    MODE_NOTHING_LOADED = -1,
    MODE_MANUAL = 0,     // manual correspondence: vectors are drawn
    MODE_AUTOMATIC = 1,  // automatic correspondence: sphere links
    MODE_SEQUENCE = 2,   // the morph sequence is generated and played
};

// How frames (and sphere files) are written.
enum SurfaceFormat : int32_t {
    SURFACE_FORMAT_NONE = 0,
    SURFACE_FORMAT_OOGL = 1,  // CNOFF frames, OOGL sphere lists
    SURFACE_FORMAT_VRML = 2,  // VRML V1.0 frames and spheres
    SURFACE_FORMAT_PLY = 3,   // binary PLY frames in the source's units, OOGL sphere lists
    SURFACE_FORMAT_OBJ = 4,   // Wavefront OBJ frames in the source's units, OOGL sphere lists
    SURFACE_FORMAT_STL = 5,   // binary STL frames in the source's units, OOGL sphere lists
};

// How screen dumps are written.
enum DumpFormat : int32_t {
    DUMP_FORMAT_NONE = 0,
    DUMP_FORMAT_PPM = 1,
    DUMP_FORMAT_BMP = 2,
};

// What a change of the automatic correspondence asks for.
enum LinkRequest : int32_t {
    LINK_REDRAW = 0,     // draw the present links again
    LINK_RECOMPUTE = 1,  // link the present spheres anew
    LINK_REEXTRACT = 2,  // extract the spheres again, then link them
};

}  // namespace kestrane
