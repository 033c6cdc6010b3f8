// The checks made before Assimp reads a file: header promises against the
// file's size, encodings, indices, and the files a model names.
#include "input/mesh_precheck.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "input/file_kind.h"
#include "input/mesh_import.h"

using namespace kestrane;

namespace {

const char* const CUBE_VERTICES = "0 0 0\n0 0 1\n0 1 0\n0 1 1\n1 0 0\n1 0 1\n1 1 0\n1 1 1\n";
const int CUBE_FACES[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};

template <typename T>
void put(std::string& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string ply_header(const char* format, const std::string& vertices, const std::string& faces,
                       const char* count_type = "uchar")
{
    return std::string("ply\nformat ") + format + " 1.0\nelement vertex " + vertices +
           "\nproperty float x\nproperty float y\nproperty float z\nelement face " + faces + "\nproperty list " +
           count_type + " int vertex_indices\nend_header\n";
}

std::string ascii_ply(const std::string& vertices = "8", const std::string& faces = "6", const char* first = "4")
{
    std::string text = ply_header("ascii", vertices, faces) + CUBE_VERTICES;
    for (int f = 0; f < 6; ++f) {
        text += f == 0 ? first : "4";
        for (int c : CUBE_FACES[f]) text += " " + std::to_string(c);
        text += "\n";
    }
    return text;
}

// A binary cube whose face counts are written as T (the header says int).
template <typename T = uint8_t>
std::string binary_ply(const std::string& vertices = "8", const std::string& faces = "6", T first = 4,
                       const char* count_type = "uchar")
{
    std::string text = ply_header("binary_little_endian", vertices, faces, count_type);
    for (int i = 0; i < 8; ++i)
        for (int axis = 2; axis >= 0; --axis) put(text, static_cast<float>((i >> axis) & 1));
    for (int f = 0; f < 6; ++f) {
        put(text, f == 0 ? first : static_cast<T>(4));
        for (int c : CUBE_FACES[f]) put(text, static_cast<int32_t>(c));
    }
    return text;
}

// A glTF 2.0 cube of 12 triangles; in a GLB, or with its buffer as the uri given.
struct Cube {
    std::vector<uint32_t> indices;
    int index_type = 5123;  // unsigned short
    std::string version = "2.0";
    std::string uri;  // empty: a data: URI (JSON) or the BIN chunk (GLB)
    long byte_length = -1;

    Cube()
    {
        for (const auto& f : CUBE_FACES)
            for (int t : {0, 1, 2, 0, 2, 3}) indices.push_back(static_cast<uint32_t>(f[t]));
    }
    std::string data() const
    {
        std::string d;
        for (int i = 0; i < 8; ++i)
            for (int axis = 2; axis >= 0; --axis) put(d, static_cast<float>((i >> axis) & 1));
        for (uint32_t i : indices) {
            if (index_type == 5121) put(d, static_cast<uint8_t>(i));
            if (index_type == 5123) put(d, static_cast<uint16_t>(i));
            if (index_type == 5125) put(d, i);
        }
        while (d.size() % 4) d.push_back('\0');
        return d;
    }
    std::string json(bool glb) const
    {
        static const char* const base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const std::string d = data();
        std::string uri_text = uri;
        if (uri.empty() && !glb) {
            uri_text = "data:application/octet-stream;base64,";
            for (size_t i = 0; i < d.size(); i += 3) {
                uint32_t n = static_cast<uint8_t>(d[i]) << 16;
                if (i + 1 < d.size()) n |= static_cast<uint8_t>(d[i + 1]) << 8;
                if (i + 2 < d.size()) n |= static_cast<uint8_t>(d[i + 2]);
                for (int k = 0; k < 4; ++k)
                    uri_text += i + k - 1 < d.size() || k < 2 ? base64[(n >> (18 - 6 * k)) & 63] : '=';
            }
        }
        const long length = byte_length >= 0 ? byte_length : static_cast<long>(d.size());
        return "{\"asset\":{\"version\":\"" + version + "\"},\"buffers\":[{\"byteLength\":" + std::to_string(length) +
               (uri_text.empty() ? "" : ",\"uri\":\"" + uri_text + "\"") +
               "}],\"bufferViews\":[{\"buffer\":0,\"byteLength\":96},{\"buffer\":0,\"byteOffset\":96,"
               "\"byteLength\":" +
               std::to_string(d.size() - 96) +
               "}],\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":8,\"type\":\"VEC3\"},"
               "{\"bufferView\":1,\"componentType\":" +
               std::to_string(index_type) + ",\"count\":" + std::to_string(indices.size()) +
               ",\"type\":\"SCALAR\"}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},"
               "\"indices\":1}]}],\"nodes\":[{\"mesh\":0}],\"scenes\":[{\"nodes\":[0]}],\"scene\":0}";
    }
    std::string glb(long total = -1, long json_length = -1, long bin_length = -1) const
    {
        std::string j = json(true);
        while (j.size() % 4) j.push_back(' ');
        const std::string d = data();
        std::string chunks;
        put(chunks, static_cast<uint32_t>(json_length >= 0 ? json_length : static_cast<long>(j.size())));
        chunks += "JSON" + j;
        put(chunks, static_cast<uint32_t>(bin_length >= 0 ? bin_length : static_cast<long>(d.size())));
        chunks += std::string("BIN\0", 4) + d;
        std::string out = "glTF";
        put(out, static_cast<uint32_t>(2));
        put(out, static_cast<uint32_t>(total >= 0 ? total : static_cast<long>(12 + chunks.size())));
        return out + chunks;
    }
};

std::string obj_cube()
{
    std::string text;
    for (const char* v = CUBE_VERTICES; *v;) {
        const char* nl = std::strchr(v, '\n');
        text += "v " + std::string(v, nl + 1);
        v = nl + 1;
    }
    for (const auto& f : CUBE_FACES)
        text += "f " + std::to_string(f[0] + 1) + " " + std::to_string(f[1] + 1) + " " + std::to_string(f[2] + 1) +
                " " + std::to_string(f[3] + 1) + "\n";
    return text;
}

// A scratch folder per test: the model's folder, with one beside it.
class PrecheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/kestrane-precheck-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        folder_ = root_ + "/model";
        ASSERT_EQ(mkdir(folder_.c_str(), 0755), 0);
    }
    void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string check(const std::string& name, const std::string& bytes, MeshFileKind kind)
    {
        return precheck_mesh_file(write(name, bytes), kind);
    }

