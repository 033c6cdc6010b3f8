#include "output/gltf_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "output/output_file.h"

namespace kestrane {
namespace {

constexpr uint32_t GLB_MAGIC = 0x46546C67;  // "glTF"
constexpr uint32_t CHUNK_JSON = 0x4E4F534A;
constexpr uint32_t CHUNK_BIN = 0x004E4942;
constexpr uint64_t GLB_LIMIT = std::numeric_limits<uint32_t>::max();
constexpr uint64_t GLB_HEADERS = 12 + 8 + 8;

// glTF's codes for component types and buffer targets.
constexpr int FLOAT = 5126, UNSIGNED_BYTE = 5121, UNSIGNED_SHORT = 5123, UNSIGNED_INT = 5125;
constexpr int ARRAY_BUFFER = 34962, ELEMENT_ARRAY_BUFFER = 34963;

// A frame's data: positions, normals (floats), colours (4 bytes), indices.
constexpr uint64_t VERTEX_BYTES = 12 + 12 + 4;
// The animation's values: scale 0, 1, 0, of which each node keys a slice.
constexpr float SCALE_KEYS[9] = {0, 0, 0, 1, 1, 1, 0, 0, 0};

uint64_t padded4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

// Unsigned 16-bit indices when every index fits below 65535, which a
// renderer may take for a primitive restart.
bool short_indices(size_t vertices) { return vertices < 65535; }

uint64_t index_bytes(uint32_t triangles, bool short_index) { return padded4(uint64_t{triangles} * 3 * (short_index ? 2 : 4)); }

void put_u32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_float(std::vector<unsigned char>& out, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put_u32(out, bits);
}

// A float exactly: the validator compares min and max with the data bit for
// bit, and 17 digits bring the double of the float back whole.
std::string exact(float f)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(f));
    return text;
}

std::string triple(const float v[3]) { return "[" + exact(v[0]) + "," + exact(v[1]) + "," + exact(v[2]) + "]"; }

// The time frame k shows from.
float key_time(int k, double fps) { return static_cast<float>(k / fps); }

bool write_all(std::FILE* f, const void* data, size_t size) { return size == 0 || std::fwrite(data, 1, size, f) == size; }

bool write_u32(std::FILE* f, uint32_t v)
{
    std::vector<unsigned char> bytes;
    put_u32(bytes, v);
    return write_all(f, bytes.data(), bytes.size());
}

}  // namespace

GltfSequenceWriter::GltfSequenceWriter(const std::string& name) : name_(name)
{
    const size_t slash = name.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    // Beside the final file, on its file system: a full disk shows here,
    // frame by frame, not only at the end. Short, whatever the final name's length.
    std::string pattern = directory + "." + base.substr(0, 32) + ".frames-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error_ = errno;
        return;
    }
    unlink(pattern.c_str());
    frames_file_ = fdopen(fd, "w+b");
    if (!frames_file_) {
        error_ = errno;
        close(fd);
        errno = error_;
    }
}

GltfSequenceWriter::~GltfSequenceWriter()
{
    if (frames_file_) std::fclose(frames_file_);
}

bool GltfSequenceWriter::fail(int error)
{
    if (error_ == 0) error_ = error ? error : EIO;
    if (frames_file_) {
        std::fclose(frames_file_);
        frames_file_ = nullptr;
    }
    frames_.clear();
    frames_.shrink_to_fit();
    errno = error_;
    return false;
}

