#include "input/volume_sizing.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/lattice_geometry.h"
#include "input/boundary_edges.h"
#include "input/off_reader.h"

namespace kestrane {
namespace {

struct Box {
    // Infinite bounds, so that a surface far beyond any fixed sentinel still
    // gets its true box; a file without vertices is refused anyway.
    double min[3] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
    double max[3] = {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()};
    long vertices = 0;
    BoundaryEdges boundary;
    long objects = 0;
    long faces = 0;
    uint32_t colour = 0;  // the first face's
    bool one_colour = true;

    double extent(int axis) const { return max[axis] - min[axis]; }
    double centre(int axis) const { return (max[axis] + min[axis]) * 0.5; }
    double volume() const { return extent(0) * extent(1) * extent(2); }
};

int add_vertex(void* context, Vector3 p)
{
    Box& box = *static_cast<Box*>(context);
    const double c[3] = {p.x, p.y, p.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (c[axis] < box.min[axis]) box.min[axis] = c[axis];
        if (c[axis] > box.max[axis]) box.max[axis] = c[axis];
    }
    ++box.vertices;
    box.boundary.vertex(p);
    return SURFACE_OK;
}

int begin_object(void* context, int32_t, int32_t)
{
    Box& box = *static_cast<Box*>(context);
    ++box.objects;
    box.boundary.begin_object();
    return SURFACE_OK;
}

int add_face(void* context, int32_t n, const int32_t* indices, uint32_t colour)
{
    Box& box = *static_cast<Box*>(context);
    if (box.faces++ == 0) box.colour = colour;
    else if (colour != box.colour) box.one_colour = false;
    box.boundary.face(n, indices);
    return SURFACE_OK;
}

int end_object(void* context)
{
    static_cast<Box*>(context)->boundary.end_object();
    return SURFACE_OK;
}

int measure_one(const SurfaceInput& input, const double* transform, Box& box)
{
    SurfaceSink sink;
    sink.context = &box;
    sink.begin_object = begin_object;
    sink.vertex = add_vertex;
    sink.face = add_face;
    sink.end_object = end_object;
    int status = read_surface_input(input, ReadPass::Sizing, transform, sink);
    if (status != SURFACE_OK) return status;
    return box.vertices > 0 ? SURFACE_OK : SURFACE_NO_VERTICES;
}

}  // namespace

int measure_surfaces(const SurfaceInput& source, const SurfaceInput& target, const SizingParameters& p,
                     VolumeSizing* out, int* failed_side)
{
    int unused_side;
    int& side = failed_side ? *failed_side : unused_side;
    Box boxes[2];
    side = 0;
    int status = measure_one(source, p.source_transform, boxes[0]);
    if (status != SURFACE_OK) return status;
    side = 1;
    status = measure_one(target, nullptr, boxes[1]);
    if (status != SURFACE_OK) return status;
    const Box& s = boxes[0];
    const Box& t = boxes[1];

    double size_factor = 1.0;
    if (p.scale_sizes) {
        size_factor = std::pow(s.volume() / t.volume(), 0.3333333333333333);
        // A flat box on either side leaves no finite, non-zero factor.
        if (!std::isfinite(size_factor) || !(size_factor > 0.0)) {
            side = s.volume() > 0.0 ? 1 : 0;
            return SURFACE_FLAT_BOX;
        }
    }
    side = -1;

    double target_min[3], target_max[3], low[3], high[3], extent[3];
    for (int axis = 0; axis < 3; ++axis) {
        double c = t.centre(axis);
        target_min[axis] = c + size_factor * (t.min[axis] - c);
        target_max[axis] = c + size_factor * (t.max[axis] - c);
        if (p.scale_centres) {
            double shift = c - s.centre(axis);
            target_min[axis] -= shift;
            target_max[axis] -= shift;
        }
        low[axis] = std::min(s.min[axis], target_min[axis]);
        high[axis] = std::max(s.max[axis], target_max[axis]);
        extent[axis] = high[axis] - low[axis];
    }

    double smallest = std::min({std::fabs(extent[0]), std::fabs(extent[1]), std::fabs(extent[2])});
    double h = p.voxel_size > 0 ? p.voxel_size : smallest / p.min_points;
    if (!(smallest > 0.0)) return SURFACE_ZERO_EXTENT;
    if (!(h > 0.0) || !std::isfinite(h)) return SURFACE_ZERO_EXTENT;

    const int resolution = std::max<int>(p.resolution, 1);
    const int margin = 3 * resolution + 2;
    int counts[3];
    for (int axis = 0; axis < 3; ++axis) {
        double steps = extent[axis] / h;
        if (!(steps + margin <= GRID_LIMIT)) return SURFACE_GRID_TOO_LARGE;
        counts[axis] = static_cast<int>(std::trunc(steps)) + margin;
    }
    int lattice[3];
    if (!lattice_counts(counts, resolution, lattice)) return SURFACE_GRID_TOO_LARGE;

    for (int axis = 0; axis < 3; ++axis) {
        out->volume_dims[axis] = static_cast<int16_t>(counts[axis]);
        out->sample_grid_dims[axis] = static_cast<int16_t>(lattice[axis]);
    }
    if (p.scale_centres) {
        out->centre[0] = {s.centre(0), s.centre(1), s.centre(2)};
        out->centre[1] = {t.centre(0), t.centre(1), t.centre(2)};
    } else {
        Vector3 middle{(high[0] + low[0]) * 0.5, (high[1] + low[1]) * 0.5, (high[2] + low[2]) * 0.5};
        out->centre[0] = middle;
        out->centre[1] = middle;
    }
    out->scale[0] = 1.0 / h;
    out->scale[1] = size_factor / h;
    out->view_scale = 2.0 / std::max({counts[0], counts[1], counts[2]});
    out->boundary_edges[0] = boxes[0].boundary.count();
    out->boundary_edges[1] = boxes[1].boundary.count();
    for (int b = 0; b < 2; ++b) {
        out->one_colour[b] = boxes[b].one_colour;
        out->objects[b] = boxes[b].objects;
    }
    return SURFACE_OK;
}

}  // namespace kestrane