    std::string root_, folder_;
};

TEST_F(PrecheckTest, PlyCountsAreCheckedAgainstWhatTheFileHolds)
{
    EXPECT_EQ(check("a.ply", ascii_ply(), MeshFileKind::Ply), "");
    EXPECT_EQ(check("b.ply", binary_ply(), MeshFileKind::Ply), "");
    // The fewest bytes text can take: one digit a value, the last without a line end.
    EXPECT_EQ(check("tight.ply", "ply\nformat ascii 1.0\nelement vertex 2\nproperty uchar x\nend_header\n1\n2",
                    MeshFileKind::Ply),
              "");
    EXPECT_NE(check("short.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty uchar x\nend_header\n1\n2",
                    MeshFileKind::Ply),
              "");
    EXPECT_EQ(check("crlf.ply", "ply\r\nformat ascii 1.0\r\nelement vertex 0\r\nend_header\r\n", MeshFileKind::Ply),
              "");

    const std::string ascii = ascii_ply("1000000000");
    EXPECT_EQ(check("c.ply", ascii, MeshFileKind::Ply),
              "it declares 1000000000 vertices but holds " + std::to_string(ascii.size()) +
                  " bytes (in text, at least 6 bytes each)");
    EXPECT_NE(check("d.ply", binary_ply("8", "1000000000"), MeshFileKind::Ply).find("declares 1000000000 faces"),
              std::string::npos);
    // One more face than the data holds, at the fewest bytes a face takes.
    EXPECT_NE(check("e.ply", binary_ply("8", "7"), MeshFileKind::Ply).find("ends inside face 6 of the 7"),
              std::string::npos);
    // Counts Assimp would wrap to 32 bits, or read as huge.
    EXPECT_NE(check("f.ply", binary_ply("4294967304"), MeshFileKind::Ply).find("4294967304 vertices, beyond the 32"),
              std::string::npos);
    EXPECT_NE(check("g.ply", binary_ply("99999999999999999999999"), MeshFileKind::Ply).find("beyond the 32"),
              std::string::npos);
    EXPECT_NE(check("h.ply", ascii_ply("-8"), MeshFileKind::Ply).find("a negative count"), std::string::npos);
}

