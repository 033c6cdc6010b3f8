// Frame files: read back with a parser of their own, and compared byte for
// byte on small meshes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/status.h"
#include "surface/frame_generation.h"
#include "surface/mesh_checks.h"
#include "surface/surface_writers.h"

namespace {

std::vector<std::string> messages;
void record(StatusKind, const char* text) { messages.push_back(text); }

std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class WriterTest : public testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        app_state_init();
        status_reset();
        status_hooks.report = record;
        messages.clear();
        char pattern[] = "/tmp/kestrane-surface-XXXXXX";
        dir = mkdtemp(pattern);
        app.output_base = dir + "/m";
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        status_reset();
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

double colour_level(uint32_t c, int byte, double levels) { return static_cast<int8_t>((c >> (8 * byte)) & 0xff) / levels; }

// --- An independent reader of the two formats -------------------------------

struct ReadMesh {
    std::vector<std::array<long, 3>> points;
    std::vector<std::array<double, 3>> normals;
    std::vector<std::array<double, 3>> colours;
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
        std::array<long, 3> p;
        std::array<double, 3> n, c;
        double alpha;
        if (!(in >> p[0] >> p[1] >> p[2] >> n[0] >> n[1] >> n[2] >> c[0] >> c[1] >> c[2] >> alpha) || alpha != 1.0)
            return r;
        r.points.push_back(p);
        r.normals.push_back(n);
        r.colours.push_back(c);
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

// Tokens of a VRML 1.0 file: words, numbers and the punctuation { } [ ] ,
std::vector<std::string> vrml_tokens(const std::string& text)
{
    std::vector<std::string> tokens;
    std::string line;
    std::istringstream in(text);
    bool first = true;
    while (std::getline(in, line)) {
        if (first) {
            first = false;
            if (line != "#VRML V1.0 ascii") return {};
            continue;
        }
        std::string word;
        for (char ch : line) {
            if (ch == ' ' || ch == '{' || ch == '}' || ch == '[' || ch == ']' || ch == ',') {
                if (!word.empty()) tokens.push_back(word);
                word.clear();
                if (ch != ' ') tokens.push_back(std::string(1, ch));
            } else {
                word += ch;
            }
        }
        if (!word.empty()) tokens.push_back(word);
    }
    return tokens;
}

// The numbers of the list after `field` inside node `node`, commas dropped.
std::vector<double> vrml_list(const std::vector<std::string>& t, const std::string& node, const std::string& field)
{
    for (size_t i = 0; i + 3 < t.size(); ++i) {
        if (t[i] != node || t[i + 1] != "{") continue;
        for (size_t j = i + 2; j + 1 < t.size() && t[j] != "}"; ++j) {
            if (t[j] != field || t[j + 1] != "[") continue;
            std::vector<double> values;
            for (size_t k = j + 2; k < t.size() && t[k] != "]"; ++k)
                if (t[k] != ",") values.push_back(std::stod(t[k]));
            return values;
        }
    }
    return {};
}

bool vrml_balanced(const std::vector<std::string>& t)
{
    int braces = 0, brackets = 0;
    for (const std::string& s : t) {
        braces += (s == "{") - (s == "}");
        brackets += (s == "[") - (s == "]");
        if (braces < 0 || brackets < 0) return false;
    }
    return braces == 0 && brackets == 0;
}

ReadMesh read_vrml(const std::string& text)
{
    ReadMesh r;
    std::vector<std::string> t = vrml_tokens(text);
    if (t.size() < 2 || t[0] != "Separator" || !vrml_balanced(t)) return r;
    std::vector<double> p = vrml_list(t, "Coordinate3", "point");
    std::vector<double> n = vrml_list(t, "Normal", "vector");
    std::vector<double> c = vrml_list(t, "Material", "diffuseColor");
    std::vector<double> f = vrml_list(t, "IndexedFaceSet", "coordIndex");
    if (p.size() % 3 || n.size() != p.size() || c.size() != p.size() || f.size() % 4) return r;
    for (size_t i = 0; i < p.size(); i += 3) {
        r.points.push_back({long(p[i]), long(p[i + 1]), long(p[i + 2])});
        r.normals.push_back({n[i], n[i + 1], n[i + 2]});
        r.colours.push_back({c[i], c[i + 1], c[i + 2]});
    }
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
    ASSERT_EQ(r.points.size(), m.vertices.size());
    ASSERT_EQ(r.faces.size(), m.triangles.size());
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        const MeshVertex& v = m.vertices[i];
        EXPECT_EQ(r.points[i][0], v.x);
        EXPECT_EQ(r.points[i][1], v.y);
        EXPECT_EQ(r.points[i][2], v.z);
        EXPECT_NEAR(r.normals[i][0], v.nx / 32000.0, 6e-6);
        EXPECT_NEAR(r.normals[i][1], v.ny / 32000.0, 6e-6);
        EXPECT_NEAR(r.normals[i][2], v.nz / 32000.0, 6e-6);
        EXPECT_NEAR(r.colours[i][0], colour_level(v.colour, 0, 31), 6e-6);
        EXPECT_NEAR(r.colours[i][1], colour_level(v.colour, 1, 63), 6e-6);
        EXPECT_NEAR(r.colours[i][2], colour_level(v.colour, 2, 31), 6e-6);
    }
    for (size_t i = 0; i < m.triangles.size(); ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(r.faces[i][k], m.triangles[i].v[k]);
}

// --- Tests -------------------------------------------------------------------

TEST_F(WriterTest, FileNamesCountFromOneWithAtLeastThreeDigits)
{
    app.output_base = "morph";
    EXPECT_EQ(surface_file_name(0, 1), "morph001.off");
    EXPECT_EQ(surface_file_name(19, 1), "morph020.off");
    EXPECT_EQ(surface_file_name(0, 2), "morph001.wrl");
    EXPECT_EQ(surface_file_name(998, 1), "morph999.off");
    EXPECT_EQ(surface_file_name(999, 2), "morph1000.wrl");
    app.output_base = "out/run%s";  // taken literally, never as a format
    EXPECT_EQ(surface_file_name(4, 1), "out/run%s005.off");
}

TEST_F(WriterTest, SmallMeshIsWrittenByteForByte)
{
    SurfaceMesh m = small_mesh();
    ASSERT_EQ(write_cnoff(m, 6), 0);
    EXPECT_EQ(read_file(dir + "/m007.off"),
              "CNOFF\n3 2 0\n"
              "-64 0 128 1.00000 0.00000 0.00000 1.00000 1.00000 1.00000 1\n"
              "0 64 128 0.00000 -0.50000 0.86600 0.00000 0.15873 0.00000 1\n"
              "64 -1 -32768 0.00000 0.00000 -1.00000 0.03226 0.00000 -0.03226 1\n"
              "3 0 1 2\n"
              "3 2 1 0\n");
    EXPECT_EQ(messages.back(), "Saving surface to `" + dir + "/m007.off'");

    ASSERT_EQ(write_vrml(m, 6), 0);
    EXPECT_EQ(read_file(dir + "/m007.wrl"),
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
    EXPECT_EQ(messages.back(), "Saving surface to `" + dir + "/m007.wrl'");
}

TEST_F(WriterTest, EmptyMeshesGiveWellFormedFiles)
{
    SurfaceMesh empty;
    ASSERT_EQ(write_cnoff(empty, 0), 0);
    EXPECT_EQ(read_file(dir + "/m001.off"), "CNOFF\n0 0 0\n");
    ASSERT_EQ(write_vrml(empty, 0), 0);
    std::string vrml = read_file(dir + "/m001.wrl");
    EXPECT_NE(vrml.find(" Coordinate3 {\n  point [\n  ]\n }\n"), std::string::npos);
    EXPECT_NE(vrml.find(" Normal {\n  vector [\n  ]\n }\n"), std::string::npos);
    EXPECT_NE(vrml.find("  diffuseColor [\n  ]\n  specularColor"), std::string::npos);
    EXPECT_NE(vrml.find(" IndexedFaceSet {\n  coordIndex [\n  ]\n }\n}\n"), std::string::npos);
    ReadMesh r = read_vrml(vrml);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.points.empty());

    // Vertices but no triangles: no face lines, an empty closed face list.
    SurfaceMesh points_only = small_mesh();
    points_only.triangles.clear();
    ASSERT_EQ(write_cnoff(points_only, 1), 0);
    ReadMesh c = read_cnoff(read_file(dir + "/m002.off"));
    expect_same(c, points_only);
    ASSERT_EQ(write_vrml(points_only, 1), 0);
    expect_same(read_vrml(read_file(dir + "/m002.wrl")), points_only);
}

TEST_F(WriterTest, RealSurfaceReadsBackInBothFormats)
{
    surface_test::BallField field;
    field.balls = {{{10.2, 9.1, 10.7}, 4.5}, {{14.0, 12.0, 12.0}, 3.0}};
    LatticeField f = surface_test::ball_lattice(field, 22, 1);
    SurfaceMesh mesh;
    ASSERT_EQ(triangulate_lattice(f, &mesh), 0);
    ASSERT_GT(mesh.triangles.size(), 100u);
    app.output_format = 1;
    ASSERT_EQ(write_surface(mesh, 1234), 0);
    expect_same(read_cnoff(read_file(dir + "/m1235.off")), mesh);
    app.output_format = 2;
    ASSERT_EQ(write_surface(mesh, 1234), 0);
    expect_same(read_vrml(read_file(dir + "/m1235.wrl")), mesh);
    // No format chosen: nothing written.
    app.output_format = 0;
    messages.clear();
    EXPECT_EQ(write_surface(mesh, 5), 0);
    EXPECT_TRUE(messages.empty());
    struct stat s;
    EXPECT_NE(stat((dir + "/m006.off").c_str(), &s), 0);
}

TEST_F(WriterTest, UnopenableFileFailsSilently)
{
    app.output_base = dir + "/missing/m";
    SurfaceMesh m = small_mesh();
    EXPECT_EQ(write_cnoff(m, 0), 1);
    EXPECT_EQ(write_vrml(m, 0), 1);
    EXPECT_TRUE(messages.empty());
    struct stat s;
    EXPECT_NE(stat((dir + "/missing").c_str(), &s), 0);
}

}  // namespace
