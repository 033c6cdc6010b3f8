// PLY frames: the header and the binary records read back here, and the way
// back from mesh units to the source's units (meshio reads whole frames in
// the end-to-end tests).
#include "output/ply_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "output/surface_writers.h"

using namespace kestrane;

namespace {

constexpr size_t VERTEX_BYTES = 27, TRIANGLE_BYTES = 13;

struct PlyVertex {
    float position[3], normal[3];
    unsigned char colour[3];
};

// The records as written, byte for byte, into aligned fields.
PlyVertex vertex_at(const char* record)
{
    PlyVertex v;
    std::memcpy(v.position, record, 12);
    std::memcpy(v.normal, record + 12, 12);
    std::memcpy(v.colour, record + 24, 3);
    return v;
}

TEST(PlyWriter, HeaderThenBinaryRecordsInTheSourcesUnits)
{
    char pattern[] = "/tmp/kestrane-ply-XXXXXX";
    const std::string dir = mkdtemp(pattern);
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
    EXPECT_EQ(surface_file_name(dir + "/m", 0, SURFACE_FORMAT_PLY), dir + "/m001.ply");
    ASSERT_EQ(write_surface(m, dir + "/m001.ply", SURFACE_FORMAT_PLY, placement), 0);
    std::ifstream in(dir + "/m001.ply", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    const std::string header =
        "ply\nformat binary_little_endian 1.0\ncomment Kestrane morph frame in the units of the source surface\n"
        "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
        "property float nx\nproperty float ny\nproperty float nz\n"
        "property uchar red\nproperty uchar green\nproperty uchar blue\n"
        "element face 2\nproperty list uchar int vertex_indices\nend_header\n";
    ASSERT_EQ(bytes.size(), header.size() + 3 * VERTEX_BYTES + 2 * TRIANGLE_BYTES);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    const char* records = bytes.data() + header.size();
    const PlyVertex v[3] = {vertex_at(records), vertex_at(records + VERTEX_BYTES), vertex_at(records + 2 * VERTEX_BYTES)};
    const char* second_triangle = records + 3 * VERTEX_BYTES + TRIANGLE_BYTES;

    // x: n = 21, the mesh origin and the placement agree on voxel 10.
    EXPECT_FLOAT_EQ(v[0].position[0], 1.5f - 1.0f / 8);
    EXPECT_FLOAT_EQ(v[2].position[0], 1.5f + 1.0f / 8);
    // y: n = 24, the mesh origin is voxel 11, the surface was placed about 11.5.
    EXPECT_FLOAT_EQ(v[0].position[1], -2.0f - 0.5f / 8);
    EXPECT_FLOAT_EQ(v[1].position[1], -2.0f + 0.5f / 8);
    EXPECT_FLOAT_EQ(v[2].position[2], 0.25f - 512.0f / 8);
    EXPECT_FLOAT_EQ(v[1].normal[1], -0.5f);
    EXPECT_FLOAT_EQ(v[1].normal[2], 0.866f);
    // Levels of 31, 63, 31 are full; a negative (signed) byte is none.
    const unsigned char colours[3][3] = {{255, 255, 255}, {0, 40, 0}, {8, 0, 0}};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(v[i].colour, colours[i], 3), 0) << i;
    int32_t second[3];
    std::memcpy(second, second_triangle + 1, sizeof second);
    EXPECT_EQ(second_triangle[0], 3);
    EXPECT_EQ(second[0], 2);
    EXPECT_EQ(second[2], 0);

    // An empty mesh is a well-formed file; an unopenable one fails.
    ASSERT_EQ(write_ply(SurfaceMesh{}, dir + "/empty.ply", placement), 0);
    EXPECT_EQ(write_ply(m, dir + "/missing/m.ply", placement), 1);
    ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

}  // namespace