TEST_F(PrecheckTest, PlyListCountsAndHeadersThatCannotBeTrue)
{
    EXPECT_EQ(check("a.ply", binary_ply<int32_t>("8", "6", -5, "int"), MeshFileKind::Ply),
              "its face 0 has a list count of -5");
    EXPECT_NE(check("b.ply", binary_ply<uint32_t>("8", "6", 1u << 31, "uint"), MeshFileKind::Ply)
                  .find("list of 2147483648 values, more than the rest"),
              std::string::npos);
    EXPECT_NE(check("c.ply", ascii_ply("8", "6", "2147483648"), MeshFileKind::Ply).find("list of 2147483648"),
              std::string::npos);
    EXPECT_EQ(check("d.ply", ascii_ply("8", "6", "-5"), MeshFileKind::Ply), "its face 0 has a list count of -5");

    std::string header = ply_header("ascii", "8", "6");
    EXPECT_EQ(check("e.ply", header.substr(0, header.find("end_header")), MeshFileKind::Ply),
              "its header does not end (no end_header line)");
    std::string many = "ply\nformat ascii 1.0\nelement vertex 1\n";
    for (int i = 0; i < 1001; ++i) many += "property float p" + std::to_string(i) + "\n";
    EXPECT_EQ(check("f.ply", many + "end_header\n", MeshFileKind::Ply), "its header has more than 1000 property lines");
    EXPECT_NE(check("g.ply", "ply\nformat ascii 1.0\nelement vertex 1\nproperty quad x\nend_header\n1\n",
                    MeshFileKind::Ply)
                  .find("unknown type `quad'"),
              std::string::npos);
    EXPECT_NE(check("h.ply", "ply\nformat xml 1.0\nend_header\n", MeshFileKind::Ply).find("no known format"),
              std::string::npos);
}

TEST_F(PrecheckTest, BinaryStlTriangleCountAgainstItsSize)
{
    std::string stl(80, ' ');
    put(stl, static_cast<uint32_t>(2));
    stl += std::string(100, '\0');
    EXPECT_EQ(check("a.stl", stl, MeshFileKind::Stl), "");
    EXPECT_EQ(check("trailing.stl", stl + "xyz", MeshFileKind::Stl), "");  // more than promised: Assimp's to judge
    EXPECT_EQ(check("text.stl", "solid x\nendsolid x\n", MeshFileKind::Stl), "");
    std::string lying(80, ' ');
    put(lying, static_cast<uint32_t>(1000000000));
    lying += std::string(100, '\0');
    EXPECT_EQ(check("b.stl", lying, MeshFileKind::Stl),
              "it declares 1000000000 triangles but holds 184 bytes (a binary STL needs 84 + 50 per triangle)");
    EXPECT_NE(check("c.stl", "tiny", MeshFileKind::Stl).find("too few for a binary STL"), std::string::npos);
}

TEST_F(PrecheckTest, GlbHeaderChunksAndBuffers)
{
    const Cube cube;
    const std::string glb = cube.glb();
    EXPECT_EQ(check("a.glb", glb, MeshFileKind::Glb), "");
    EXPECT_EQ(check("b.glb", cube.glb(0xFFFFFFFF), MeshFileKind::Glb),
              "its header gives a length of 4294967295 bytes but it holds " + std::to_string(glb.size()));
    EXPECT_NE(check("c.glb", cube.glb(-1, 0xFFFFFFF0), MeshFileKind::Glb).find("JSON chunk declares 4294967280"),
              std::string::npos);
    EXPECT_NE(check("d.glb", cube.glb(-1, -1, 1 << 30), MeshFileKind::Glb).find("BIN chunk declares 1073741824"),
              std::string::npos);
    Cube long_buffer;
    long_buffer.byte_length = 1000000168;
    EXPECT_EQ(check("e.glb", long_buffer.glb(), MeshFileKind::Glb),
              "its buffer 0 declares 1000000168 bytes but the BIN chunk holds 168");
    std::string v1 = glb;
    v1[4] = 1;
    EXPECT_EQ(check("f.glb", v1, MeshFileKind::Glb), "it is glTF 1.0; only glTF 2.0 is read");
    EXPECT_NE(check("g.glb", glb.substr(0, 10), MeshFileKind::Glb).find("too few"), std::string::npos);
}

