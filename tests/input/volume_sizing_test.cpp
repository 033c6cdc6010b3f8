#include "input/volume_sizing.h"

#include <gtest/gtest.h>

#include <array>

#include "input/off_reader.h"
#include "input_support.h"

using namespace kestrane;

namespace {

using Dims = std::array<int, 3>;

class VolumeSizingTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        app.min_points = 16;
    }
    static int measure(const std::string& source, const std::string& target, int* failed_side = nullptr)
    {
        TempFile s = file_with(source), t = file_with(target);
        return measure_surfaces(s.get(), t.get(), failed_side);
    }
    static Dims volume() { return {app.volume_dims[0], app.volume_dims[1], app.volume_dims[2]}; }
    static Dims lattice() { return {app.sample_grid_dims[0], app.sample_grid_dims[1], app.sample_grid_dims[2]}; }
};

TEST_F(VolumeSizingTest, TwoCubesOfSideTwo)
{
    std::string cube = box_object({-1, -1, -1}, {1, 1, 1});
    ASSERT_EQ(measure(cube, cube), 0);
    EXPECT_EQ(volume(), (Dims{21, 21, 21}));
    EXPECT_EQ(lattice(), (Dims{22, 30, 22}));
    EXPECT_DOUBLE_EQ(app.view_scale, 2.0 / 21);
    EXPECT_DOUBLE_EQ(app.volumes[0].scale, 8.0);  // 1 / h with h = 0.125
    EXPECT_DOUBLE_EQ(app.volumes[1].scale, 8.0);
    app.resolution = 2;
    ASSERT_EQ(measure(cube, cube), 0);
    EXPECT_EQ(volume(), (Dims{24, 24, 24}));
    EXPECT_EQ(lattice(), (Dims{13, 18, 13}));
}

// What the load's memory depends on: one colour or several (a face's own
// colour, vertex colours), and the objects of a list.
TEST_F(VolumeSizingTest, TellsEachSidesColoursAndObjects)
{
    const std::string plain = box_object({-1, -1, -1}, {1, 1, 1});
    std::string one_face_red = plain;
    one_face_red.insert(one_face_red.rfind('\n'), " 1 0 0");
    const std::string vertex_coloured = box_object({-1, -1, -1}, {1, 1, 1}, false, "COFF", " 0.5 0.2 0.1 1");
    const std::string two = "LIST\n{ " + plain + " }\n{ " + box_object({2, 2, 2}, {3, 3, 3}) + " }\n";
    auto sizing = [](const std::string& source, const std::string& target) {
        TempFile s = file_with(source), t = file_with(target);
        VolumeSizing out{};
        EXPECT_EQ(measure_surfaces(SurfaceInput(s.get()), SurfaceInput(t.get()), SizingParameters{}, &out), 0);
        return out;
    };
    VolumeSizing a = sizing(plain, one_face_red);
    EXPECT_TRUE(a.one_colour[0]);
    EXPECT_FALSE(a.one_colour[1]);
    EXPECT_EQ(a.objects[0], 1);
    // Every vertex the same colour: one colour still.
    VolumeSizing b = sizing(vertex_coloured, two);
    EXPECT_TRUE(b.one_colour[0]);
    EXPECT_TRUE(b.one_colour[1]);
    EXPECT_EQ(b.objects[1], 2);
}

TEST_F(VolumeSizingTest, AVoxelSizeSetsTheGridInsteadOfThePoints)
{
    // 0.125 is the voxel 16 points give the cube of side 2: the same grid.
    const std::string cube = box_object({-1, -1, -1}, {1, 1, 1});
    app.voxel_size = 0.125;
    app.min_points = 500;  // not read
    ASSERT_EQ(measure(cube, cube), 0);
    EXPECT_EQ(volume(), (Dims{21, 21, 21}));
    EXPECT_DOUBLE_EQ(app.volumes[0].scale, 8.0);
    // Along every axis, not only the shortest: a 1 x 2 x 4 box at 0.25.
    app.voxel_size = 0.25;
    ASSERT_EQ(measure(box_object({0, 0, 0}, {1, 2, 4}), box_object({0, 0, 0}, {1, 2, 4})), 0);
    EXPECT_EQ(volume(), (Dims{4 + 5, 8 + 5, 16 + 5}));
    EXPECT_DOUBLE_EQ(app.volumes[1].scale, 4.0);
    // A voxel so small the grid outgrows 16-bit counts is refused, not wrapped.
    app.voxel_size = 1e-6;
    EXPECT_EQ(measure(cube, cube), SURFACE_GRID_TOO_LARGE);
    app.voxel_size = 1e-300;
    EXPECT_EQ(measure(cube, cube), SURFACE_GRID_TOO_LARGE);
    // A flat surface is refused as before, whatever the voxel.
    app.voxel_size = 0.1;
    app.scale_centres = app.scale_sizes = false;
    EXPECT_EQ(measure(box_object({0, 0, 0}, {1, 1, 0}), box_object({0, 0, 0}, {1, 1, 0})), SURFACE_ZERO_EXTENT);
}

