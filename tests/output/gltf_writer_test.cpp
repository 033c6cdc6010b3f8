// The GLB of a whole morph read back here: the container, the JSON (through a
// small reader), every accessor against the meshes written, the binary data,
// and the animation's keys sampled as a player samples them. The Khronos
// validator and Blender read whole morphs in the end-to-end test.
#include "output/gltf_writer.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace kestrane;

namespace {

// Enough JSON for what the writer writes: objects, arrays, numbers,
// strings without escapes, true and false.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    bool has(const std::string& key) const { return members.count(key) > 0; }
    const Json& operator[](const std::string& key) const { return members.at(key); }
    const Json& operator[](size_t i) const { return items.at(i); }
    size_t size() const { return kind == Array ? items.size() : members.size(); }
    long integer() const { return static_cast<long>(number); }
};

struct JsonReader {
    const std::string& s;
    size_t at = 0;
    bool bad = false;

    void blanks()
    {
        while (at < s.size() && std::strchr(" \t\r\n", s[at])) ++at;
    }
    bool take(char c)
    {
        blanks();
        if (at < s.size() && s[at] == c) return ++at, true;
        return false;
    }
    std::string string()
    {
        std::string out;
        if (!take('"')) return bad = true, out;
        while (at < s.size() && s[at] != '"') out += s[at++];
        if (at++ >= s.size()) bad = true;
        return out;
    }
    Json value()
    {
        Json v;
        blanks();
        if (at >= s.size()) return bad = true, v;
        const char c = s[at];
        if (c == '{') {
            v.kind = Json::Object;
            ++at;
            if (take('}')) return v;
            do {
                const std::string key = string();
                if (!take(':')) return bad = true, v;
                v.members[key] = value();
            } while (!bad && take(','));
            if (!take('}')) bad = true;
        } else if (c == '[') {
            v.kind = Json::Array;
            ++at;
            if (take(']')) return v;
            do v.items.push_back(value());
            while (!bad && take(','));
            if (!take(']')) bad = true;
        } else if (c == '"') {
            v.kind = Json::String;
            v.text = string();
        } else if (s.compare(at, 4, "true") == 0 || s.compare(at, 5, "false") == 0) {
            v.kind = Json::Bool;
            v.number = c == 't';
            at += c == 't' ? 4 : 5;
        } else {
            v.kind = Json::Number;
            char* end = nullptr;
            v.number = std::strtod(s.c_str() + at, &end);
            if (end == s.c_str() + at) bad = true;
            at = static_cast<size_t>(end - s.c_str());
        }
        return v;
    }
};

uint32_t u32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return v;
}

std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> directory_entries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// A GLB split into its JSON and its binary chunk, with every container
// rule checked on the way.
struct Glb {
    Json json;
    std::string bin;
};

Glb read_glb(const std::string& name)
{
    Glb glb;
    const std::string bytes = read_file(name);
    EXPECT_GE(bytes.size(), 28u);
    if (bytes.size() < 28) return glb;
    EXPECT_EQ(bytes.substr(0, 4), "glTF");
    EXPECT_EQ(u32(bytes, 4), 2u);
    EXPECT_EQ(u32(bytes, 8), bytes.size());
    const uint32_t json_length = u32(bytes, 12);
    EXPECT_EQ(u32(bytes, 16), 0x4E4F534Au);
    EXPECT_EQ(json_length % 4, 0u);
    const std::string text = bytes.substr(20, json_length);
    EXPECT_EQ(text.find_first_of('\0'), std::string::npos);  // padded with spaces
    JsonReader reader{text};
    glb.json = reader.value();
    reader.blanks();
    EXPECT_FALSE(reader.bad);
    EXPECT_EQ(reader.at, text.size());
    const size_t bin_at = 20 + json_length;
    EXPECT_EQ(u32(bytes, bin_at + 4), 0x004E4942u);
    const uint32_t bin_length = u32(bytes, bin_at);
    EXPECT_EQ(bin_length % 4, 0u);
    EXPECT_EQ(bin_at + 8 + bin_length, bytes.size());
    glb.bin = bytes.substr(bin_at + 8, bin_length);
    EXPECT_EQ(glb.json["buffers"][0]["byteLength"].integer(), static_cast<long>(bin_length));
    return glb;
}