TEST_F(PrecheckTest, GltfIndicesVersionsAndDataUris)
{
    Cube cube;
    EXPECT_EQ(check("a.gltf", cube.json(false), MeshFileKind::Gltf), "");
    EXPECT_EQ(check("bom.gltf", "\xEF\xBB\xBF" + cube.json(false), MeshFileKind::Gltf), "");
    for (int type : {5121, 5123, 5125}) {
        Cube typed;
        typed.index_type = type;
        EXPECT_EQ(check("t.gltf", typed.json(false), MeshFileKind::Gltf), "") << type;
    }
    cube.indices.back() = 99;
    EXPECT_EQ(check("b.gltf", cube.json(false), MeshFileKind::Gltf),
              "it has a face that names a vertex its object does not have (index 99 of 8 vertices, mesh 0)");
    cube.index_type = 5125;
    cube.indices.back() = 0xFFFFFFFF;
    EXPECT_NE(check("c.glb", cube.glb(), MeshFileKind::Glb).find("(index 4294967295 of 8"), std::string::npos);

    Cube ragged;
    ragged.indices.pop_back();
    EXPECT_EQ(check("r.gltf", ragged.json(false), MeshFileKind::Gltf),
              "its mesh 0 has 35 triangle corners, not a multiple of 3");

    Cube old;
    old.version = "1.0";
    EXPECT_EQ(check("d.gltf", old.json(false), MeshFileKind::Gltf), "it is glTF 1.0; only glTF 2.0 is read");
    Cube short_data;
    short_data.byte_length = 1000;
    EXPECT_NE(check("e.gltf", short_data.json(false), MeshFileKind::Gltf).find("declares 1000 bytes but its data"),
              std::string::npos);
    EXPECT_EQ(check("f.gltf", "{\"asset\":", MeshFileKind::Gltf), "its JSON cannot be parsed");
    EXPECT_EQ(check("deep.gltf", std::string(100000, '['), MeshFileKind::Gltf), "its JSON cannot be parsed");
}

TEST_F(PrecheckTest, ReferencesStayInsideTheModelsFolder)
{
    const std::string model = write("m.gltf", "{}");
    write("in.bin", "data");
    ASSERT_EQ(mkdir((folder_ + "/sub").c_str(), 0755), 0);
    std::ofstream(root_ + "/outside.bin") << "secret";
    ASSERT_EQ(symlink("../outside.bin", (folder_ + "/link.bin").c_str()), 0);
    ASSERT_EQ(symlink("in.bin", (folder_ + "/inner-link.bin").c_str()), 0);
    ASSERT_EQ(mkfifo((folder_ + "/pipe.bin").c_str(), 0644), 0);

    std::string resolved;
    for (const char* fine : {"in.bin", "sub/../in.bin", "./in.bin", "inner-link.bin", "in%2Ebin"}) {
        EXPECT_EQ(reference_fault(model, fine, &resolved), "") << fine;
        EXPECT_EQ(resolved.substr(resolved.size() - 6), "in.bin") << fine;
    }
    EXPECT_EQ(reference_fault(model, "missing.bin", &resolved), "");
    EXPECT_EQ(resolved, "");  // the reader says it is missing
    EXPECT_EQ(reference_fault(model, "data:application/octet-stream;base64,AAAA", &resolved), "");

    EXPECT_EQ(reference_fault(model, "../outside.bin", &resolved), "`../outside.bin' lies outside the model's folder");
    EXPECT_EQ(reference_fault(model, "sub/../../outside.bin", &resolved),
              "`sub/../../outside.bin' lies outside the model's folder");
    EXPECT_EQ(reference_fault(model, "nothere/../../x", &resolved), "`nothere/../../x' lies outside the model's folder");
    EXPECT_EQ(reference_fault(model, "%2e%2e/outside.bin", &resolved),
              "`%2e%2e/outside.bin' lies outside the model's folder");
    EXPECT_EQ(reference_fault(model, "link.bin", &resolved), "`link.bin' lies outside the model's folder");
    EXPECT_EQ(reference_fault(model, "pipe.bin", &resolved), "`pipe.bin' is a pipe, not a file");
    EXPECT_EQ(reference_fault(model, "sub", &resolved), "`sub' is a directory, not a file");
    EXPECT_NE(reference_fault(model, "/etc/passwd", &resolved).find("is an absolute path"), std::string::npos);
    EXPECT_NE(reference_fault(model, "file:///etc/passwd", &resolved).find("not a file in the model's folder"),
              std::string::npos);
    EXPECT_NE(reference_fault(model, "https://example.com/x.bin", &resolved).find("not a file"), std::string::npos);

    // A path the library builds itself from the folder.
    EXPECT_EQ(confined_path_fault(model, folder_ + "/../outside.bin", &resolved),
              "`" + folder_ + "/../outside.bin' lies outside the model's folder");
    EXPECT_EQ(confined_path_fault(model, folder_ + "/in.bin", &resolved), "");
    EXPECT_FALSE(resolved.empty());

    Cube cube;
    cube.uri = "pipe.bin";
    EXPECT_EQ(check("p.gltf", cube.json(false), MeshFileKind::Gltf), "its buffer `pipe.bin' is a pipe, not a file");
    cube.uri = "../outside.bin";
    EXPECT_EQ(check("o.gltf", cube.json(false), MeshFileKind::Gltf),
              "its buffer `../outside.bin' lies outside the model's folder");
    EXPECT_EQ(check("l.obj", "mtllib link.bin\r\n" + obj_cube(), MeshFileKind::Obj),
              "its material library `link.bin' lies outside the model's folder");
    EXPECT_EQ(check("f.obj", "mtllib pipe.bin\n" + obj_cube(), MeshFileKind::Obj),
              "its material library `pipe.bin' is a pipe, not a file");
}

