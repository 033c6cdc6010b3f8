// The bundled sample surfaces convert in both modes, inside where expected.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "input/scan_convert.h"
#include "input/volume_sizing.h"
#include "input_support.h"

using namespace kestrane;

namespace {

class ExamplesTest : public InputTest {
protected:
    // Sizes the example against itself and converts it as the target.
    int load(const char* name)
    {
        std::string path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + name;
        TempFile a(std::fopen(path.c_str(), "r")), b(std::fopen(path.c_str(), "r"));
        if (!a || !b) return -1;
        app.min_points = 24;
        int status = measure_surfaces(a.get(), b.get());
        if (status != 0) return status;
        app.volumes[1].voxels.reset(new Voxel[static_cast<size_t>(voxel_count())]);
        return convert_surface(b.get(), 1);
    }
    // Value at a surface point given in the file's own units.
    static int16_t value_at(double x, double y, double z)
    {
        const Volume& v = app.volumes[1];
        auto voxel = [&](double p, double c, int axis) {
            return static_cast<int>(std::lround((p - c) * v.scale + (app.volume_dims[axis] - 1) * 0.5));
        };
        return distance_at(1, voxel(x, v.centre.x, 0), voxel(y, v.centre.y, 1), voxel(z, v.centre.z, 2));
    }
};

TEST_F(ExamplesTest, ConvertInBothModesInsideWhereExpected)
{
    long ball_inside[2] = {0, 0};
    for (bool antialias : {false, true}) {
        app.antialias = antialias;
        for (const char* name : {"box.off", "cube_coloured.off", "blob_normals.off", "icosphere.off"}) {
            ASSERT_EQ(load(name), 0) << name << " antialias " << antialias;
            EXPECT_EQ(value_at(0, 0, 0), 32000) << name;
        }
        for (int16_t d : distances(1)) ball_inside[antialias] += d > 0;
        ASSERT_EQ(load("torus.off"), 0) << antialias;
        EXPECT_EQ(value_at(0, 0, 0), -32000);
        EXPECT_GT(value_at(1, 0, 0), 0);
        EXPECT_GT(value_at(0, -1, 0), 0);
        ASSERT_EQ(load("two_spheres.off"), 0) << antialias;
        EXPECT_EQ(value_at(-1.2, 0, 0), 32000);
        EXPECT_EQ(value_at(1.0, 0.1, 0), 32000);
        EXPECT_GT(value_at(0.05, 0.05, 0), 0);  // where they overlap
        EXPECT_LT(value_at(0.3, 0.9, 0), 0);
    }
    // The unit icosphere at 24 points: a ball of radius 12 voxels, slightly
    // less for the flat faces (the 1280-face polyhedron holds 98% of it).
    const double r = 12, ball = 4.0 / 3.0 * M_PI * r * r * r * 0.98;
    EXPECT_NEAR(ball_inside[1], ball, ball * 0.02);
    // Plain mode counts each crossing voxel as inside: about half a voxel
    // more over the two halves of the ball seen along x.
    const double crossing_layer = 2 * M_PI * r * r * 0.5;
    EXPECT_NEAR(ball_inside[0] - ball_inside[1], crossing_layer, crossing_layer * 0.25);
}

}  // namespace