TEST_F(VolumeSizingTest, TargetIsScaledToTheSourceBoxVolume)
{
    ASSERT_EQ(measure(box_object({0, 0, 0}, {1, 2, 4}), box_object({10, 10, 10}, {12, 14, 18})), 0);
    const double h = 1.0 / 16;
    EXPECT_DOUBLE_EQ(app.volumes[1].scale, 0.5 / h);  // H = 0.5
    EXPECT_DOUBLE_EQ(app.volumes[0].scale, 1.0 / h);
    // The union box is the source box: 16, 32 and 64 steps plus the margin.
    EXPECT_EQ(volume(), (Dims{21, 37, 69}));
    EXPECT_DOUBLE_EQ(app.volumes[0].centre.z, 2.0);
    EXPECT_DOUBLE_EQ(app.volumes[1].centre.x, 11.0);
    EXPECT_DOUBLE_EQ(app.volumes[1].centre.z, 14.0);
}

TEST_F(VolumeSizingTest, WithoutMatchingTheUnionBoxDecides)
{
    // Without centres both surfaces sit about the union centre.
    app.scale_centres = app.scale_sizes = false;
    ASSERT_EQ(measure(box_object({0, 0, 0}, {1, 1, 1}), box_object({3, 0, 0}, {4, 1, 1})), 0);
    EXPECT_DOUBLE_EQ(app.volumes[0].centre.x, 2.0);
    EXPECT_DOUBLE_EQ(app.volumes[1].centre.x, 2.0);
    EXPECT_DOUBLE_EQ(app.volumes[0].centre.y, 0.5);
    EXPECT_EQ(volume(), (Dims{64 + 5, 16 + 5, 16 + 5}));
    EXPECT_DOUBLE_EQ(app.volumes[1].scale, 16.0);
    // The shortest side of the centred union gets min_points, whichever
    // surface is smaller: 4 x 8 x 4 here.
    app.scale_centres = true;
    ASSERT_EQ(measure(box_object({0, 0, 0}, {4, 4, 4}), box_object({0, 0, 0}, {1, 8, 2})), 0);
    EXPECT_EQ(volume(), (Dims{16 + 5, 32 + 5, 16 + 5}));
    // Beyond any fixed sentinel such as 1e10 the box must still be right.
    std::string far = box_object({1e12, 1e12, 1e12}, {1e12 + 4e6, 1e12 + 4e6, 1e12 + 4e6});
    ASSERT_EQ(measure(far, far), 0);
    EXPECT_EQ(app.volume_dims[0], 21);
    EXPECT_NEAR(app.volumes[0].centre.x, 1e12 + 2e6, 1e5);
}

TEST_F(VolumeSizingTest, OnlyTheSourceIsTransformed)
{
    app.transform[12] = 1;
    app.transform[14] = 3;
    std::string cube = box_object({-1, -1, -1}, {1, 1, 1});
    ASSERT_EQ(measure(cube, cube), 0);
    EXPECT_DOUBLE_EQ(app.volumes[0].centre.x, 1.0);
    EXPECT_DOUBLE_EQ(app.volumes[0].centre.z, 3.0);
    EXPECT_DOUBLE_EQ(app.volumes[1].centre.x, 0.0);
    EXPECT_DOUBLE_EQ(app.volumes[1].centre.z, 0.0);
}

TEST_F(VolumeSizingTest, RefusesBoxesThatCannotBeSized)
{
    std::string cube = box_object({0, 0, 0}, {1, 1, 1});
    std::string flat = box_object({0, 0, 0}, {1, 1, 0});
    // A file without vertices, on either side.
    EXPECT_EQ(measure("", cube), SURFACE_NO_VERTICES);
    EXPECT_EQ(measure(cube, "# only a comment\nappearance { }\n"), SURFACE_NO_VERTICES);
    // A flat target (or source) while sizes are matched: no size factor.
    // The side at fault is told, for a message that names the file.
    int side = -2;
    EXPECT_EQ(measure(cube, flat, &side), SURFACE_FLAT_BOX);
    EXPECT_EQ(side, 1);
    EXPECT_EQ(measure(flat, cube, &side), SURFACE_FLAT_BOX);
    EXPECT_EQ(side, 0);
    EXPECT_EQ(measure(cube, "OFF 3 1", &side), SURFACE_BAD_COUNTS);
    EXPECT_EQ(side, 1);
    // Without size matching a flat target is fine, a flat union is not.
    app.scale_sizes = false;
    EXPECT_EQ(measure(cube, flat), 0);
    EXPECT_EQ(measure(flat, flat, &side), SURFACE_ZERO_EXTENT);
    EXPECT_EQ(side, -1);
    app.scale_centres = false;
    EXPECT_EQ(measure(flat, box_object({5, 5, 0}, {6, 6, 0})), SURFACE_ZERO_EXTENT);
    // Counts beyond 16 bits: 500 points across a side 100 times shorter.
    app.min_points = 500;
    EXPECT_EQ(measure(box_object({0, 0, 0}, {1, 1, 100}), cube), SURFACE_GRID_TOO_LARGE);
    // 32760 voxels fit, but the lattice's rows would not.
    app.min_points = 10;
    EXPECT_EQ(measure(box_object({0, 0, 0}, {1, 3000, 1}), cube), SURFACE_GRID_TOO_LARGE);
    // A reader failure is passed on.
    EXPECT_EQ(measure(cube, "OFF 3 1"), SURFACE_BAD_COUNTS);
}

}  // namespace