TEST_F(PrecheckTest, TextIsReadAsTheTextItIs)
{
    const std::string obj = obj_cube();
    EXPECT_EQ(check("a.obj", obj, MeshFileKind::Obj), "");
    EXPECT_EQ(check("bom.obj", "\xEF\xBB\xBF" + obj, MeshFileKind::Obj), "");
    std::string utf16 = "\xFF\xFE";
    for (char c : obj) utf16 += std::string(1, c) + '\0';
    EXPECT_EQ(check("b.obj", utf16, MeshFileKind::Obj), "it is UTF-16 text; save it as UTF-8");
    EXPECT_EQ(check("c.obj", utf16.substr(2), MeshFileKind::Obj), "it is UTF-16 text; save it as UTF-8");
    std::string nul = obj;
    nul[nul.find("v 0 1 0") + 4] = '\0';
    EXPECT_EQ(check("d.obj", nul, MeshFileKind::Obj), "its line 3 holds a NUL byte (an OBJ file is text)");

    // Imported whole: a byte-order mark and CRLF ends change nothing.
    PolygonMesh plain, marked, crlf;
    std::string why;
    std::string crlf_text;
    for (char c : obj) crlf_text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_TRUE(import_mesh_here(write("p.obj", obj), MeshFileKind::Obj, &plain, &why)) << why;
    ASSERT_TRUE(import_mesh_here(write("q.obj", "\xEF\xBB\xBF" + obj), MeshFileKind::Obj, &marked, &why)) << why;
    ASSERT_TRUE(import_mesh_here(write("r.obj", crlf_text), MeshFileKind::Obj, &crlf, &why)) << why;
    ASSERT_EQ(plain.objects.size(), 1u);
    for (const PolygonMesh* m : {&marked, &crlf}) {
        ASSERT_EQ(m->objects.size(), 1u);
        EXPECT_EQ(m->objects[0].corners, plain.objects[0].corners);
        EXPECT_EQ(m->objects[0].face_sizes, plain.objects[0].face_sizes);
    }
    PolygonMesh ply;
    ASSERT_TRUE(import_mesh_here(write("bom.ply", "\xEF\xBB\xBF" + ascii_ply()), MeshFileKind::Ply, &ply, &why)) << why;
    ASSERT_EQ(ply.objects.size(), 1u);
    EXPECT_EQ(ply.objects[0].face_sizes.size(), 6u);
    PolygonMesh gltf;
    ASSERT_TRUE(import_mesh_here(write("bom.gltf", "\xEF\xBB\xBF" + Cube().json(false)), MeshFileKind::Gltf, &gltf, &why))
        << why;
    ASSERT_EQ(gltf.objects.size(), 1u);
    EXPECT_EQ(gltf.objects[0].face_sizes.size(), 12u);
}