// Where accessor `a`'s elements start in the binary chunk, checking that
// they lie in its buffer view, 4-byte aligned, and that it has no stride.
size_t accessor_start(const Glb& glb, long a, size_t element_bytes)
{
    const Json& accessor = glb.json["accessors"][a];
    const Json& view = glb.json["bufferViews"][accessor["bufferView"].integer()];
    EXPECT_FALSE(view.has("byteStride"));
    const long view_start = view.has("byteOffset") ? view["byteOffset"].integer() : 0;
    const long offset = accessor.has("byteOffset") ? accessor["byteOffset"].integer() : 0;
    EXPECT_EQ(view_start % 4, 0);
    EXPECT_EQ(offset % 4, 0);
    EXPECT_LE(offset + accessor["count"].integer() * static_cast<long>(element_bytes), view["byteLength"].integer());
    EXPECT_LE(view_start + view["byteLength"].integer(), static_cast<long>(glb.bin.size()));
    return static_cast<size_t>(view_start + offset);
}

float float_at(const std::string& bin, size_t at)
{
    const uint32_t bits = u32(bin, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

class GltfWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrane-gltf-XXXXXX";
        dir = mkdtemp(pattern);
        placement.centre = {1.5, -2.0, 0.25};
        placement.scale = 8.0;
        placement.volume_dims[0] = 21;
        placement.volume_dims[1] = 24;
        placement.volume_dims[2] = 9;
        small.vertices = {{-64, 0, 128, 32000, 0, 0, 0x7a1f3f1fu},
                          {0, 64, 128, 0, -16000, 27712, 0x00000a00u},
                          {64, -1, -32768, 0, 0, 0, 0x00ff0001u},
                          {5, 6, 7, 0, 0, -32000, 0x000f1f0fu}};
        small.triangles = {{{0, 1, 2}}, {{2, 1, 3}}};
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

    std::string dir;
    SourcePlacement placement;
    SurfaceMesh small;
};

TEST_F(GltfWriterTest, FramesAreMeshesUnderTheirNodesWithTheirDataInTheBinaryChunk)
{
    SurfaceMesh other = small;
    other.vertices.pop_back();
    other.triangles.pop_back();
    other.vertices[0].x = 640;
    const std::string name = dir + "/m.glb";
    {
        GltfSequenceWriter writer(name);
        ASSERT_TRUE(writer.is_open());
        ASSERT_TRUE(writer.add_frame(small, placement));
        ASSERT_TRUE(writer.add_frame(SurfaceMesh{}, placement));  // an empty end of a morph
        ASSERT_TRUE(writer.add_frame(other, placement, 7));
        EXPECT_EQ(writer.frame_count(), 3);
        ASSERT_TRUE(writer.finish());
    }
    EXPECT_EQ(directory_entries(dir), std::vector<std::string>{"m.glb"});
    const Glb glb = read_glb(name);
    const Json& json = glb.json;
    EXPECT_EQ(json["asset"]["version"].text, "2.0");
    EXPECT_EQ(json["scene"].integer(), 0);
    ASSERT_EQ(json["scenes"][0]["nodes"].size(), 3u);
    for (long i = 0; i < 3; ++i) EXPECT_EQ(json["scenes"][0]["nodes"][i].integer(), i);

    const Json& nodes = json["nodes"];
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]["name"].text, "frame001");
    EXPECT_EQ(nodes[1]["name"].text, "frame002");
    EXPECT_EQ(nodes[2]["name"].text, "frame007");
    EXPECT_FALSE(nodes[1].has("mesh"));
    // Only the first frame shows before the animation plays.
    EXPECT_FALSE(nodes[0].has("scale"));
    for (int i = 1; i < 3; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(nodes[i]["scale"][c].number, 0) << i;
    ASSERT_EQ(json["meshes"].size(), 2u);

    const SurfaceMesh* written[2] = {&small, &other};
    for (int m = 0; m < 2; ++m) {
        SCOPED_TRACE(m);
        const SurfaceMesh& mesh = *written[m];
        const long mesh_index = nodes[m == 0 ? 0 : 2]["mesh"].integer();
        const Json& primitive = json["meshes"][mesh_index]["primitives"][0];
        EXPECT_EQ(primitive["mode"].integer(), 4);
        EXPECT_EQ(primitive["material"].integer(), 0);
        const Json& attributes = primitive["attributes"];
        const Json& position = json["accessors"][attributes["POSITION"].integer()];
        const Json& normal = json["accessors"][attributes["NORMAL"].integer()];
        const Json& colour = json["accessors"][attributes["COLOR_0"].integer()];
        const Json& index = json["accessors"][primitive["indices"].integer()];
        for (const Json* a : {&position, &normal, &colour})
            EXPECT_EQ(a->operator[]("count").integer(), static_cast<long>(mesh.vertices.size()));
        EXPECT_EQ(index["count"].integer(), static_cast<long>(3 * mesh.triangles.size()));
        EXPECT_EQ(position["type"].text, "VEC3");
        EXPECT_EQ(position["componentType"].integer(), 5126);
        EXPECT_EQ(colour["type"].text, "VEC4");
        EXPECT_EQ(colour["componentType"].integer(), 5121);
        EXPECT_TRUE(colour["normalized"].number);
        EXPECT_EQ(index["componentType"].integer(), 5123);
        EXPECT_EQ(json["bufferViews"][index["bufferView"].integer()]["target"].integer(), 34963);
        EXPECT_EQ(json["bufferViews"][position["bufferView"].integer()]["target"].integer(), 34962);

        const size_t p = accessor_start(glb, attributes["POSITION"].integer(), 12);
        const size_t n = accessor_start(glb, attributes["NORMAL"].integer(), 12);
        const size_t c = accessor_start(glb, attributes["COLOR_0"].integer(), 4);
        const size_t t = accessor_start(glb, primitive["indices"].integer(), 2);
        float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            const Vector3 source = source_position(mesh.vertices[v], placement);
            const float expected[3] = {float(source.x), float(source.y), float(source.z)};
            double length = 0;
            for (int axis = 0; axis < 3; ++axis) {
                const float got = float_at(glb.bin, p + 12 * v + 4 * axis);
                EXPECT_EQ(got, expected[axis]) << v << " " << axis;
                low[axis] = std::min(low[axis], got);
                high[axis] = std::max(high[axis], got);
                length += std::pow(float_at(glb.bin, n + 12 * v + 4 * axis), 2);
            }
            EXPECT_NEAR(length, 1.0, 1e-6) << v;
            const unsigned char* rgba = reinterpret_cast<const unsigned char*>(glb.bin.data() + c + 4 * v);
            EXPECT_EQ(rgba[0], colour_byte_255(mesh.vertices[v].colour, 0, 31));
            EXPECT_EQ(rgba[1], colour_byte_255(mesh.vertices[v].colour, 1, 63));
            EXPECT_EQ(rgba[2], colour_byte_255(mesh.vertices[v].colour, 2, 31));
            EXPECT_EQ(rgba[3], 255);
        }
        // min and max are the data's, to the bit.
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(position["min"][axis].number, static_cast<double>(low[axis]));
            EXPECT_EQ(position["max"][axis].number, static_cast<double>(high[axis]));
        }
        for (size_t k = 0; k < 3 * mesh.triangles.size(); ++k) {
            const unsigned value = static_cast<unsigned char>(glb.bin[t + 2 * k]) |
                                   static_cast<unsigned char>(glb.bin[t + 2 * k + 1]) << 8;
            EXPECT_EQ(value, static_cast<unsigned>(mesh.triangles[k / 3].v[k % 3])) << k;
        }
    }
    // The first frame's values, whole: x of vertex 0 is 1/8 left of the centre.
    EXPECT_FLOAT_EQ(float_at(glb.bin, 0), 1.5f - 1.0f / 8);
    EXPECT_NEAR(float_at(glb.bin, 12 * 4 + 12 + 4), -0.5f, 1e-4);  // normal y of vertex 1, made unit
    // A zero normal is not written as one.
    EXPECT_FLOAT_EQ(float_at(glb.bin, 12 * 4 + 24 + 8), 1.0f);
}

