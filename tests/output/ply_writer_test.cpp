// PLY frames: the header and binary records read back with a reader of the
// test's own, and the way back from mesh units to the source's units.
#include "output/ply_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "base/status.h"
#include "output/surface_writers.h"

namespace {

struct PlyVertex {
    float position[3], normal[3];
    unsigned char colour[3];
};

struct PlyFile {
    std::string header;
    std::vector<PlyVertex> vertices;
    std::vector<std::vector<int32_t>> faces;
};

// Reads the records the header announces; fails on anything left over.
PlyFile read_ply(const std::string& bytes, size_t vertex_count, size_t face_count)
{
    PlyFile out;
    const size_t end = bytes.find("end_header\n");
    EXPECT_NE(end, std::string::npos);
    out.header = bytes.substr(0, end + 11);
    size_t pos = out.header.size();
    auto take = [&](void* into, size_t n) {
        EXPECT_LE(pos + n, bytes.size());
        if (pos + n <= bytes.size()) std::memcpy(into, bytes.data() + pos, n);
        pos += n;
    };
    for (size_t i = 0; i < vertex_count; ++i) {
        PlyVertex v;
        take(v.position, 12);
        take(v.normal, 12);
        take(v.colour, 3);
        out.vertices.push_back(v);
    }
    for (size_t i = 0; i < face_count; ++i) {
        unsigned char n = 0;
        take(&n, 1);
        std::vector<int32_t> face(n);
        take(face.data(), 4u * n);
        out.faces.push_back(face);
    }
    EXPECT_EQ(pos, bytes.size());
    return out;
}

std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class PlyWriterTest : public testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        status_reset();
        char pattern[] = "/tmp/kestrane-ply-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0); }
};

TEST_F(PlyWriterTest, BinaryRecordsFollowTheHeader)
{
    SurfaceMesh m;
    m.vertices = {{-64, 0, 128, 32000, 0, 0, 0x7a1f3f1fu},
                  {0, 64, 128, 0, -16000, 27712, 0x00000a00u},
                  {64, -1, -32768, 0, 0, -32000, 0x00ff0001u}};
    m.triangles = {{{0, 1, 2}}, {{2, 1, 0}}};
    SourcePlacement placement;
    placement.centre = {1.5, -2.0, 0.25};
    placement.scale = 8.0;
    placement.volume_dims[0] = 21;
    placement.volume_dims[1] = 24;
    placement.volume_dims[2] = 9;
    const std::string name = dir + "/m001.ply";
    ASSERT_EQ(write_surface(m, name, SURFACE_FORMAT_PLY, placement), 0);
    EXPECT_EQ(surface_file_name("m", 0, SURFACE_FORMAT_PLY), "m001.ply");

    PlyFile ply = read_ply(read_file(name), 3, 2);
    EXPECT_EQ(ply.header,
              "ply\nformat binary_little_endian 1.0\ncomment Kestrane morph frame in the units of the source surface\n"
              "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
              "property float nx\nproperty float ny\nproperty float nz\n"
              "property uchar red\nproperty uchar green\nproperty uchar blue\n"
              "element face 2\nproperty list uchar int vertex_indices\nend_header\n");
    // x: n = 21, the mesh origin and the placement agree on voxel 10.
    EXPECT_FLOAT_EQ(ply.vertices[0].position[0], 1.5f - 1.0f / 8);
    EXPECT_FLOAT_EQ(ply.vertices[2].position[0], 1.5f + 1.0f / 8);
    // y: n = 24, the mesh origin is voxel 11, the surface was placed about 11.5.
    EXPECT_FLOAT_EQ(ply.vertices[0].position[1], -2.0f - 0.5f / 8);
    EXPECT_FLOAT_EQ(ply.vertices[1].position[1], -2.0f + 0.5f / 8);
    EXPECT_FLOAT_EQ(ply.vertices[2].position[2], 0.25f - 512.0f / 8);
    EXPECT_FLOAT_EQ(ply.vertices[1].normal[1], -0.5f);
    EXPECT_FLOAT_EQ(ply.vertices[1].normal[2], 0.866f);
    // Levels of 31, 63, 31 are full; a negative (signed) byte is none.
    const unsigned char colours[3][3] = {{255, 255, 255}, {0, 40, 0}, {8, 0, 0}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(ply.vertices[i].colour[k], colours[i][k]) << i << " " << k;
    EXPECT_EQ(ply.faces[0], (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(ply.faces[1], (std::vector<int32_t>{2, 1, 0}));
}

TEST_F(PlyWriterTest, EmptyMeshesAndUnopenableFiles)
{
    SurfaceMesh empty;
    const std::string name = dir + "/empty.ply";
    ASSERT_EQ(write_ply(empty, name, SourcePlacement{}), 0);
    PlyFile ply = read_ply(read_file(name), 0, 0);
    EXPECT_NE(ply.header.find("element vertex 0\n"), std::string::npos);
    EXPECT_NE(ply.header.find("element face 0\n"), std::string::npos);
    EXPECT_EQ(write_ply(empty, dir + "/missing/m.ply", SourcePlacement{}), 1);
}

}  // namespace
