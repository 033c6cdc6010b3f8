// Mesh files through Assimp: which reader a file gets, and that an imported
// mesh reaches sizing and conversion exactly as the same OFF surface does.
#include "input/mesh_import.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/colour.h"
#include "input/file_kind.h"
#include "input_support.h"

using namespace kestrane;

namespace {

// A box from LO to HI in values that every text format reads exactly, with
// the corners and faces of box_object.
const Vector3 LO{0.25, 0.125, 0.5}, HI{1.75, 1.125, 1.5};
const int QUADS[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};

std::string corner(int i)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g %g %g", (i & 1) ? HI.x : LO.x, (i & 2) ? HI.y : LO.y, (i & 4) ? HI.z : LO.z);
    return text;
}

// ASCII STL, triangles split as box_object splits them.
std::string stl_box()
{
    std::string text = "solid box\n";
    for (const auto& f : QUADS)
        for (const std::vector<int>& t : {std::vector<int>{f[0], f[1], f[3]}, {f[1], f[2], f[3]}}) {
            text += "facet normal 0 0 0\nouter loop\n";
            for (int i : t) text += "vertex " + corner(i) + "\n";
            text += "endloop\nendfacet\n";
        }
    return text + "endsolid box\n";
}

// OBJ (1-based) or ASCII PLY (0-based, vertices with "r g b" colours if given), quads.
std::string polygon_box(bool ply, const std::vector<std::string>& colours = {})
{
    std::string text;
    if (ply) {
        text = "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n";
        if (!colours.empty()) text += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
        text += "element face 6\nproperty list uchar int vertex_indices\nend_header\n";
    }
    for (int i = 0; i < 8; ++i) text += (ply ? "" : "v ") + corner(i) + (colours.empty() ? "" : " " + colours[i]) + "\n";
    for (const auto& f : QUADS) {
        text += ply ? "4" : "f";
        for (int i : f) text += " " + std::to_string(ply ? i : i + 1);
        text += "\n";
    }
    return text;
}

struct Recording {
    int objects = 0;
    std::vector<Vector3> vertices;
    std::vector<uint32_t> colours;  // one per face
};

Recording replay(const SurfaceInput& input, const double* transform = nullptr)
{
    Recording r;
    SurfaceSink sink;
    sink.context = &r;
    sink.begin_object = [](void* c, int32_t, int32_t) { return ++static_cast<Recording*>(c)->objects, 0; };
    sink.vertex = [](void* c, Vector3 p) { return static_cast<Recording*>(c)->vertices.push_back(p), 0; };
    sink.face = [](void* c, int32_t, const int32_t*, uint32_t colour) {
        return static_cast<Recording*>(c)->colours.push_back(colour), 0;
    };
    EXPECT_EQ(read_surface_input(input, ReadPass::Conversion, transform, sink), 0);
    return r;
}

class MeshImportTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        char pattern[] = "/tmp/kestrane-import-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override
    {
        ASSERT_EQ(std::system(("rm -rf '" + directory + "'").c_str()), 0);
        InputTest::TearDown();
    }

    std::string write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(directory + "/" + name, std::ios::binary) << bytes;
        return directory + "/" + name;
    }

    MeshFileKind detect(const std::string& path)
    {
        std::FILE* f = std::fopen(path.c_str(), "r");
        MeshFileKind kind = detect_mesh_file(f, path);
        std::fclose(f);
        return kind;
    }

    // Writes and imports a file; *reason gets the failure, if asked for.
    PolygonMesh import(const std::string& name, const std::string& bytes, std::string* reason = nullptr)
    {
        const std::string path = write(name, bytes);
        PolygonMesh mesh;
        std::string why;
        const bool read = import_mesh(path, detect(path), &mesh, &why);
        if (reason) *reason = read ? "" : why;
        else EXPECT_TRUE(read) << name << ": " << why;
        return mesh;
    }

    // The volume a surface converts to on a grid sized for the OFF box.
    std::vector<int16_t> converted(const SurfaceInput& input)
    {
        TempFile a = file_with(box_object(LO, HI)), b = file_with(box_object(LO, HI));
        EXPECT_EQ(measure_surfaces(a.get(), b.get()), 0);
        app.volumes[1].voxels.reset(new Voxel[static_cast<size_t>(voxel_count())]);
        EXPECT_EQ(convert_surface(input, 1), 0);
        return distances(1);
    }

    std::string directory;
};

