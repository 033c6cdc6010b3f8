#include "input/mesh_import.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/colour.h"
#include "input/file_kind.h"
#include "input_support.h"

namespace {

// A box from LO to HI in values that every text format reads exactly.
const Vector3 LO{0.25, 0.125, 0.5}, HI{1.75, 1.125, 1.5};
const int QUADS[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};

Vector3 corner(int i) { return {(i & 1) ? HI.x : LO.x, (i & 2) ? HI.y : LO.y, (i & 4) ? HI.z : LO.z}; }

// The faces of box_object: quads, or each split as box_object splits it.
std::vector<std::vector<int>> box_faces(bool triangles)
{
    std::vector<std::vector<int>> faces;
    for (const auto& f : QUADS) {
        if (!triangles) {
            faces.push_back({f[0], f[1], f[2], f[3]});
        } else {
            faces.push_back({f[0], f[1], f[3]});
            faces.push_back({f[1], f[2], f[3]});
        }
    }
    return faces;
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

std::string stl_ascii()
{
    std::string text = "solid box\n";
    for (const auto& f : box_faces(true)) {
        text += "facet normal 0 0 0\nouter loop\n";
        for (int i : f) text += "vertex " + number(corner(i).x) + " " + number(corner(i).y) + " " + number(corner(i).z) + "\n";
        text += "endloop\nendfacet\n";
    }
    return text + "endsolid box\n";
}

void put_u32(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }
void put_float(std::string& out, float v) { out.append(reinterpret_cast<const char*>(&v), 4); }

std::string stl_binary()
{
    std::string out(80, ' ');
    put_u32(out, 12);
    for (const auto& f : box_faces(true)) {
        for (int k = 0; k < 3; ++k) put_float(out, 0);
        for (int i : f) {
            put_float(out, static_cast<float>(corner(i).x));
            put_float(out, static_cast<float>(corner(i).y));
            put_float(out, static_cast<float>(corner(i).z));
        }
        out += std::string(2, '\0');
    }
    return out;
}

std::string obj_text(bool triangles, const std::string& head = "")
{
    std::string text = head;
    for (int i = 0; i < 8; ++i) text += "v " + number(corner(i).x) + " " + number(corner(i).y) + " " + number(corner(i).z) + "\n";
    for (const auto& f : box_faces(triangles)) {
        text += "f";
        for (int i : f) text += " " + std::to_string(i + 1);
        text += "\n";
    }
    return text;
}

// ASCII PLY; colours: one "r g b" per vertex, or none.
std::string ply_text(bool triangles, const std::vector<std::string>& colours = {})
{
    const auto faces = box_faces(triangles);
    std::string text = "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n";
    if (!colours.empty()) text += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    text += "element face " + std::to_string(faces.size()) + "\nproperty list uchar int vertex_indices\nend_header\n";
    for (int i = 0; i < 8; ++i)
        text += number(corner(i).x) + " " + number(corner(i).y) + " " + number(corner(i).z) +
                (colours.empty() ? "" : " " + colours[i]) + "\n";
    for (const auto& f : faces) {
        text += std::to_string(f.size());
        for (int i : f) text += " " + std::to_string(i);
        text += "\n";
    }
    return text;
}

// glTF with its buffer in a file beside it; one node per translation, all
// holding the one box mesh.
std::string gltf_text(const std::string& bin_name, std::string& bin, const std::vector<Vector3>& translations)
{
    bin.clear();
    for (int i = 0; i < 8; ++i) {
        put_float(bin, static_cast<float>(corner(i).x));
        put_float(bin, static_cast<float>(corner(i).y));
        put_float(bin, static_cast<float>(corner(i).z));
    }
    for (const auto& f : box_faces(true))
        for (int i : f) put_u32(bin, static_cast<uint32_t>(i));
    std::string nodes, list;
    for (size_t n = 0; n < translations.size(); ++n) {
        const Vector3& t = translations[n];
        nodes += std::string(n ? "," : "") + "{\"mesh\":0,\"translation\":[" + number(t.x) + "," + number(t.y) + "," +
                 number(t.z) + "]}";
        list += std::string(n ? "," : "") + std::to_string(n);
    }
    return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[" + list + "]}],\"nodes\":[" + nodes +
           "],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],"
           "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":8,\"type\":\"VEC3\","
           "\"min\":[0.25,0.125,0.5],\"max\":[1.75,1.125,1.5]},"
           "{\"bufferView\":1,\"componentType\":5125,\"count\":36,\"type\":\"SCALAR\"}],"
           "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":96},"
           "{\"buffer\":0,\"byteOffset\":96,\"byteLength\":144}],"
           "\"buffers\":[{\"uri\":\"" + bin_name + "\",\"byteLength\":240}]}";
}

