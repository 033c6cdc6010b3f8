// The fast paths against their direct counterparts on volumes scan-converted
// from the sample surfaces, as the load pipeline builds them.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "input/scan_convert.h"
#include "input/volume_sizing.h"
#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"
#include "shape/field_summary.h"
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

// The frames read a finished volume split into packed distances and colour
// tiles: every read of the split field equals the read of its voxels, inside
// the grid, beyond it and on its edges, for a coloured and a plain surface.
TEST_F(RealVolumesTest, SplitFieldsReadWhatTheirVoxelsRead)
{
    ASSERT_TRUE(load_examples("cube_coloured.off", "torus.off", 40));
    const int n[3] = {app.volume_dims[0], app.volume_dims[1], app.volume_dims[2]};
    VolumeField split[2];
    FieldView whole[2], parts[2];
    for (int v = 0; v < 2; ++v) {
        distance_transform(v);
        ASSERT_TRUE(split_voxels(grid_of(app.volumes[v].voxels.get(), app.volume_dims), &split[v]));
        whole[v] = field(v);
        parts[v] = field_view(split[v]);
    }
    EXPECT_GT(tiles_with_own_colours(split[0].colours), 0u);
    EXPECT_LT(tiles_with_own_colours(split[1].colours), split[1].colours.uniform.size() / 4);

    std::mt19937 random(11);
    auto coordinate = [&](int axis) {
        return std::uniform_real_distribution<double>(-3.0, n[axis] + 2.0)(random);
    };
    for (int v = 0; v < 2; ++v) {
        for (int i = 0; i < 20000; ++i) {
            const double x = coordinate(0), y = coordinate(1), z = coordinate(2);
            ASSERT_EQ(sample_distance(parts[v], x, y, z), sample_distance(whole[v], x, y, z)) << x << " " << y << " " << z;
            ASSERT_EQ(sample_colour(parts[v], x, y, z), sample_colour(whole[v], x, y, z)) << x << " " << y << " " << z;
        }
        // The grid's last voxel on every axis, and a corner.
        const double far[3] = {n[0] - 1.0, n[1] - 1.0, n[2] - 1.0};
        EXPECT_EQ(sample_colour(parts[v], far[0], far[1], far[2]), sample_colour(whole[v], far[0], far[1], far[2]));
        EXPECT_EQ(sample_distance(parts[v], 0, 0, 0), sample_distance(whole[v], 0, 0, 0));

        const FieldSummary a = summarise_field(parts[v]), b = summarise_field(whole[v]);
        EXPECT_EQ(a.shell_greatest, b.shell_greatest);
        for (int i = 0; i < 2000; ++i) {
            PointBox box;
            for (int axis = 0; axis < 3; ++axis) {
                const double p = coordinate(axis), q = coordinate(axis);
                box.lo[axis] = std::min(p, q);
                box.hi[axis] = std::max(p, q);
            }
            const FieldRange ra = distance_range(a, box), rb = distance_range(b, box);
            ASSERT_EQ(ra.lo, rb.lo);
            ASSERT_EQ(ra.hi, rb.hi);
        }
        std::vector<Sphere> from_parts, from_whole;
        ASSERT_EQ(extract_spheres(parts[v], 1.0, &from_parts, SphereExtractionOptions{}), EXTRACT_DONE);
        ASSERT_EQ(extract_spheres(whole[v], 1.0, &from_whole, SphereExtractionOptions{}), EXTRACT_DONE);
        EXPECT_TRUE(same_spheres(from_parts, from_whole));
    }

    // A morph over the split fields samples what it samples over the voxels.
    ASSERT_EQ(extract_spheres(0), 0);
    ASSERT_EQ(extract_spheres(1), 0);
    ASSERT_EQ(correspond_spheres(), 0);
    MorphInputs over_parts = inputs(), over_whole = inputs();
    over_parts.fields[0] = parts[0];
    over_parts.fields[1] = parts[1];
    for (int i = 0; i < 5000; ++i) {
        const Vector3 p{coordinate(0), coordinate(1), coordinate(2)};
        const double t = std::uniform_real_distribution<double>(0.0, 1.0)(random);
        uint32_t ca = 0, cb = 0;
        ASSERT_EQ(morph_sample(over_parts, p, t, &ca), morph_sample(over_whole, p, t, &cb));
        ASSERT_EQ(ca, cb);
    }
}

}  // namespace
