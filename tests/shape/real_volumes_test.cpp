// The fast paths against their direct counterparts on volumes scan-converted
// from the sample surfaces, as the load pipeline builds them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/pipeline.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"
#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"
#include "shape/sphere_extraction.h"
#include "shape_support.h"

namespace {

class RealVolumesTest : public ShapeTest {};

std::string example(const char* name) { return std::string(KESTRANE_SOURCE_DIR) + "/examples/" + name; }

// Scan-converts two sample surfaces into both volumes; false if that fails.
bool load_examples(const char* source_name, const char* target_name, int points)
{
    app.min_points = static_cast<uint16_t>(points);
    std::FILE* source = std::fopen(example(source_name).c_str(), "r");
    std::FILE* target = std::fopen(example(target_name).c_str(), "r");
    bool ok = source && target && measure_surfaces(source, target) == 0 && allocate_voxels(0) &&
              convert_surface(source, 0) == 0 && allocate_voxels(1) && convert_surface(target, 1) == 0;
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
            ASSERT_EQ(distance_transform(v), 0);
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