struct Recording {
    int status = -1;
    int objects = 0;
    std::vector<Vector3> vertices;
    std::vector<uint32_t> colours;  // one per face
};

Recording replay(const SurfaceInput& input, const double* transform = nullptr)
{
    Recording r;
    SurfaceSink sink;
    sink.context = &r;
    sink.begin_object = [](void* c, int32_t, int32_t) {
        ++static_cast<Recording*>(c)->objects;
        return 0;
    };
    sink.vertex = [](void* c, Vector3 p) {
        static_cast<Recording*>(c)->vertices.push_back(p);
        return 0;
    };
    sink.face = [](void* c, int32_t, const int32_t*, uint32_t colour) {
        static_cast<Recording*>(c)->colours.push_back(colour);
        return 0;
    };
    r.status = read_surface_input(input, ReadPass::Conversion, transform, sink);
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
        for (const std::string& path : written) unlink(path.c_str());
        rmdir(directory.c_str());
        InputTest::TearDown();
    }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        written.push_back(path);
        return path;
    }

    MeshFileKind detect(const std::string& name, const std::string& bytes)
    {
        const std::string path = write(name, bytes);
        std::FILE* f = std::fopen(path.c_str(), "r");
        MeshFileKind kind = detect_mesh_file(f, path);
        std::fclose(f);
        return kind;
    }

    ImportedMesh import(const std::string& name, const std::string& bytes, std::string* reason = nullptr)
    {
        const std::string path = write(name, bytes);
        std::FILE* f = std::fopen(path.c_str(), "r");
        const MeshFileKind kind = detect_mesh_file(f, path);
        std::fclose(f);
        ImportedMesh mesh;
        std::string why;
        const bool read = import_mesh(path, kind, &mesh, &why);
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
    std::vector<std::string> written;
};

TEST_F(MeshImportTest, TheReaderIsChosenByContentThenByExtension)
{
    struct Case {
        const char* name;
        std::string bytes;
        MeshFileKind kind;
    } cases[] = {
        {"a.off", box_object(LO, HI), MeshFileKind::Off},
        {"off-content.stl", "# comment\n" + box_object(LO, HI), MeshFileKind::Off},  // content wins
        {"list.dat", "LIST\n{ " + box_object(LO, HI) + "}\n", MeshFileKind::Off},
        {"ascii.dat", stl_ascii(), MeshFileKind::Stl},
        {"solid-header.bin", "solid" + stl_binary().substr(5), MeshFileKind::Stl},  // binary by its size
        {"faces", obj_text(false, "# made by hand\n"), MeshFileKind::Obj},
        {"mesh.off", ply_text(false), MeshFileKind::Ply},  // a PLY named .off is still PLY
        {"scene", "{\n \"asset\": {\"version\": \"2.0\"}}", MeshFileKind::Gltf},
        {"scene.bin", "glTF\x02\0\0\0", MeshFileKind::Glb},
        {"garbage.STL", "garbage", MeshFileKind::Stl},  // nothing known inside: the extension
        {"garbage.glb", "garbage", MeshFileKind::Glb},
        {"garbage.txt", "garbage", MeshFileKind::Off},  // the OFF reader finds no vertices
    };
    for (const Case& c : cases) EXPECT_EQ(detect(c.name, c.bytes), c.kind) << c.name;
}

// Every format feeds the scan conversion the same stream as OFF does, so a
// box converts to the very same volume, quads as quads.
TEST_F(MeshImportTest, EveryFormatConvertsLikeTheSameOffSurface)
{
    TempFile quads = file_with(box_object(LO, HI));
    TempFile triangles = file_with(box_object(LO, HI, false, "OFF", "", true));
    const std::vector<int16_t> off_quads = converted(quads.get());
    const std::vector<int16_t> off_triangles = converted(triangles.get());
    ASSERT_NE(off_quads, off_triangles);  // the comparison can tell the two apart

    std::string bin;
    const std::string gltf = gltf_text("box.bin", bin, {{0, 0, 0}});
    write("box.bin", bin);
    struct Case {
        const char* name;
        std::string bytes;
        bool triangles;
    } cases[] = {
        {"ascii.stl", stl_ascii(), true},    {"binary.stl", stl_binary(), true},
        {"quads.obj", obj_text(false), false}, {"triangles.obj", obj_text(true), true},
        {"quads.ply", ply_text(false), false}, {"box.gltf", gltf, true},
    };
    for (const Case& c : cases) {
        ImportedMesh mesh = import(c.name, c.bytes);
        ASSERT_EQ(mesh.objects.size(), 1u) << c.name;
        EXPECT_EQ(converted(&mesh), c.triangles ? off_triangles : off_quads) << c.name;
    }
}

