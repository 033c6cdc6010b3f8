// Frame and sphere files: compared byte for byte on small inputs, and frame
// files read back with a parser of their own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_state.h"
#include "output/sphere_writers.h"
#include "output/surface_writers.h"
#include "surface/frame_generation.h"
#include "surface/mesh_checks.h"

using namespace kestrane;

namespace {

// The writers over the output base, frame count and volumes of the global
// record, numbered as the frame driver numbers them.
std::string surface_file_name(int frame, int format)
{
    return surface_file_name(app.output_base, frame, static_cast<SurfaceFormat>(format));
}
std::string sphere_file_name(int side, int format)
{
    return sphere_file_name(side, app.frame_count, static_cast<SurfaceFormat>(format));
}
int write_cnoff(const SurfaceMesh& mesh, int frame) { return write_cnoff(mesh, surface_file_name(frame, 1)); }
int write_vrml(const SurfaceMesh& mesh, int frame) { return write_vrml(mesh, surface_file_name(frame, 2)); }
int write_surface(const SurfaceMesh& mesh, int frame)
{
    return write_surface(mesh, surface_file_name(frame, app.output_format), app.output_format);
}
SphereFile sphere_file(int side)
{
    const Volume& v = app.volumes[side];
    return {v.spheres.data(), v.spheres.size(), app.volume_dims};
}
int write_sphere_file_oogl(int side) { return write_sphere_file_oogl(sphere_file(side), sphere_file_name(side, 1)); }
int write_sphere_file_vrml(int side) { return write_sphere_file_vrml(sphere_file(side), sphere_file_name(side, 2)); }

std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& name)
{
    struct stat s;
    return stat(name.c_str(), &s) == 0;
}

// Every test runs in a fresh temporary directory.
class WriterTest : public testing::Test {
protected:
    std::string dir;
    char previous[4096];
    void SetUp() override
    {
        app_state_init();
        release_volumes();
        char pattern[] = "/tmp/kestrane-writers-XXXXXX";
        dir = mkdtemp(pattern);
        ASSERT_TRUE(getcwd(previous, sizeof previous));
        ASSERT_EQ(chdir(dir.c_str()), 0);
        app.output_base = "m";
        app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = 41;
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(previous), 0);
        ASSERT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
        release_volumes();
    }
    static void set_spheres(int side, std::vector<Sphere> spheres)
    {
        app.volumes[side].sphere_count = static_cast<int32_t>(spheres.size());
        app.volumes[side].spheres = std::move(spheres);
    }
};

// Two triangles sharing an edge, with normals and colours that test the
// conversions (signed colour bytes, 1/32000 normals).
SurfaceMesh small_mesh()
{
    SurfaceMesh m;
    m.vertices = {{-64, 0, 128, 32000, 0, 0, 0x7a1f3f1fu},
                  {0, 64, 128, 0, -16000, 27712, 0x00000a00u},
                  {64, -1, -32768, 0, 0, -32000, 0x00ff0001u}};
    m.triangles = {{{0, 1, 2}}, {{2, 1, 0}}};
    return m;
}

// --- An independent reader of the two frame formats --------------------------

struct ReadMesh {
    std::vector<std::array<double, 9>> vertices;  // position, normal, colour
    std::vector<std::array<long, 3>> faces;
    bool ok = false;
};

ReadMesh read_cnoff(const std::string& text)
{
    ReadMesh r;
    std::istringstream in(text);
    std::string keyword;
    long nv, nf, ne;
    if (!(in >> keyword >> nv >> nf >> ne) || keyword != "CNOFF" || ne != 0) return r;
    for (long i = 0; i < nv; ++i) {
        std::array<double, 9> v;
        double alpha;
        for (double& x : v) in >> x;
        if (!(in >> alpha) || alpha != 1.0) return r;
        r.vertices.push_back(v);
    }
    for (long i = 0; i < nf; ++i) {
        int sides;
        std::array<long, 3> f;
        if (!(in >> sides >> f[0] >> f[1] >> f[2]) || sides != 3) return r;
        r.faces.push_back(f);
    }
    std::string rest;
    r.ok = !(in >> rest);
    return r;
}

