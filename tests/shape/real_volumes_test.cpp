// The fast paths against their direct counterparts on volumes scan-converted
// from the sample surfaces, as the load pipeline builds them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "input/scan_convert.h"
#include "input/volume_sizing.h"
#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"
#include "shape/sphere_extraction.h"
#include "shape_support.h"

using namespace kestrane;

namespace {

class RealVolumesTest : public ShapeTest {};

std::string example(const char* name) { return std::string(KESTRANE_SOURCE_DIR) + "/examples/" + name; }

bool convert_into(std::FILE* file, int v, const VolumeSizing& sizing)
{
    app.volumes[v].voxels.reset(new Voxel[static_cast<size_t>(voxel_count())]);
    ConversionParameters p;
    p.grid = grid_of(app.volumes[v].voxels.get(), app.volume_dims);
    p.centre = sizing.centre[v];
    p.scale = sizing.scale[v];
    return convert_surface(file, p, ConversionProgress{}) == 0;
}

// Scan-converts two sample surfaces into both volumes; false if that fails.
bool load_examples(const char* source_name, const char* target_name, int points)
{
    SizingParameters p;
    p.min_points = static_cast<uint16_t>(points);
    VolumeSizing sizing;
    std::FILE* source = std::fopen(example(source_name).c_str(), "r");
    std::FILE* target = std::fopen(example(target_name).c_str(), "r");
    bool ok = source && target && measure_surfaces(source, target, p, &sizing) == 0;
    if (ok) {
        for (int a = 0; a < 3; ++a) app.volume_dims[a] = sizing.volume_dims[a];
        ok = convert_into(source, 0, sizing) && convert_into(target, 1, sizing);
    }
    if (source) std::fclose(source);
    if (target) std::fclose(target);
    return ok;
}

TEST_F(RealVolumesTest, FastTransformAndGridSelectionMatchTheirOracles)
{
    const char* pairs[][2] = {{"torus.off", "two_spheres.off"}, {"icosphere.off", "box.off"}};
    for (const auto& pair : pairs) {
        ASSERT_TRUE(load_examples(pair[0], pair[1], 40)) << pair[0];
        const int nx = app.volume_dims[0], ny = app.volume_dims[1], nz = app.volume_dims[2];
        for (int v = 0; v < 2; ++v) {
            Voxel* grid = app.volumes[v].voxels.get();
            std::vector<Voxel> direct(grid, grid + voxel_count());
            direct_distance_transform(direct.data(), nx, ny, nz);
            distance_transform(v);
            ASSERT_EQ(std::memcmp(direct.data(), grid, direct.size() * sizeof(Voxel)), 0) << pair[v];

            for (double locality : {0.3, 1.0}) {
                app.locality = locality;
                SphereExtractionOptions rescanning;
                rescanning.direct_selection = true;
                ASSERT_EQ(extract_spheres_with(v, rescanning), 0);
                std::vector<Sphere> expected = app.volumes[v].spheres;
                ASSERT_EQ(extract_spheres(v), 0);
                EXPECT_TRUE(same_spheres(app.volumes[v].spheres, expected)) << pair[v] << " " << locality;
            }
        }
        release_volumes();
    }
}

}  // namespace