TEST_F(MeshImportTest, FacesTakeVertexColoursElseMaterialColours)
{
    const uint32_t default_colour = make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE);
    std::vector<std::string> colours;
    for (int i = 0; i < 8; ++i) colours.push_back(i == 0 ? "255 0 0" : "0 0 255");
    ImportedMesh coloured = import("colours.ply", ply_text(false, colours));
    Recording r = replay(&coloured);
    ASSERT_EQ(r.colours.size(), 6u);
    // A face takes its first vertex's colour: three quads start at vertex 0.
    EXPECT_EQ(std::count(r.colours.begin(), r.colours.end(), make_colour(31, 0, 0)), 3);
    EXPECT_EQ(std::count(r.colours.begin(), r.colours.end(), make_colour(0, 0, 31)), 3);

    write("red.mtl", "newmtl red\nKd 1 0 0\n");
    ImportedMesh material = import("material.obj", obj_text(false, "mtllib red.mtl\nusemtl red\n"));
    r = replay(&material);
    EXPECT_EQ(r.colours, std::vector<uint32_t>(6, make_colour(31, 0, 0)));

    // Without colours in the file: the OFF reader's default, not Assimp's stand-in grey.
    for (const char* name : {"plain.obj", "plain.stl"}) {
        ImportedMesh plain = import(name, std::string(name) == "plain.obj" ? obj_text(false) : stl_ascii());
        r = replay(&plain);
        EXPECT_EQ(r.colours, std::vector<uint32_t>(r.colours.size(), default_colour)) << name;
    }
}

// A scene of several meshes (or instances) is one shape of several objects,
// each where its node puts it, as the objects of a LIST are.
TEST_F(MeshImportTest, EveryMeshOfTheSceneIsAnObjectInItsPlace)
{
    std::string bin;
    const std::string gltf = gltf_text("pair.bin", bin, {{0, 0, 0}, {4, 0, -2}});
    write("pair.bin", bin);
    ImportedMesh pair = import("pair.gltf", gltf);
    Recording r = replay(&pair);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.objects, 2);
    ASSERT_EQ(r.vertices.size(), 16u);
    EXPECT_EQ(r.vertices[8].x - r.vertices[0].x, 4.0);
    EXPECT_EQ(r.vertices[8].z - r.vertices[0].z, -2.0);

    ImportedMesh objects = import("two.obj", "o first\n" + obj_text(false) + "o second\n" +
                                                  "v 5 0 0\nv 6 0 0\nv 5 1 0\nv 5 0 1\nf 9 11 10\nf 9 10 12\nf 9 12 11\nf 10 11 12\n");
    EXPECT_EQ(objects.objects.size(), 2u);
}

TEST_F(MeshImportTest, FilesWithoutPolygonsOrUnreadableSayWhy)
{
    std::string reason;
    ImportedMesh mesh = import("garbage.stl", "garbage that is no STL", &reason);
    EXPECT_TRUE(mesh.objects.empty());
    EXPECT_FALSE(reason.empty());
    import("lines.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n", &reason);
    EXPECT_EQ(reason, "it holds no polygons");
    ImportedMesh missing;
    EXPECT_FALSE(import_mesh(directory + "/missing.ply", MeshFileKind::Ply, &missing, &reason));
    EXPECT_FALSE(reason.empty());
}

TEST_F(MeshImportTest, TheSourceTransformIsAppliedAsTheOffReaderAppliesIt)
{
    double m[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 2, 0, 0.1, 0.2, 0.3, 1};  // turn, stretch, move
    TempFile off = file_with(box_object(LO, HI));
    ImportedMesh ply = import("box.ply", ply_text(false));  // PLY keeps the vertex list as it is
    Recording a = replay(off.get(), m), b = replay(&ply, m);
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (size_t i = 0; i < a.vertices.size(); ++i) {
        EXPECT_EQ(a.vertices[i].x, b.vertices[i].x);
        EXPECT_EQ(a.vertices[i].y, b.vertices[i].y);
        EXPECT_EQ(a.vertices[i].z, b.vertices[i].z);
    }
}

}  // namespace