// The numbers of the list after `field` inside node `node`, commas dropped.
std::vector<double> vrml_list(const std::string& text, const std::string& node, const std::string& field)
{
    size_t n = text.find("\n " + node + " {\n");
    size_t f = n == std::string::npos ? n : text.find(field + " [", n);
    size_t e = f == std::string::npos ? f : text.find(']', f);
    if (e == std::string::npos || text.find('}', n + node.size() + 4) < f) return {};
    std::string body = text.substr(f + field.size() + 2, e - f - field.size() - 2);
    std::replace(body.begin(), body.end(), ',', ' ');
    std::istringstream in(body);
    std::vector<double> values;
    for (double x; in >> x;) values.push_back(x);
    return in.eof() ? values : std::vector<double>{};
}

ReadMesh read_vrml(const std::string& text)
{
    ReadMesh r;
    int depth = 0;
    for (char ch : text) {
        depth += (ch == '{' || ch == '[') - (ch == '}' || ch == ']');
        if (depth < 0) return r;
    }
    if (depth != 0 || text.rfind("#VRML V1.0 ascii\nSeparator {\n", 0) != 0) return r;
    std::vector<double> p = vrml_list(text, "Coordinate3", "point");
    std::vector<double> n = vrml_list(text, "Normal", "vector");
    std::vector<double> c = vrml_list(text, "Material", "diffuseColor");
    std::vector<double> f = vrml_list(text, "IndexedFaceSet", "coordIndex");
    if (p.size() % 3 || n.size() != p.size() || c.size() != p.size() || f.size() % 4) return r;
    for (size_t i = 0; i < p.size(); i += 3)
        r.vertices.push_back({p[i], p[i + 1], p[i + 2], n[i], n[i + 1], n[i + 2], c[i], c[i + 1], c[i + 2]});
    for (size_t i = 0; i < f.size(); i += 4) {
        if (f[i + 3] != -1) return r;
        r.faces.push_back({long(f[i]), long(f[i + 1]), long(f[i + 2])});
    }
    r.ok = true;
    return r;
}

void expect_same(const ReadMesh& r, const SurfaceMesh& m)
{
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.vertices.size(), m.vertices.size());
    ASSERT_EQ(r.faces.size(), m.triangles.size());
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        const MeshVertex& v = m.vertices[i];
        const double levels[3] = {31, 63, 31};
        const double expected[6] = {double(v.x), double(v.y), double(v.z),
                                    v.nx / 32000.0, v.ny / 32000.0, v.nz / 32000.0};
        for (int k = 0; k < 6; ++k) EXPECT_NEAR(r.vertices[i][k], expected[k], k < 3 ? 0 : 6e-6) << i;
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(r.vertices[i][6 + k], static_cast<int8_t>((v.colour >> (8 * k)) & 0xff) / levels[k], 6e-6);
    }
    for (size_t i = 0; i < m.triangles.size(); ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(r.faces[i][k], m.triangles[i].v[k]);
}

// --- Frame files ---------------------------------------------------------------

TEST_F(WriterTest, FileNamesCountFromOneWithAtLeastThreeDigits)
{
    app.output_base = "morph";
    EXPECT_EQ(surface_file_name(0, 1), "morph001.off");
    EXPECT_EQ(surface_file_name(0, 2), "morph001.wrl");
    EXPECT_EQ(surface_file_name(998, 1), "morph999.off");
    EXPECT_EQ(surface_file_name(999, 2), "morph1000.wrl");
    app.output_base = "out/run%s";  // taken literally, never as a format
    EXPECT_EQ(surface_file_name(4, 1), "out/run%s005.off");
    // Sphere files follow the first and the last frame.
    EXPECT_EQ(sphere_file_name(0, 1), "sphere001.sph");
    EXPECT_EQ(sphere_file_name(1, 2), "sphere020.wrl");
    app.frame_count = 1500;
    EXPECT_EQ(sphere_file_name(1, 1), "sphere1500.sph");
}