TEST_F(PrecheckTest, WhatAnInputIsIsSaid)
{
    ASSERT_EQ(mkfifo((folder_ + "/fifo").c_str(), 0644), 0);
    EXPECT_EQ(input_file_fault(folder_ + "/fifo"), "is a pipe, not a file");
    EXPECT_EQ(input_file_fault(folder_), "is a directory, not a file");
    EXPECT_EQ(input_file_fault("/dev/null"), "is a device, not a file");
    EXPECT_EQ(input_file_fault(write("x.off", "OFF\n")), "");
    EXPECT_EQ(input_file_fault(folder_ + "/missing"), "");
    // Refused without opening it: an open would wait for a writer.
    EXPECT_EQ(precheck_mesh_file(folder_ + "/fifo", MeshFileKind::Obj), "it is a pipe, not a file");

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::FILE* piped = fdopen(ends[0], "r");
    EXPECT_EQ(detect_mesh_file(piped, "/dev/stdin"), MeshFileKind::NotAFile);
    std::fclose(piped);
    close(ends[1]);

    auto detect = [&](const std::string& name, const std::string& bytes) {
        std::FILE* f = std::fopen(write(name, bytes).c_str(), "rb");
        const MeshFileKind kind = detect_mesh_file(f, name);
        std::fclose(f);
        return kind;
    };
    EXPECT_EQ(detect("a.bin", std::string("Kaydara FBX Binary  \0", 21)), MeshFileKind::Fbx);
    EXPECT_EQ(detect("b.fbx", "; FBX 7.4.0 project file\n"), MeshFileKind::Fbx);
    EXPECT_EQ(detect("c.xml", "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\">\n"), MeshFileKind::Collada);
    EXPECT_EQ(detect("d.bin", std::string("MM\x0a\0\0\0\x02\0\0\0", 10)), MeshFileKind::Max3ds);
    EXPECT_EQ(detect("e.bin", "BLENDER-v279"), MeshFileKind::Blend);
    EXPECT_EQ(detect("f", "\xEF\xBB\xBF{\"asset\":{}}"), MeshFileKind::Gltf);
    EXPECT_EQ(detect("g", "\xEF\xBB\xBFv 0 0 0\n"), MeshFileKind::Obj);
    EXPECT_EQ(detect("j", "\xEF\xBB\xBFply\r\nformat ascii 1.0\r\n"), MeshFileKind::Ply);
    EXPECT_EQ(detect("h.dat", "MM\x0a"), MeshFileKind::Off);  // a 3DS chunk must span the file
    EXPECT_EQ(precheck_mesh_file(write("i.fbx", "; FBX"), MeshFileKind::Fbx).substr(0, 22), "FBX files are not read");
}

// Cut short anywhere, a sound file is refused or passed, never read past its end.
TEST_F(PrecheckTest, EveryPrefixOfASoundFileIsCheckedWithinIt)
{
    const Cube cube;
    const std::pair<std::string, MeshFileKind> files[] = {
        {binary_ply(), MeshFileKind::Ply}, {ascii_ply(), MeshFileKind::Ply},  {cube.glb(), MeshFileKind::Glb},
        {cube.json(false), MeshFileKind::Gltf}, {obj_cube(), MeshFileKind::Obj},
    };
    int refused = 0;
    for (const auto& [bytes, kind] : files)
        for (size_t n = 0; n < bytes.size(); ++n)
            if (!check("prefix", bytes.substr(0, n), kind).empty()) ++refused;
    EXPECT_GT(refused, 1000);  // most cuts of the binary files cannot be true
}

TEST_F(PrecheckTest, RefusalsReachTheCallerOfTheImport)
{
    PolygonMesh mesh;
    std::string why;
    EXPECT_FALSE(import_mesh_here(write("a.ply", ascii_ply("1000000000")), MeshFileKind::Ply, &mesh, &why));
    EXPECT_NE(why.find("declares 1000000000 vertices"), std::string::npos) << why;
    EXPECT_TRUE(mesh.objects.empty());
    Cube cube;
    cube.indices[0] = 8;
    EXPECT_FALSE(import_mesh(write("b.gltf", cube.json(false)), MeshFileKind::Gltf, &mesh, &why));
    EXPECT_NE(why.find("index 8 of 8"), std::string::npos) << why;
    // Content that says PLY under another name is read as PLY from its own folder.
    EXPECT_TRUE(import_mesh_here(write("cube.off", binary_ply()), MeshFileKind::Ply, &mesh, &why)) << why;
    cube = Cube();
    write("cube.data", cube.data());
    cube.uri = "cube.data";
    EXPECT_TRUE(import_mesh_here(write("scene", cube.json(false)), MeshFileKind::Gltf, &mesh, &why)) << why;
}

}  // namespace