bool GltfSequenceWriter::add_frame(const SurfaceMesh& mesh, const SourcePlacement& placement, int number)
{
    if (!frames_file_) return fail(error_);
    Frame frame;
    frame.offset = frames_bytes_;
    frame.number = number > 0 ? number : frame_count() + 1;
    if (mesh.triangles.empty() || mesh.vertices.empty()) {
        frames_.push_back(frame);
        return true;
    }
    if (mesh.vertices.size() > GLB_LIMIT || mesh.triangles.size() > GLB_LIMIT / 3) return fail(EFBIG);
    frame.vertices = static_cast<uint32_t>(mesh.vertices.size());
    frame.triangles = static_cast<uint32_t>(mesh.triangles.size());
    frame.short_indices = short_indices(mesh.vertices.size());
    const uint64_t bytes = frame.vertices * VERTEX_BYTES + index_bytes(frame.triangles, frame.short_indices);
    if (GLB_HEADERS + frames_bytes_ + bytes > GLB_LIMIT) return fail(EFBIG);

    std::vector<unsigned char> data;
    data.reserve(bytes);
    for (int axis = 0; axis < 3; ++axis) {
        frame.min[axis] = std::numeric_limits<float>::infinity();
        frame.max[axis] = -std::numeric_limits<float>::infinity();
    }
    for (const MeshVertex& v : mesh.vertices) {
        const Vector3 p = source_position(v, placement);
        const float position[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        for (int axis = 0; axis < 3; ++axis) {
            frame.min[axis] = std::min(frame.min[axis], position[axis]);
            frame.max[axis] = std::max(frame.max[axis], position[axis]);
            put_float(data, position[axis]);
        }
    }
    for (const MeshVertex& v : mesh.vertices) {
        // Unit length, as glTF requires of normals: the mesh's are rounded
        // to 16 bits, and a degenerate one points up.
        double n[3] = {static_cast<double>(v.nx), static_cast<double>(v.ny), static_cast<double>(v.nz)};
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length <= 0) {
            n[0] = n[1] = 0;
            n[2] = 1;
        } else {
            for (double& c : n) c /= length;
        }
        for (double c : n) put_float(data, static_cast<float>(c));
    }
    for (const MeshVertex& v : mesh.vertices) {
        data.push_back(colour_byte_255(v.colour, 0, 31));
        data.push_back(colour_byte_255(v.colour, 1, 63));
        data.push_back(colour_byte_255(v.colour, 2, 31));
        data.push_back(255);
    }
    for (const MeshTriangle& t : mesh.triangles)
        for (int32_t index : t.v) {
            if (index < 0 || static_cast<uint64_t>(index) >= frame.vertices) return fail(EINVAL);
            if (frame.short_indices) {
                data.push_back(static_cast<unsigned char>(index));
                data.push_back(static_cast<unsigned char>(index >> 8));
            } else {
                put_u32(data, static_cast<uint32_t>(index));
            }
        }
    data.resize(bytes, 0);
    if (!write_all(frames_file_, data.data(), data.size())) return fail(errno);
    frames_bytes_ += bytes;
    frames_.push_back(frame);
    return true;
}

std::string GltfSequenceWriter::json(double fps, uint64_t animation_offset) const
{
    const int n = frame_count();
    std::string nodes, meshes, accessors, views, channels, samplers;
    int accessor = 0, view = 0, mesh = 0;
    auto add_view = [&](uint64_t offset, uint64_t length, int target) {
        if (!views.empty()) views += ",";
        views += "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" + std::to_string(length);
        if (target) views += ",\"target\":" + std::to_string(target);
        views += "}";
        return view++;
    };
    auto add_accessor = [&](int buffer_view, uint64_t offset, int component, const char* type, uint64_t count,
                            const std::string& extra) {
        if (!accessors.empty()) accessors += ",";
        accessors += "{\"bufferView\":" + std::to_string(buffer_view);
        if (offset) accessors += ",\"byteOffset\":" + std::to_string(offset);
        accessors += ",\"componentType\":" + std::to_string(component) + ",\"count\":" + std::to_string(count) +
                     ",\"type\":\"" + type + "\"" + extra + "}";
        return accessor++;
    };

    for (int i = 0; i < n; ++i) {
        const Frame& f = frames_[i];
        char label[32];
        std::snprintf(label, sizeof label, "frame%03d", f.number);
        if (i) nodes += ",";
        nodes += std::string("{\"name\":\"") + label + "\"";
        if (f.triangles > 0) {
            const uint64_t v = f.vertices;
            const int positions = add_accessor(add_view(f.offset, 12 * v, ARRAY_BUFFER), 0, FLOAT, "VEC3", v,
                                               ",\"min\":" + triple(f.min) + ",\"max\":" + triple(f.max));
            const int normals = add_accessor(add_view(f.offset + 12 * v, 12 * v, ARRAY_BUFFER), 0, FLOAT, "VEC3", v, "");
            const int colours = add_accessor(add_view(f.offset + 24 * v, 4 * v, ARRAY_BUFFER), 0, UNSIGNED_BYTE,
                                             "VEC4", v, ",\"normalized\":true");
            const uint64_t index_count = uint64_t{f.triangles} * 3;
            const int indices =
                add_accessor(add_view(f.offset + 28 * v, index_count * (f.short_indices ? 2 : 4), ELEMENT_ARRAY_BUFFER),
                             0, f.short_indices ? UNSIGNED_SHORT : UNSIGNED_INT, "SCALAR", index_count, "");
            if (mesh) meshes += ",";
            meshes += std::string("{\"name\":\"") + label + "\",\"primitives\":[{\"attributes\":{\"POSITION\":" +
                      std::to_string(positions) + ",\"NORMAL\":" + std::to_string(normals) +
                      ",\"COLOR_0\":" + std::to_string(colours) + "},\"indices\":" + std::to_string(indices) +
                      ",\"material\":0,\"mode\":4}]}";
            nodes += ",\"mesh\":" + std::to_string(mesh++);
        }
        if (i > 0) nodes += ",\"scale\":[0,0,0]";
        nodes += "}";
    }

    // Node i is keyed at the times of frames i - 1, i and i + 1 (those
    // there are): 0, 1, 0. Before its first key a sampler holds the first
    // value, after its last the last.
    const int times = add_view(animation_offset, 4 * uint64_t(n), 0);
    const int values = add_view(animation_offset + 4 * uint64_t(n), sizeof SCALE_KEYS, 0);
    for (int i = 0; i < n; ++i) {
        const int first = std::max(i - 1, 0), last = std::min(i + 1, n - 1);
        const int count = last - first + 1;
        const float start = key_time(first, fps), end = key_time(last, fps);
        const int input = add_accessor(times, 4 * uint64_t(first), FLOAT, "SCALAR", count,
                                       ",\"min\":[" + exact(start) + "],\"max\":[" + exact(end) + "]");
        const int output = add_accessor(values, 12 * uint64_t(i == 0 ? 1 : 0), FLOAT, "VEC3", count, "");
        if (i) {
            samplers += ",";
            channels += ",";
        }
        samplers += "{\"input\":" + std::to_string(input) + ",\"output\":" + std::to_string(output) +
                    ",\"interpolation\":\"STEP\"}";
        channels += "{\"sampler\":" + std::to_string(i) + ",\"target\":{\"node\":" + std::to_string(i) +
                    ",\"path\":\"scale\"}}";
    }

    std::string scene_nodes;
    for (int i = 0; i < n; ++i) scene_nodes += (i ? "," : "") + std::to_string(i);
    const uint64_t buffer_bytes = animation_offset + 4 * uint64_t(n) + sizeof SCALE_KEYS;
    std::string text = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Kestrane\"},\"scene\":0,"
                       "\"scenes\":[{\"name\":\"Kestrane morph\",\"nodes\":[" + scene_nodes + "]}],"
                       "\"nodes\":[" + nodes + "],";
    if (mesh) {
        text += "\"meshes\":[" + meshes + "],";
        // The colours are the vertices'; a plain, rough, non-metallic surface under them.
        text += "\"materials\":[{\"name\":\"Kestrane morph\",\"pbrMetallicRoughness\":{\"metallicFactor\":0,"
                "\"roughnessFactor\":0.6}}],";
    }
    text += "\"accessors\":[" + accessors + "],\"bufferViews\":[" + views + "],\"buffers\":[{\"byteLength\":" +
            std::to_string(buffer_bytes) + "}],";
    text += "\"animations\":[{\"name\":\"Kestrane morph\",\"channels\":[" + channels + "],\"samplers\":[" + samplers +
            "]}]}";
    return text;
}