TEST_F(WriterTest, SmallMeshIsWrittenByteForByte)
{
    SurfaceMesh m = small_mesh();
    ASSERT_EQ(write_cnoff(m, 6), 0);
    EXPECT_EQ(read_file("m007.off"),
              "CNOFF\n3 2 0\n"
              "-64 0 128 1.00000 0.00000 0.00000 1.00000 1.00000 1.00000 1\n"
              "0 64 128 0.00000 -0.50000 0.86600 0.00000 0.15873 0.00000 1\n"
              "64 -1 -32768 0.00000 0.00000 -1.00000 0.03226 0.00000 -0.03226 1\n"
              "3 0 1 2\n"
              "3 2 1 0\n");

    ASSERT_EQ(write_vrml(m, 6), 0);
    EXPECT_EQ(read_file("m007.wrl"),
              "#VRML V1.0 ascii\nSeparator {\n"
              " ShapeHints {\n  vertexOrdering COUNTERCLOCKWISE\n  shapeType SOLID\n  faceType CONVEX\n }\n"
              " Coordinate3 {\n  point [\n   -64 0 128,\n   0 64 128,\n   64 -1 -32768\n  ]\n }\n"
              " NormalBinding {\n  value PER_VERTEX_INDEXED\n }\n"
              " Normal {\n  vector [\n   1.00000 0.00000 0.00000,\n   0.00000 -0.50000 0.86600,\n"
              "   0.00000 0.00000 -1.00000\n  ]\n }\n"
              " MaterialBinding {\n  value PER_VERTEX_INDEXED\n }\n"
              " Material {\n  ambientColor 0.2 0.2 0.2\n  diffuseColor [\n   1.00000 1.00000 1.00000,\n"
              "   0.00000 0.15873 0.00000,\n   0.03226 0.00000 -0.03226\n  ]\n"
              "  specularColor 0.1 0.1 0.1\n  emissiveColor 0 0 0\n  shininess     0.2\n  transparency  0\n }\n"
              " IndexedFaceSet {\n  coordIndex [\n   0, 1, 2, -1,\n   2, 1, 0, -1\n  ]\n }\n"
              "}\n");
}

TEST_F(WriterTest, EmptyMeshesGiveWellFormedFiles)
{
    SurfaceMesh empty;
    ASSERT_EQ(write_cnoff(empty, 0), 0);
    EXPECT_EQ(read_file("m001.off"), "CNOFF\n0 0 0\n");
    ASSERT_EQ(write_vrml(empty, 0), 0);
    std::string vrml = read_file("m001.wrl");
    EXPECT_NE(vrml.find(" Coordinate3 {\n  point [\n  ]\n }\n"), std::string::npos);
    EXPECT_NE(vrml.find(" Normal {\n  vector [\n  ]\n }\n"), std::string::npos);
    EXPECT_NE(vrml.find("  diffuseColor [\n  ]\n  specularColor"), std::string::npos);
    EXPECT_NE(vrml.find(" IndexedFaceSet {\n  coordIndex [\n  ]\n }\n}\n"), std::string::npos);
    expect_same(read_vrml(vrml), empty);

    // Vertices but no triangles: no face lines, an empty closed face list.
    SurfaceMesh points_only = small_mesh();
    points_only.triangles.clear();
    ASSERT_EQ(write_cnoff(points_only, 1), 0);
    expect_same(read_cnoff(read_file("m002.off")), points_only);
    ASSERT_EQ(write_vrml(points_only, 1), 0);
    expect_same(read_vrml(read_file("m002.wrl")), points_only);
}

