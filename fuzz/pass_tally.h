#pragma once
// What the surface fuzz targets share: a tally of what a reading pass meets,
// in order (the sizing and the conversion pass over one input must meet the
// same things), and sizing then scan conversion on a small grid.
#include <cstdint>
#include <vector>

#include "input/off_reader.h"
#include "input/scan_convert.h"
#include "input/surface_input.h"
#include "input/volume_sizing.h"

using namespace kestrane;

// What a pass meets, in order.
struct Tally {
    std::vector<int64_t> events;  // object counts, vertex and face marks, object ends
};

inline SurfaceSink tally_sink(Tally* t)
{
    SurfaceSink sink;
    sink.context = t;
    sink.begin_object = [](void* c, int32_t vertices, int32_t faces) {
        static_cast<Tally*>(c)->events.push_back(int64_t{vertices} << 32 | static_cast<uint32_t>(faces));
        return 0;
    };
    sink.vertex = [](void* c, Vector3) {
        static_cast<Tally*>(c)->events.push_back(-1);
        return 0;
    };
    sink.face = [](void* c, int32_t n, const int32_t*, uint32_t) {
        static_cast<Tally*>(c)->events.push_back(-2 - int64_t{n});
        return 0;
    };
    sink.end_object = [](void* c) {
        static_cast<Tally*>(c)->events.push_back(-3);
        return 0;
    };
    return sink;
}

// Sizes the input against itself and, when the grid is small, converts it
// in both modes.
inline void size_and_convert(const SurfaceInput& input)
{
    constexpr int64_t MAX_VOXELS = 200000;
    SizingParameters p;
    p.min_points = 10;
    VolumeSizing sizing;
    if (measure_surfaces(input, input, p, &sizing) != SURFACE_OK) return;
    const int64_t voxels = int64_t{sizing.volume_dims[0]} * sizing.volume_dims[1] * sizing.volume_dims[2];
    if (voxels > MAX_VOXELS) return;
    std::vector<Voxel> grid(static_cast<size_t>(voxels));
    for (bool antialias : {true, false}) {
        ConversionParameters c;
        c.grid = VoxelGrid{grid.data(), sizing.volume_dims[0], sizing.volume_dims[1], sizing.volume_dims[2]};
        c.centre = sizing.centre[0];
        c.scale = sizing.scale[0];
        c.antialias = antialias;
        convert_surface(input, c, ConversionProgress{});
    }
}