bool GltfSequenceWriter::finish(double fps)
{
    if (!frames_file_) return fail(error_);
    if (frames_.empty() || !(fps > 0) || !std::isfinite(fps)) return fail(EINVAL);
    const int n = frame_count();
    std::vector<unsigned char> animation;
    for (int k = 0; k < n; ++k) put_float(animation, key_time(k, fps));
    for (float v : SCALE_KEYS) put_float(animation, v);

    std::string text = json(fps, frames_bytes_);
    text.resize(padded4(text.size()), ' ');
    const uint64_t bin = frames_bytes_ + animation.size();
    const uint64_t total = GLB_HEADERS + text.size() + bin;
    if (total > GLB_LIMIT) return fail(EFBIG);

    if (std::fflush(frames_file_) != 0 || std::fseek(frames_file_, 0, SEEK_SET) != 0) return fail(errno);
    errno = 0;
    OutputFile out(name_);
    if (!out.is_open()) {
        // OutputFile leaves a final name that is a directory as it is; say so.
        struct stat existing;
        const bool directory = stat(name_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode);
        return fail(directory ? EISDIR : errno);
    }
    std::FILE* f = out.stream;
    bool ok = write_u32(f, GLB_MAGIC) && write_u32(f, 2) && write_u32(f, static_cast<uint32_t>(total)) &&
              write_u32(f, static_cast<uint32_t>(text.size())) && write_u32(f, CHUNK_JSON) &&
              write_all(f, text.data(), text.size()) && write_u32(f, static_cast<uint32_t>(bin)) &&
              write_u32(f, CHUNK_BIN);
    std::vector<char> block(1 << 20);
    for (uint64_t left = frames_bytes_; ok && left > 0;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
        if (std::fread(block.data(), 1, want, frames_file_) != want) {
            const int error = std::ferror(frames_file_) ? errno : EIO;
            return fail(error);  // the OutputFile removes its temporary
        }
        ok = write_all(f, block.data(), want);
        left -= want;
    }
    ok = ok && write_all(f, animation.data(), animation.size());
    if (!ok || !out.commit()) return fail(errno);
    std::fclose(frames_file_);
    frames_file_ = nullptr;
    return true;
}

}  // namespace kestrane