TEST_F(WriterTest, RealSurfaceReadsBackInBothFormats)
{
    surface_test::BallField field;
    field.balls = {{{10.2, 9.1, 10.7}, 4.5}, {{14.0, 12.0, 12.0}, 3.0}};
    SurfaceMesh mesh;
    ASSERT_EQ(triangulate_lattice(surface_test::ball_lattice(field, 22, 1), &mesh), 0);
    ASSERT_GT(mesh.triangles.size(), 100u);
    app.output_format = SURFACE_FORMAT_OOGL;
    ASSERT_EQ(write_surface(mesh, 1234), 0);
    expect_same(read_cnoff(read_file("m1235.off")), mesh);
    app.output_format = SURFACE_FORMAT_VRML;
    ASSERT_EQ(write_surface(mesh, 1234), 0);
    expect_same(read_vrml(read_file("m1235.wrl")), mesh);
    // No format chosen: nothing written.
    app.output_format = SURFACE_FORMAT_NONE;
    EXPECT_EQ(write_surface(mesh, 5), 0);
    EXPECT_FALSE(exists("m006.off"));
}

TEST_F(WriterTest, UnopenableFilesFailSilently)
{
    app.output_base = "missing/m";
    SurfaceMesh m = small_mesh();
    EXPECT_EQ(write_cnoff(m, 0), 1);
    EXPECT_EQ(write_vrml(m, 0), 1);
    EXPECT_FALSE(exists("missing"));
    set_spheres(0, {{20, 20, 20, 33, 1}});
    ASSERT_EQ(mkdir("sphere001.sph", 0755), 0);  // a directory in the way
    EXPECT_EQ(write_sphere_file_oogl(0), 1);
}

// --- Sphere files ----------------------------------------------------------------

TEST_F(WriterTest, OoglListOfSpheresByteForByte)
{
    // Centre voxel 20 is the middle of 41; radius 33 units is 96 mesh units.
    set_spheres(0, {{20, 20, 20, 33, 1}, {21, 20, 20, 22, 0}, {3, 4, 5, 0, 1}, {0, 40, 19, 1, 0}});
    ASSERT_EQ(write_sphere_file_oogl(0), 0);
    EXPECT_EQ(read_file("sphere001.sph"),
              "LIST\n"
              "appearance { material { diffuse 0.0 0.0 1.0 } }\n{\nSPHERE\n96.000000\n0 0 0\n}\n"
              "appearance { material { diffuse 1.0 1.0 1.0 } }\n{\nSPHERE\n64.000000\n64 0 0\n}\n"
              "appearance { material { diffuse 1.0 1.0 1.0 } }\n{\nSPHERE\n2.909091\n-1280 1280 -64\n}\n");
    // Written again without spheres: the file is replaced, not appended to.
    set_spheres(0, {{20, 20, 20, 0, 1}});
    ASSERT_EQ(write_sphere_file_oogl(0), 0);
    EXPECT_EQ(read_file("sphere001.sph"), "LIST\n");
}

TEST_F(WriterTest, VrmlSceneOfSpheresByteForByte)
{
    const std::string header = "#VRML V1.0 ascii\nSeparator {\n"
                               " MaterialBinding { value OVERALL }\n"
                               " Material {\n  ambientColor 0.2 0.2 0.2\n  diffuseColor 1.0 1.0 1.0\n"
                               "  specularColor 0.1 0.1 0.1\n  emissiveColor 0 0 0\n  shininess     0.2\n"
                               "  transparency  0\n }\n";
    ASSERT_EQ(write_sphere_file_vrml(1), 0);  // the target has no sphere array at all
    EXPECT_EQ(read_file("sphere020.wrl"), header + "}\n");
    set_spheres(1, {{20, 21, 19, 33, 1}, {5, 5, 5, 0, 0}, {22, 20, 20, 11, 0}});
    ASSERT_EQ(write_sphere_file_vrml(1), 0);
    EXPECT_EQ(read_file("sphere020.wrl"), header +
                                              " Material { diffuseColor 0.0 0.0 1.0 }\n"
                                              " Translation { translation 0 64 -64 }\n"
                                              " Sphere { radius 96.000000 }\n"
                                              " Translation { translation 0 -64 64 }\n"
                                              " Material { diffuseColor 1.0 1.0 1.0 }\n"
                                              " Translation { translation 128 0 0 }\n"
                                              " Sphere { radius 32.000000 }\n"
                                              " Translation { translation -128 0 0 }\n"
                                              "}\n");
}

}  // namespace