TEST_F(MeshImportTest, TheReaderIsChosenByContentThenByExtension)
{
    std::string binary_stl = "solid" + std::string(75, ' ') + std::string("\1\0\0\0", 4) + std::string(50, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        MeshFileKind kind;
    } cases[] = {
        {"a.off", box_object(LO, HI), MeshFileKind::Off},
        {"off-content.stl", "# comment\n" + box_object(LO, HI), MeshFileKind::Off},  // content wins
        {"list.dat", "LIST\n{ " + box_object(LO, HI) + "}\n", MeshFileKind::Off},
        {"ascii.dat", stl_box(), MeshFileKind::Stl},
        {"solid-header.bin", binary_stl, MeshFileKind::Stl},  // binary by its size, whatever its header
        {"faces", "# by hand\n" + polygon_box(false), MeshFileKind::Obj},
        {"mesh.off", polygon_box(true), MeshFileKind::Ply},  // a PLY named .off is still PLY
        {"scene", "{\n \"asset\": {\"version\": \"2.0\"}}", MeshFileKind::Gltf},
        {"scene.bin", std::string("glTF\2\0\0\0", 8), MeshFileKind::Glb},
        {"garbage.STL", "garbage", MeshFileKind::Stl},  // nothing known inside: the extension
        {"garbage.txt", "garbage", MeshFileKind::Off},  // the OFF reader finds no vertices
    };
    for (const Case& c : cases) EXPECT_EQ(detect(write(c.name, c.bytes)), c.kind) << c.name;
}

// Every format feeds the scan conversion the same stream as OFF does, so a
// box converts to the very same volume, quads as quads.
TEST_F(MeshImportTest, EveryFormatConvertsLikeTheSameOffSurface)
{
    TempFile quads = file_with(box_object(LO, HI));
    TempFile triangles = file_with(box_object(LO, HI, false, "OFF", "", true));
    const std::vector<int16_t> off_quads = converted(quads.get()), off_triangles = converted(triangles.get());
    PolygonMesh stl = import("box.stl", stl_box()), obj = import("box.obj", polygon_box(false)),
                 ply = import("box.ply", polygon_box(true));
    // A planar quad and its two triangles now convert alike, so the volumes
    // cannot tell them apart: the faces themselves must stay quads.
    for (const PolygonMesh* m : {&obj, &ply}) {
        ASSERT_EQ(m->objects.size(), 1u);
        EXPECT_EQ(m->objects[0].face_sizes, std::vector<int32_t>(6, 4));
    }
    EXPECT_EQ(converted(&stl), off_triangles);
    EXPECT_EQ(converted(&obj), off_quads);
    EXPECT_EQ(converted(&ply), off_quads);
}

TEST_F(MeshImportTest, ColoursFromVerticesOrMaterialsAndObjectsAsInAList)
{
    std::vector<std::string> colours(8, "0 0 255");
    colours[0] = "255 0 0";
    PolygonMesh coloured = import("colours.ply", polygon_box(true, colours));
    Recording r = replay(&coloured);
    // A face takes its first vertex's colour: three quads start at vertex 0.
    EXPECT_EQ(std::count(r.colours.begin(), r.colours.end(), make_colour(31, 0, 0)), 3);
    EXPECT_EQ(std::count(r.colours.begin(), r.colours.end(), make_colour(0, 0, 31)), 3);

    write("red.mtl", "newmtl red\nKd 1 0 0\n");
    PolygonMesh material = import("red.obj", "mtllib red.mtl\nusemtl red\n" + polygon_box(false));
    EXPECT_EQ(replay(&material).colours, std::vector<uint32_t>(6, make_colour(31, 0, 0)));

    // Two objects, one shape; the OFF reader's default colour where the file
    // has none, not Assimp's stand-in grey.
    PolygonMesh two = import("two.obj", "o box\n" + polygon_box(false) + "o tetrahedron\nv 5 0 0\nv 6 0 0\n"
                                         "v 5 1 0\nv 5 0 1\nf 9 11 10\nf 9 10 12\nf 9 12 11\nf 10 11 12\n");
    r = replay(&two);
    EXPECT_EQ(r.objects, 2);
    EXPECT_EQ(r.colours, std::vector<uint32_t>(10, make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE)));
}

TEST_F(MeshImportTest, FilesWithoutPolygonsOrUnreadableSayWhy)
{
    std::string reason;
    EXPECT_TRUE(import("garbage.stl", "garbage that is no STL", &reason).objects.empty());
    EXPECT_FALSE(reason.empty());
    import("lines.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n", &reason);
    EXPECT_EQ(reason, "it holds no polygons");
}

// Vertices are rounded to float after the transform, as the OFF reader keeps
// them (an out-of-line rounding: GCC 12 folded an inlined one away).
TEST_F(MeshImportTest, TheSourceTransformIsAppliedAsTheOffReaderAppliesIt)
{
    double m[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 2, 0, 0.1, 0.2, 0.3, 1};  // turn, stretch, move
    TempFile off = file_with(box_object(LO, HI));
    PolygonMesh ply = import("box.ply", polygon_box(true));  // PLY keeps the vertex list as it is
    Recording a = replay(off.get(), m), b = replay(&ply, m);
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (size_t i = 0; i < a.vertices.size(); ++i) {
        EXPECT_EQ(a.vertices[i].x, b.vertices[i].x);
        EXPECT_EQ(a.vertices[i].y, b.vertices[i].y);
        EXPECT_EQ(a.vertices[i].z, b.vertices[i].z);
    }
}

}  // namespace