// The value of a STEP sampler at time t, as glTF defines it.
float step_value(const Glb& glb, const Json& sampler, double t)
{
    const long input = sampler["input"].integer(), output = sampler["output"].integer();
    const size_t in = accessor_start(glb, input, 4), out = accessor_start(glb, output, 12);
    const long count = glb.json["accessors"][input]["count"].integer();
    long key = 0;
    while (key + 1 < count && float_at(glb.bin, in + 4 * (key + 1)) <= t) ++key;
    return float_at(glb.bin, out + 12 * key);
}

TEST_F(GltfWriterTest, EachFrameShowsAloneForOneFramesTime)
{
    for (int frames : {1, 2, 5}) {
        SCOPED_TRACE(frames);
        const std::string name = dir + "/a" + std::to_string(frames) + ".glb";
        {
            GltfSequenceWriter writer(name);
            for (int i = 0; i < frames; ++i) ASSERT_TRUE(writer.add_frame(small, placement));
            ASSERT_TRUE(writer.finish(10));
        }
        const Glb glb = read_glb(name);
        const Json& animation = glb.json["animations"][0];
        ASSERT_EQ(animation["channels"].size(), static_cast<size_t>(frames));
        double last_key = 0;
        for (int node = 0; node < frames; ++node) {
            const Json& channel = animation["channels"][node];
            EXPECT_EQ(channel["target"]["node"].integer(), node);
            EXPECT_EQ(channel["target"]["path"].text, "scale");
            const Json& sampler = animation["samplers"][channel["sampler"].integer()];
            EXPECT_EQ(sampler["interpolation"].text, "STEP");
            const Json& input = glb.json["accessors"][sampler["input"].integer()];
            const Json& output = glb.json["accessors"][sampler["output"].integer()];
            EXPECT_EQ(output["count"].integer(), input["count"].integer());
            EXPECT_EQ(output["type"].text, "VEC3");
            // The declared bounds are the first and last key, and keys rise.
            const size_t in = accessor_start(glb, sampler["input"].integer(), 4);
            const long count = input["count"].integer();
            EXPECT_EQ(input["min"][0].number, float_at(glb.bin, in));
            EXPECT_EQ(input["max"][0].number, float_at(glb.bin, in + 4 * (count - 1)));
            for (long k = 1; k < count; ++k) EXPECT_LT(float_at(glb.bin, in + 4 * (k - 1)), float_at(glb.bin, in + 4 * k));
            last_key = std::max(last_key, input["max"][0].number);
            // Sampled in the middle of every frame's time, and at its start.
            for (int shown = 0; shown < frames; ++shown) {
                const float expected = shown == node ? 1.0f : 0.0f;
                EXPECT_EQ(step_value(glb, sampler, (shown + 0.5) / 10), expected) << node << " at " << shown;
                EXPECT_EQ(step_value(glb, sampler, float(shown / 10.0)), expected) << node << " at " << shown;
            }
        }
        EXPECT_NEAR(last_key, (frames - 1) / 10.0, 1e-6);
    }
}

