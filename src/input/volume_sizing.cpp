#include "input/volume_sizing.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/app_state.h"
#include "core/status.h"
#include "input/off_reader.h"

namespace {

struct Box {
    // Infinite bounds, so that a surface far beyond any fixed sentinel still
    // gets its true box; a file without vertices is refused anyway.
    double min[3] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
    double max[3] = {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()};
    long vertices = 0;

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
    return SURFACE_OK;
}

int measure_one(std::FILE* stream, bool transform, Box& box)
{
    SurfaceSink sink;
    sink.context = &box;
    sink.vertex = add_vertex;
    int status = read_surface(stream, ReadPass::Sizing, transform, sink);
    if (status != SURFACE_OK) return status;
    return box.vertices > 0 ? SURFACE_OK : SURFACE_NO_VERTICES;
}

constexpr double LATTICE_ROW_STEP = 0.7071;  // lattice rows step 0.7071 voxels along y
constexpr double GRID_LIMIT = 32767.0;       // counts are kept in signed 16 bits

}  // namespace

int measure_surfaces(std::FILE* source, std::FILE* target)
{
    show_info("Calculating size of volumes");
    Box boxes[2];
    int status = measure_one(source, true, boxes[0]);
    if (status != SURFACE_OK) return status;
    status = measure_one(target, false, boxes[1]);
    if (status != SURFACE_OK) return status;
    const Box& s = boxes[0];
    const Box& t = boxes[1];

    double size_factor = 1.0;
    if (app.scale_sizes) {
        size_factor = std::pow(s.volume() / t.volume(), 0.3333333333333333);
        // A flat box on either side leaves no finite, non-zero factor.
        if (!std::isfinite(size_factor) || !(size_factor > 0.0)) return SURFACE_FLAT_BOX;
    }

    double target_min[3], target_max[3], low[3], high[3], extent[3];
    for (int axis = 0; axis < 3; ++axis) {
        double c = t.centre(axis);
        target_min[axis] = c + size_factor * (t.min[axis] - c);
        target_max[axis] = c + size_factor * (t.max[axis] - c);
        if (app.scale_centres) {
            double shift = c - s.centre(axis);
            target_min[axis] -= shift;
            target_max[axis] -= shift;
        }
        low[axis] = std::min(s.min[axis], target_min[axis]);
        high[axis] = std::max(s.max[axis], target_max[axis]);
        extent[axis] = high[axis] - low[axis];
    }

    double smallest = std::min({std::fabs(extent[0]), std::fabs(extent[1]), std::fabs(extent[2])});
    double h = smallest / app.min_points;
    if (!(h > 0.0) || !std::isfinite(h)) return SURFACE_ZERO_EXTENT;

    const int resolution = std::max<int>(app.resolution, 1);
    const int margin = 3 * resolution + 2;
    int counts[3];
    for (int axis = 0; axis < 3; ++axis) {
        double steps = extent[axis] / h;
        if (!(steps + margin <= GRID_LIMIT)) return SURFACE_GRID_TOO_LARGE;
        counts[axis] = static_cast<int>(std::trunc(steps)) + margin;
    }
    int lattice[3] = {(counts[0] - 1) / resolution + 2, 0, (counts[2] - 1) / resolution + 2};
    double rows = std::trunc((counts[1] - 1) / (resolution * LATTICE_ROW_STEP)) + 2;
    if (rows > GRID_LIMIT) return SURFACE_GRID_TOO_LARGE;
    lattice[1] = static_cast<int>(rows);

    for (int axis = 0; axis < 3; ++axis) {
        app.volume_dims[axis] = static_cast<int16_t>(counts[axis]);
        app.sample_grid_dims[axis] = static_cast<int16_t>(lattice[axis]);
    }

    Volume& source_volume = app.volumes[0];
    Volume& target_volume = app.volumes[1];
    if (app.scale_centres) {
        source_volume.centre = {s.centre(0), s.centre(1), s.centre(2)};
        target_volume.centre = {t.centre(0), t.centre(1), t.centre(2)};
    } else {
        Vector3 middle{(high[0] + low[0]) * 0.5, (high[1] + low[1]) * 0.5, (high[2] + low[2]) * 0.5};
        source_volume.centre = middle;
        target_volume.centre = middle;
    }
    source_volume.scale = 1.0 / h;
    target_volume.scale = size_factor / h;

    show_info("Interpolated volume is %hu by %hu by %hu voxels.\n", static_cast<unsigned short>(counts[0]),
              static_cast<unsigned short>(counts[1]), static_cast<unsigned short>(counts[2]));
    app.view_scale = 2.0 / std::max({counts[0], counts[1], counts[2]});
    return SURFACE_OK;
}
