#pragma once
// The OFF-family reader (OFF, COFF, NOFF, CNOFF, in LIST and braces, with
// comments). One call reads a whole open file from its start and hands every
// object, vertex and face to a sink; it owns nothing the sink keeps. Cost:
// linear in the file. Failures are SurfaceStatus codes.
#include <cstdint>
#include <cstdio>

#include "base/vector3.h"

namespace kestrane {
// Results of the two passes over a surface file (sizing and conversion).
// The loader does not tell them apart; the numbers keep tests and logs exact.
enum SurfaceStatus : int {
    SURFACE_OK = 0,
    SURFACE_NO_TIE_BREAK_MEMORY = 1,  // the antialiasing tie-break or row-side grid
    // Counts line without three integers, a vertex or face count below 1 or
    // beyond 32 bits; in conversion also no memory for a grid or an array.
    SURFACE_BAD_COUNTS = 2,
    // Vertex line too short or with a coordinate that is not finite, by the
    // kind of object: colour and normal, colour, normal, plain.
    SURFACE_BAD_CNOFF_VERTEX = 3,
    SURFACE_BAD_COFF_VERTEX = 4,
    SURFACE_BAD_NOFF_VERTEX = 5,
    SURFACE_BAD_OFF_VERTEX = 6,
    // Face vertex count or index missing, not a number, negative, or an index
    // outside the object's vertex list.
    SURFACE_BAD_FACE = 7,
    SURFACE_NO_VERTICES = 8,  // sizing: a file holds no vertex at all
    // The file ends, or a LIST brace arrives, before an object's last face.
    SURFACE_CUT_OFF = 9,
    SURFACE_NOT_CLOSED = 10,       // plain mode: a row crosses the object an odd number of times
    SURFACE_FLAT_BOX = 11,         // sizing: a flat box while sizes are matched
    SURFACE_ZERO_EXTENT = 12,      // sizing: the union box has a zero side
    SURFACE_GRID_TOO_LARGE = 13,   // sizing: a grid or lattice count beyond 16 bits
};

constexpr int TOKEN_CAPACITY = 2048;  // 2047 characters and the terminator
constexpr int MAX_FACE_VERTICES = 2048;
constexpr uint8_t DEFAULT_FACE_RED = 22, DEFAULT_FACE_GREEN = 44, DEFAULT_FACE_BLUE = 22;

// Reads up to and including the next newline (or to end of file).
void skip_rest_of_line(std::FILE* stream);
// The 16-value transform m (column-major, as OpenGL stores matrices) applied
// to (x, y, z, 1) without division.
Vector3 transform_point(const double* m, double x, double y, double z);

// Colour levels 0..31, 0..63, 0..31 from three components, read as 0..255
// values when any exceeds 1 and as 0..1 values otherwise.
uint32_t colour_from_components(float red, float green, float blue);

enum class ReadPass { Sizing, Conversion };

// What a pass does with what the reader finds. Any callback may be empty;
// a non-zero result stops the pass with that code.
struct SurfaceSink {
    void* context = nullptr;
    // After an object's counts line.
    int (*begin_object)(void* context, int32_t vertex_count, int32_t face_count) = nullptr;
    // Each vertex, already transformed when the pass transforms.
    int (*vertex)(void* context, Vector3 position) = nullptr;
    // Each face with its colour (both passes read the colours: the sizing
    // pass tells the load whether a surface has more than one).
    // Faces over MAX_FACE_VERTICES are not kept: indices is null for them.
    // Both passes read a face the same way, so both see the same objects.
    int (*face)(void* context, int32_t n, const int32_t* indices, uint32_t colour) = nullptr;
    // After the object's last face.
    int (*end_object)(void* context) = nullptr;
};

// Runs one pass over the stream from its start. transform: 16 values that
// transform_point applies to every vertex, or null.
int read_surface(std::FILE* stream, ReadPass pass, const double* transform, const SurfaceSink& sink);

}  // namespace kestrane
