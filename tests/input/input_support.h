#pragma once
// Helpers shared by the input tests: surfaces written to temporary files,
// and a prepared grid.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/scratch_state.h"
#include "base/vector3.h"
#include "base/voxel_grid.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"

using namespace kestrane;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TempFile = std::unique_ptr<std::FILE, FileCloser>;

// A temporary file holding text, opened for reading and writing.
inline TempFile file_with(const std::string& text)
{
    std::FILE* f = std::tmpfile();
    if (f) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::rewind(f);
    }
    return TempFile(f);
}

// A box from lo to hi as six quadrilaterals (or twelve triangles),
// counter-clockwise seen from outside unless inward is set. extra_vertex adds
// text to each vertex line.
inline std::string box_object(Vector3 lo, Vector3 hi, bool inward = false, const char* keyword = "OFF",
                              const char* extra_vertex = "", bool triangles = false)
{
    static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                    {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::string text = std::string(keyword) + (triangles ? "\n8 12 18\n" : "\n8 6 12\n");
    char line[256];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g%s\n", (i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y,
                      (i & 4) ? hi.z : lo.z, extra_vertex);
        text += line;
    }
    auto polygon = [&](std::vector<int> corners) {
        if (inward) std::reverse(corners.begin(), corners.end());
        text += std::to_string(corners.size());
        for (int c : corners) text += " " + std::to_string(c);
        text += "\n";
    };
    for (const auto& f : faces) {
        if (!triangles) {
            polygon({f[0], f[1], f[2], f[3]});
        } else {
            // Split along the second diagonal, keeping a right angle at a first corner.
            polygon({f[0], f[1], f[3]});
            polygon({f[1], f[2], f[3]});
        }
    }
    return text;
}

// Every test starts from the default parameters.
class InputTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        release_volumes();
        app.source_path = "source.off";
        app.target_path = "target.off";
    }
    void TearDown() override
    {
        release_volumes();
        for (int16_t& d : app.volume_dims) d = 0;
    }

    // A cubic grid of n voxels a side for volume `which`, placing surface
    // point `centre` at the grid centre with `scale` voxels per unit.
    static void prepare_grid(int which, int n, Vector3 centre = {0, 0, 0}, double scale = 1.0)
    {
        app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = static_cast<int16_t>(n);
        app.volumes[which].centre = centre;
        app.volumes[which].scale = scale;
        app.volumes[which].voxels.reset(new Voxel[static_cast<size_t>(n) * n * n]);
    }

    static const Voxel& voxel_at(int which, int x, int y, int z)
    {
        return app.volumes[which].voxels[(static_cast<size_t>(z) * app.volume_dims[1] + y) * app.volume_dims[0] + x];
    }
    static int16_t distance_at(int which, int x, int y, int z) { return voxel_at(which, x, y, z).distance; }
    static uint32_t colour_at(int which, int x, int y, int z) { return voxel_at(which, x, y, z).colour; }

    static std::vector<int16_t> distances(int which)
    {
        size_t count = static_cast<size_t>(voxel_count());
        std::vector<int16_t> out(count);
        for (size_t i = 0; i < count; ++i) out[i] = app.volumes[which].voxels[i].distance;
        return out;
    }
};

// The sizing and conversion passes over the parameters and volumes of the
// global record, as the load uses them (without its status messages).
inline int measure_surfaces(const SurfaceInput& source, const SurfaceInput& target, int* failed_side = nullptr)
{
    SizingParameters p;
    p.min_points = app.min_points;
    p.voxel_size = app.voxel_size;
    p.resolution = app.resolution;
    p.scale_centres = app.scale_centres;
    p.scale_sizes = app.scale_sizes;
    p.source_transform = app.transform;
    VolumeSizing out;
    int status = measure_surfaces(source, target, p, &out, failed_side);
    if (status != 0) return status;
    for (int axis = 0; axis < 3; ++axis) {
        app.volume_dims[axis] = out.volume_dims[axis];
        app.sample_grid_dims[axis] = out.sample_grid_dims[axis];
    }
    for (int side = 0; side < 2; ++side) {
        app.volumes[side].centre = out.centre[side];
        app.volumes[side].scale = out.scale[side];
    }
    app.view_scale = out.view_scale;
    return 0;
}

inline int convert_surface(const SurfaceInput& input, int side)
{
    ConversionParameters p;
    p.grid = grid_of(app.volumes[side].voxels.get(), app.volume_dims);
    p.centre = app.volumes[side].centre;
    p.scale = app.volumes[side].scale;
    p.transform = side == 0 ? app.transform : nullptr;
    p.antialias = app.antialias;
    p.antialias_distance = app.antialias_distance;
    return convert_surface(input, p, ConversionProgress{});
}
