#include "input/scan_convert.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/colour.h"
#include "input/off_reader.h"
#include "input/scan_operations.h"

namespace kestrane {
namespace {

constexpr long PROGRESS_STEP = 100;

// One conversion call: the surface grid, the working grids and the object
// being read (its vertices in voxel coordinates). The first object is drawn
// in the surface grid itself (merged into the blank far-outside grid, it
// would only be copied); a grid of its own is made for the second object on.
struct Conversion {
    VoxelGrid surface;
    VoxelGrid temporary;
    std::unique_ptr<Voxel[]> temporary_voxels;  // from the second object on
    long objects_done = 0;
    TieBreaks* tie_break = nullptr;  // antialiased mode only
    RowSides* toggles = nullptr;     // antialiased mode only: row sides
    bool antialias = true;
    double antialias_distance = 0;
    ConversionProgress progress;
    Vector3 centre{0, 0, 0};
    double scale = 0;
    double half_extent[3] = {0, 0, 0};  // where the centre lands on each axis

    std::vector<Vector3> vertices;
    long face_count = 0;
    long faces_done = 0;
    bool dirty = false;  // the working grids hold the previous object
};

void clean_working_grids(Conversion& c)
{
    reset_grid(c.temporary, c.tie_break, 0);
    if (c.toggles) clear_row_sides(*c.toggles);
    c.dirty = false;
}

void report_faces(const Conversion& c, long counter)
{
    if (c.progress.faces_done) c.progress.faces_done(c.progress.context, counter, c.face_count);
}

bool in_place(const Conversion& c) { return c.temporary.voxels == c.surface.voxels; }

// What merging the object drawn in place into the blank surface gives:
// the object wherever it lies above the surface's far-outside distance.
void merge_in_place(const VoxelGrid& grid)
{
    const size_t count = grid.size();
    const Voxel blank{static_cast<int16_t>(-FAR_DISTANCE), blank_colour()};
    for (size_t i = 0; i < count; ++i)
        if (!(grid.voxels[i].distance > blank.distance)) grid.voxels[i] = blank;
}

int begin_object(void* context, int32_t vertex_count, int32_t face_count)
{
    Conversion& c = *static_cast<Conversion*>(context);
    if (c.dirty && in_place(c)) {
        const size_t count = c.surface.size();
        c.temporary_voxels.reset(new (std::nothrow) Voxel[count]);
        if (!c.temporary_voxels) return SURFACE_BAD_COUNTS;
        c.temporary = VoxelGrid{c.temporary_voxels.get(), c.surface.nx, c.surface.ny, c.surface.nz};
    }
    // Cleaned as the next object starts, so the last object costs no clean-up.
    if (c.dirty) clean_working_grids(c);
    c.vertices.clear();
    c.vertices.reserve(static_cast<size_t>(std::min<int32_t>(vertex_count, 1 << 16)));
    c.face_count = face_count;
    c.faces_done = 0;
    return SURFACE_OK;
}

int add_vertex(void* context, Vector3 p)
{
    Conversion& c = *static_cast<Conversion*>(context);
    c.vertices.push_back({(p.x - c.centre.x) * c.scale + c.half_extent[0],
                          (p.y - c.centre.y) * c.scale + c.half_extent[1],
                          (p.z - c.centre.z) * c.scale + c.half_extent[2]});
    return SURFACE_OK;
}

int add_face(void* context, int32_t n, const int32_t* indices, uint32_t colour)
{
    Conversion& c = *static_cast<Conversion*>(context);
    // Faces of fewer than three corners enclose nothing; larger ones than
    // MAX_FACE_VERTICES arrive without indices and are not sampled.
    if (indices && n >= 3) {
        if (c.antialias) {
            sample_polygon(c.temporary, n, c.vertices.data(), indices, colour, c.antialias_distance, *c.tie_break);
            if (c.tie_break->out_of_memory) return SURFACE_NO_TIE_BREAK_MEMORY;
            mark_row_sides(c.temporary, n, c.vertices.data(), indices, *c.toggles);
        } else
            rasterise_polygon(c.temporary, n, c.vertices.data(), indices, colour);
    }
    if (++c.faces_done % PROGRESS_STEP == 0) report_faces(c, c.faces_done);
    return SURFACE_OK;
}

int end_object(void* context)
{
    Conversion& c = *static_cast<Conversion*>(context);
    if (close_object(c.temporary, c.antialias, c.toggles) != 0) return SURFACE_NOT_CLOSED;
    if (in_place(c))
        merge_in_place(c.surface);
    else
        merge_object(c.surface, c.temporary);
    ++c.objects_done;
    c.vertices.clear();
    c.vertices.shrink_to_fit();
    c.dirty = true;
    return SURFACE_OK;
}

}  // namespace

int64_t conversion_working_bytes(int nx, int ny, int nz, bool antialias, bool several_objects)
{
    const int64_t voxels = static_cast<int64_t>(nx) * ny * nz;
    int64_t bytes = several_objects ? voxels * static_cast<int64_t>(sizeof(Voxel)) : 0;
    if (antialias) {
        const int64_t tiles = static_cast<int64_t>(tiles_along(nx)) * tiles_along(ny) * tiles_along(nz);
        const int64_t tie_breaks = tiles * (TILE_ENTRIES * static_cast<int64_t>(sizeof(int16_t)) + 8);
        const int64_t row_sides = static_cast<int64_t>(ny) * nz * ((nx + 63) / 64) * 8;
        bytes += tie_breaks + row_sides;
    }
    return bytes;
}

int convert_surface(const SurfaceInput& input, const ConversionParameters& p, const ConversionProgress& progress)
{
    const VoxelGrid& surface = p.grid;
    if (!input.present() || !surface.voxels || surface.nx <= 0 || surface.ny <= 0 || surface.nz <= 0)
        return SURFACE_BAD_COUNTS;

    TieBreaks tie_break;
    RowSides toggles;
    if (p.antialias && (!make_tie_breaks(tie_break, surface.nx, surface.ny, surface.nz) ||
                        !make_row_sides(toggles, surface.nx, surface.ny, surface.nz)))
        return SURFACE_NO_TIE_BREAK_MEMORY;
    Conversion c;
    c.surface = surface;
    c.temporary = surface;
    c.tie_break = p.antialias ? &tie_break : nullptr;
    c.toggles = p.antialias ? &toggles : nullptr;
    c.antialias = p.antialias;
    c.antialias_distance = p.antialias_distance;
    c.progress = progress;
    c.centre = p.centre;
    c.scale = p.scale;
    c.half_extent[0] = (surface.nx - 1) * 0.5;
    c.half_extent[1] = (surface.ny - 1) * 0.5;
    c.half_extent[2] = (surface.nz - 1) * 0.5;
    reset_grid(c.temporary, c.tie_break, 0);

    SurfaceSink sink;
    sink.context = &c;
    sink.begin_object = begin_object;
    sink.vertex = add_vertex;
    sink.face = add_face;
    sink.end_object = end_object;
    int status = read_surface_input(input, ReadPass::Conversion, p.transform, sink);
    // Without an object merged (none, or the first one failed) the surface
    // is what it is before any: blank and far outside.
    if (c.objects_done == 0) reset_grid(c.surface, nullptr, -FAR_DISTANCE);
    if (status != SURFACE_OK) return status;
    report_faces(c, c.face_count);
    return SURFACE_OK;
}

}  // namespace kestrane
