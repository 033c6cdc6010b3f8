// OBJ and STL frames read back: counts, the source's units (the PLY frames'
// mapping), normals, colours, the STL header; and the frame names of every
// format.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "output/obj_writer.h"
#include "output/sphere_writers.h"
#include "output/stl_writer.h"
#include "output/surface_writers.h"

using namespace kestrane;

namespace {

struct Scratch {
    Scratch()
    {
        char pattern[] = "/tmp/kestrane-objstl-XXXXXX";
        dir = mkdtemp(pattern);
    }
    ~Scratch() { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};

std::string read_all(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Two triangles of a tetrahedron's corner, wound counter-clockwise seen
// from outside, and a degenerate one; placed as the PLY test places its mesh.
SurfaceMesh corner_mesh()
{
    SurfaceMesh m;
    m.vertices = {{0, 0, 0, -18475, -18475, -18475, 0x7a1f3f1fu},
                  {64, 0, 0, 32000, 0, 0, 0x00000a00u},
                  {0, 64, 0, 0, 32000, 0, 0x00ff0001u},
                  {0, 0, 64, 0, 0, 32000, 0}};
    m.triangles = {{{0, 2, 1}}, {{0, 1, 3}}, {{1, 1, 2}}};
    return m;
}

SourcePlacement placement()
{
    SourcePlacement p;
    p.centre = {1.5, -2.0, 0.25};
    p.scale = 8.0;
    p.volume_dims[0] = 21;
    p.volume_dims[1] = 24;
    p.volume_dims[2] = 9;
    return p;
}

float float_at(const std::string& bytes, size_t offset)
{
    float f;
    std::memcpy(&f, bytes.data() + offset, 4);
    return f;
}

TEST(ObjWriter, VerticesWithColoursNormalsAndFacesInTheSourcesUnits)
{
    Scratch s;
    const SurfaceMesh m = corner_mesh();
    ASSERT_EQ(write_surface(m, s.dir + "/m.obj", SURFACE_FORMAT_OBJ, placement()), 0);
    std::istringstream text(read_all(s.dir + "/m.obj"));
    std::vector<std::vector<double>> v, vn;
    std::vector<std::string> faces;
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        std::vector<double> numbers;
        double x;
        if (kind == "f") faces.push_back(line);
        else
            while (fields >> x) numbers.push_back(x);
        if (kind == "v") v.push_back(numbers);
        if (kind == "vn") vn.push_back(numbers);
        EXPECT_TRUE(kind == "#" || kind == "v" || kind == "vn" || kind == "f") << line;
    }
    ASSERT_EQ(v.size(), 4u);
    ASSERT_EQ(vn.size(), 4u);
    EXPECT_EQ(faces, (std::vector<std::string>{"f 1//1 3//3 2//2", "f 1//1 2//2 4//4", "f 2//2 2//2 3//3"}));
    // Every position equals the PLY writer's.
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(v[i].size(), 6u);
        const Vector3 p = source_position(m.vertices[i], placement());
        EXPECT_NEAR(v[i][0], p.x, 1e-7);
        EXPECT_NEAR(v[i][1], p.y, 1e-7);
        EXPECT_NEAR(v[i][2], p.z, 1e-7);
        const double length = std::sqrt(vn[i][0] * vn[i][0] + vn[i][1] * vn[i][1] + vn[i][2] * vn[i][2]);
        EXPECT_NEAR(length, 1.0, 1e-4) << i;
    }
    EXPECT_DOUBLE_EQ(v[1][0] - v[0][0], 1.0 / 8);  // a voxel is 1/scale source units
    EXPECT_NEAR(vn[0][0], -0.57735, 1e-4);
    // Colours as 0..1: full levels are 1, a negative (signed) byte is 0.
    EXPECT_EQ(std::vector<double>(v[0].begin() + 3, v[0].end()), (std::vector<double>{1, 1, 1}));
    EXPECT_NEAR(v[1][4], 40 / 255.0, 1e-4);
    EXPECT_NEAR(v[2][3], 8 / 255.0, 1e-4);
    EXPECT_EQ(v[2][4], 0.0);
    EXPECT_EQ(write_obj(m, s.dir + "/missing/m.obj", placement()), 1);
}

TEST(StlWriter, BinaryFacetsWithGeometricNormalsInTheSourcesUnits)
{
    Scratch s;
    const SurfaceMesh m = corner_mesh();
    ASSERT_EQ(write_surface(m, s.dir + "/m.stl", SURFACE_FORMAT_STL, placement()), 0);
    const std::string bytes = read_all(s.dir + "/m.stl");
    ASSERT_EQ(bytes.size(), STL_HEADER_BYTES + 4 + 3 * STL_TRIANGLE_BYTES);
    // Readers take a file starting "solid" for ASCII STL.
    EXPECT_NE(bytes.compare(0, 5, "solid"), 0);
    EXPECT_EQ(bytes.compare(0, 8, "Kestrane"), 0);
    uint32_t count;
    std::memcpy(&count, bytes.data() + STL_HEADER_BYTES, 4);
    EXPECT_EQ(count, 3u);
    const size_t first = STL_HEADER_BYTES + 4;
    // (0 2 1) lies in z = const and faces -z; (0 1 3) in y = const, facing -y.
    const float expected_normals[3][3] = {{0, 0, -1}, {0, -1, 0}, {0, 0, 0}};
    for (int t = 0; t < 3; ++t) {
        const size_t record = first + t * STL_TRIANGLE_BYTES;
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_FLOAT_EQ(float_at(bytes, record + 4 * axis), expected_normals[t][axis]) << t << " " << axis;
        for (int corner = 0; corner < 3; ++corner) {
            const Vector3 p = source_position(m.vertices[m.triangles[t].v[corner]], placement());
            EXPECT_FLOAT_EQ(float_at(bytes, record + 12 + 12 * corner), static_cast<float>(p.x));
            EXPECT_FLOAT_EQ(float_at(bytes, record + 12 + 12 * corner + 8), static_cast<float>(p.z));
        }
        EXPECT_EQ(bytes[record + 48], 0);
        EXPECT_EQ(bytes[record + 49], 0);
    }
    ASSERT_EQ(write_stl(SurfaceMesh{}, s.dir + "/empty.stl", placement()), 0);
    EXPECT_EQ(read_all(s.dir + "/empty.stl").size(), STL_HEADER_BYTES + 4);
    EXPECT_EQ(write_stl(m, s.dir + "/missing/m.stl", placement()), 1);
}

TEST(FrameNames, ObjAndStlPaddedToTheFrameCountOthersAsAlways)
{
    EXPECT_EQ(frame_file_name("m", 0, 20, SURFACE_FORMAT_OBJ), "m01.obj");
    EXPECT_EQ(frame_file_name("m", 19, 20, SURFACE_FORMAT_STL), "m20.stl");
    EXPECT_EQ(frame_file_name("out/m", 0, 100, SURFACE_FORMAT_OBJ), "out/m001.obj");
    EXPECT_EQ(frame_file_name("m", 99, 100, SURFACE_FORMAT_OBJ), "m100.obj");
    EXPECT_EQ(frame_file_name("m", 8, 9, SURFACE_FORMAT_STL), "m9.stl");
    EXPECT_EQ(frame_file_name("m", 1233, 1500, SURFACE_FORMAT_STL), "m1234.stl");
    // Stored checksums and callers rely on these.
    EXPECT_EQ(frame_file_name("m", 0, 20, SURFACE_FORMAT_OOGL), "m001.off");
    EXPECT_EQ(frame_file_name("m", 4, 9, SURFACE_FORMAT_VRML), "m005.wrl");
    EXPECT_EQ(frame_file_name("m", 1499, 1500, SURFACE_FORMAT_PLY), "m1500.ply");
}

TEST(FrameNames, SphereFilesBesideTheFrames)
{
    EXPECT_EQ(sphere_file_path("morph", 0, 20, SURFACE_FORMAT_OOGL), "sphere001.sph");
    EXPECT_EQ(sphere_file_path("out/frames/m", 1, 20, SURFACE_FORMAT_VRML), "out/frames/sphere020.wrl");
    EXPECT_EQ(sphere_file_path("/m", 1, 5, SURFACE_FORMAT_STL), "/sphere005.sph");
    EXPECT_EQ(sphere_file_path("out/", 0, 5, SURFACE_FORMAT_OBJ), "out/sphere001.sph");
}

}  // namespace
