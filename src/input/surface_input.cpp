#include "input/surface_input.h"

namespace kestrane {
int read_surface_input(const SurfaceInput& input, ReadPass pass, const double* transform, const SurfaceSink& sink)
{
    if (input.mesh) return replay_mesh(*input.mesh, pass, transform, sink);
    return read_surface(input.stream, pass, transform, sink);
}

const char* surface_status_reason(int status)
{
    switch (status) {
    case SURFACE_OK:
        return "was read";
    case SURFACE_NO_TIE_BREAK_MEMORY:
        return "needs more memory than there is for its working grids";
    case SURFACE_BAD_COUNTS:
        return "has an object whose counts line is not three counts of at least 1, or needs more memory than there is";
    case SURFACE_BAD_CNOFF_VERTEX:
    case SURFACE_BAD_COFF_VERTEX:
    case SURFACE_BAD_NOFF_VERTEX:
    case SURFACE_BAD_OFF_VERTEX:
        return "has a vertex line that is too short or holds something that is not a finite number";
    case SURFACE_BAD_FACE:
        return "has a face that names a vertex its object does not have";
    case SURFACE_NO_VERTICES:
        return "holds no vertices (no OFF, COFF, NOFF or CNOFF object, and no other known mesh format)";
    case SURFACE_CUT_OFF:
        return "ends inside an object (fewer vertices or faces than its counts line says)";
    case SURFACE_NOT_CLOSED:
        return "is not closed: a row of voxels crosses it an odd number of times";
    case SURFACE_FLAT_BOX:
        return "has no thickness (all its vertices lie in one plane across an axis), so its size cannot be "
               "matched to the other surface's; -z keeps each surface's own size";
    case SURFACE_ZERO_EXTENT:
        return "together have no thickness along one axis";
    case SURFACE_GRID_TOO_LARGE:
        return "would need a grid of more than 32767 voxels along an axis (fewer points with -p help)";
    default:
        return "could not be read";
    }
}

}  // namespace kestrane