TEST_F(GltfWriterTest, LargeFramesTakeFourByteIndices)
{
    SurfaceMesh big;
    big.vertices.assign(65535, small.vertices[0]);
    big.vertices.back() = small.vertices[1];
    big.triangles = {{{0, 65534, 1}}, {{3, 2, 1}}};
    const std::string name = dir + "/big.glb";
    {
        GltfSequenceWriter writer(name);
        ASSERT_TRUE(writer.add_frame(small, placement));
        ASSERT_TRUE(writer.add_frame(big, placement));
        ASSERT_TRUE(writer.finish());
    }
    const Glb glb = read_glb(name);
    const Json& primitive = glb.json["meshes"][1]["primitives"][0];
    const long index = primitive["indices"].integer();
    EXPECT_EQ(glb.json["accessors"][index]["componentType"].integer(), 5125);
    const size_t at = accessor_start(glb, index, 4);
    EXPECT_EQ(u32(glb.bin, at + 4), 65534u);
    EXPECT_EQ(u32(glb.bin, at + 20), 1u);
    // The small frame's two-byte indices were padded: the next frame's data is aligned.
    EXPECT_EQ(accessor_start(glb, primitive["attributes"]["POSITION"].integer(), 12) % 4, 0u);
}

TEST_F(GltfWriterTest, FailuresLeaveNoFileAndNoTemporary)
{
    // A directory that does not exist: nothing to open.
    {
        GltfSequenceWriter writer(dir + "/missing/m.glb");
        EXPECT_FALSE(writer.is_open());
        EXPECT_FALSE(writer.add_frame(small, placement));
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(errno, ENOENT);
    }
    // No frames, or a final name that is a directory: the previous contents stay.
    {
        GltfSequenceWriter writer(dir + "/none.glb");
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(errno, EINVAL);
    }
    ASSERT_EQ(mkdir((dir + "/taken.glb").c_str(), 0755), 0);
    {
        GltfSequenceWriter writer(dir + "/taken.glb");
        ASSERT_TRUE(writer.add_frame(small, placement));
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(errno, EISDIR);
    }
    EXPECT_EQ(directory_entries(dir), std::vector<std::string>{"taken.glb"});
    EXPECT_TRUE(directory_entries(dir + "/taken.glb").empty());

    // A file size limit: the frames' temporary, then the GLB, fail to grow.
    {
        std::ofstream(dir + "/old.glb") << "old";
        struct rlimit saved;
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small_files = saved;
        // 200 bytes stop the frames' temporary; 4096 take the frames but not the GLB.
        const struct {
            rlim_t bytes;
            int frames;
        } limits[] = {{200, 100}, {4096, 20}};
        for (const auto& limit : limits) {
            SCOPED_TRACE(limit.bytes);
            small_files.rlim_cur = limit.bytes;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small_files), 0);
            bool added = true;
            {
                GltfSequenceWriter writer(dir + "/old.glb");
                for (int i = 0; i < limit.frames && added; ++i) added = writer.add_frame(small, placement);
                const bool finished = added && writer.finish();
                EXPECT_FALSE(finished);
                EXPECT_EQ(errno, EFBIG);
                EXPECT_FALSE(writer.add_frame(small, placement));
            }
            EXPECT_EQ(limit.bytes == 200, !added);
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, handler);
        EXPECT_EQ(read_file(dir + "/old.glb"), "old");
    }
    std::vector<std::string> left = directory_entries(dir);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"old.glb", "taken.glb"}));
}

}  // namespace
