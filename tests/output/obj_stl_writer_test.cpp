// OBJ and STL frames read back: the source's units (the PLY frames'
// mapping), normals, colours, the STL header; and the frame and sphere file
// names.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "output/obj_writer.h"
#include "output/sphere_writers.h"
#include "output/stl_writer.h"
#include "output/surface_writers.h"

using namespace kestrane;

namespace {

std::string read_all(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

float float_at(const std::string& bytes, size_t offset)
{
    float f;
    std::memcpy(&f, bytes.data() + offset, 4);
    return f;
}

class ObjStlWriters : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrane-objstl-XXXXXX";
        dir = mkdtemp(pattern);
        // A tetrahedron's corner, counter-clockwise from outside, and a
        // degenerate triangle; the grid placed as in the PLY test.
        mesh.vertices = {{0, 0, 0, -18475, -18475, -18475, 0x7a1f3f1fu},
                         {64, 0, 0, 32000, 0, 0, 0x00000a00u},
                         {0, 64, 0, 0, 32000, 0, 0x00ff0001u},
                         {0, 0, 64, 0, 0, 32000, 0}};
        mesh.triangles = {{{0, 2, 1}}, {{0, 1, 3}}, {{1, 1, 2}}};
        placement.centre = {1.5, -2.0, 0.25};
        placement.scale = 8.0;
        placement.volume_dims[0] = 21;
        placement.volume_dims[1] = 24;
        placement.volume_dims[2] = 9;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string dir;
    SurfaceMesh mesh;
    SourcePlacement placement;
};

TEST_F(ObjStlWriters, ObjHoldsColouredVerticesNormalsAndFacesInTheSourcesUnits)
{
    ASSERT_EQ(write_surface(mesh, dir + "/m.obj", SURFACE_FORMAT_OBJ, placement), 0);
    // (0, 0, 0) in mesh units: x voxel 10 of 21 is the centre, y voxel 11 of
    // 24 half a voxel below it, z voxel 4 of 9 the centre; 1/8 unit a voxel.
    const std::string expected =
        "# Kestrane morph frame in the units of the source surface\n# 4 vertices, 3 triangles\n"
        "v 1.5 -2.0625 0.25 1.0000 1.0000 1.0000\n"
        "v 1.625 -2.0625 0.25 0.0000 0.1569 0.0000\n"
        "v 1.5 -1.9375 0.25 0.0314 0.0000 0.0000\n"
        "v 1.5 -2.0625 0.375 0.0000 0.0000 0.0000\n"
        "vn -0.57735 -0.57735 -0.57735\nvn 1.00000 0.00000 0.00000\n"
        "vn 0.00000 1.00000 0.00000\nvn 0.00000 0.00000 1.00000\n"
        "f 1//1 3//3 2//2\nf 1//1 2//2 4//4\nf 2//2 2//2 3//3\n";
    EXPECT_EQ(read_all(dir + "/m.obj"), expected);
    EXPECT_EQ(write_obj(mesh, dir + "/missing/m.obj", placement), 1);
}

TEST_F(ObjStlWriters, StlHoldsFacetsWithGeometricNormalsInTheSourcesUnits)
{
    ASSERT_EQ(write_surface(mesh, dir + "/m.stl", SURFACE_FORMAT_STL, placement), 0);
    const std::string bytes = read_all(dir + "/m.stl");
    ASSERT_EQ(bytes.size(), STL_HEADER_BYTES + 4 + 3 * STL_TRIANGLE_BYTES);
    // Readers take a file starting "solid" for ASCII STL.
    EXPECT_EQ(bytes.compare(0, 8, "Kestrane"), 0);
    EXPECT_EQ(bytes[STL_HEADER_BYTES], 3);
    // (0 2 1) faces -z, (0 1 3) faces -y, the degenerate one has none.
    const float normals[3][3] = {{0, 0, -1}, {0, -1, 0}, {0, 0, 0}};
    for (int t = 0; t < 3; ++t) {
        const size_t record = STL_HEADER_BYTES + 4 + t * STL_TRIANGLE_BYTES;
        for (int axis = 0; axis < 3; ++axis) EXPECT_FLOAT_EQ(float_at(bytes, record + 4 * axis), normals[t][axis]);
        for (int corner = 0; corner < 3; ++corner) {
            const Vector3 p = source_position(mesh.vertices[mesh.triangles[t].v[corner]], placement);
            EXPECT_FLOAT_EQ(float_at(bytes, record + 12 + 12 * corner), static_cast<float>(p.x));
            EXPECT_FLOAT_EQ(float_at(bytes, record + 20 + 12 * corner), static_cast<float>(p.z));
        }
        EXPECT_EQ(bytes.substr(record + 48, 2), std::string(2, '\0'));
    }
    ASSERT_EQ(write_stl(SurfaceMesh{}, dir + "/empty.stl", placement), 0);
    EXPECT_EQ(read_all(dir + "/empty.stl").size(), STL_HEADER_BYTES + 4);
    EXPECT_EQ(write_stl(mesh, dir + "/missing/m.stl", placement), 1);
}

TEST(FrameNames, ObjAndStlPaddedToTheFrameCountOthersAsAlwaysSpheresBesideThem)
{
    EXPECT_EQ(frame_file_name("m", 0, 20, SURFACE_FORMAT_OBJ), "m01.obj");
    EXPECT_EQ(frame_file_name("out/m", 0, 100, SURFACE_FORMAT_STL), "out/m001.stl");
    EXPECT_EQ(frame_file_name("m", 99, 100, SURFACE_FORMAT_OBJ), "m100.obj");
    EXPECT_EQ(frame_file_name("m", 8, 9, SURFACE_FORMAT_STL), "m9.stl");
    // Stored checksums and callers rely on these.
    EXPECT_EQ(frame_file_name("m", 0, 20, SURFACE_FORMAT_OOGL), "m001.off");
    EXPECT_EQ(frame_file_name("m", 4, 9, SURFACE_FORMAT_VRML), "m005.wrl");
    EXPECT_EQ(frame_file_name("m", 1499, 1500, SURFACE_FORMAT_PLY), "m1500.ply");

    EXPECT_EQ(sphere_file_path("morph", 0, 20, SURFACE_FORMAT_OOGL), "sphere001.sph");
    EXPECT_EQ(sphere_file_path("out/frames/m", 1, 20, SURFACE_FORMAT_VRML), "out/frames/sphere020.wrl");
    EXPECT_EQ(sphere_file_path("/m", 1, 5, SURFACE_FORMAT_STL), "/sphere005.sph");
}

}  // namespace
