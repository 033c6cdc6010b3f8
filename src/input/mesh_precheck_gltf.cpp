// The glTF pre-check: a GLB's header and chunks against the file's size, the
// JSON's version, every buffer's length against what holds it, the files
// buffers and images name, and every index of a triangle mesh against its
// vertex count (Assimp drops a face with a bad index without a word).
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "input/mesh_precheck.h"
#include "input/mesh_precheck_support.h"

namespace kestrane {
namespace {

struct Json {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json* get(const char* key) const
    {
        if (type != Object) return nullptr;
        for (const auto& m : members)
            if (m.first == key) return &m.second;
        return nullptr;
    }
    const Json* at(size_t i) const { return type == Array && i < items.size() ? &items[i] : nullptr; }
};

// Deep enough for any real model, shallow enough for the stack.
constexpr int MAX_JSON_DEPTH = 64;

struct JsonParser {
    const char* p;
    const char* end;

    void skip()
    {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
    }
    bool literal(const char* word)
    {
        const size_t n = std::strlen(word);
        if (static_cast<size_t>(end - p) < n || std::memcmp(p, word, n) != 0) return false;
        p += n;
        return true;
    }
    bool string(std::string& out)
    {
        if (p >= end || *p != '"') return false;
        ++p;
        while (p < end && *p != '"') {
            if (*p == '\\') {
                if (++p >= end) return false;
                switch (*p) {
                case 'n': out.push_back('\n'); break;
                case 't': out.push_back('\t'); break;
                case 'r': out.push_back('\r'); break;
                case 'b': out.push_back('\b'); break;
                case 'f': out.push_back('\f'); break;
                case 'u': {
                    if (end - p < 5) return false;
                    unsigned code = 0;
                    for (int i = 1; i <= 4; ++i) {
                        const char c = p[i];
                        code = code * 16 + static_cast<unsigned>(c >= '0' && c <= '9'   ? c - '0'
                                                                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                        : 0);
                    }
                    p += 4;
                    if (code < 0x80) {
                        out.push_back(static_cast<char>(code));
                    } else if (code < 0x800) {
                        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
                        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
                    } else {
                        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
                        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
                        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
                    }
                    break;
                }
                default: out.push_back(*p);
                }
                ++p;
            } else {
                out.push_back(*p++);
            }
        }
        if (p >= end) return false;
        ++p;
        return true;
    }
    bool value(Json& v, int depth)
    {
        if (depth > MAX_JSON_DEPTH) return false;
        skip();
        if (p >= end) return false;
        if (*p == '{') {
            v.type = Json::Object;
            ++p;
            skip();
            if (p < end && *p == '}') return ++p, true;
            for (;;) {
                skip();
                std::pair<std::string, Json> m;
                if (!string(m.first)) return false;
                skip();
                if (p >= end || *p != ':') return false;
                ++p;
                if (!value(m.second, depth + 1)) return false;
                v.members.push_back(std::move(m));
                skip();
                if (p < end && *p == ',') {
                    ++p;
                    continue;
                }
                if (p < end && *p == '}') return ++p, true;
                return false;
            }
        }
        if (*p == '[') {
            v.type = Json::Array;
            ++p;
            skip();
            if (p < end && *p == ']') return ++p, true;
            for (;;) {
                v.items.emplace_back();
                if (!value(v.items.back(), depth + 1)) return false;
                skip();
                if (p < end && *p == ',') {
                    ++p;
                    continue;
                }
                if (p < end && *p == ']') return ++p, true;
                return false;
            }
        }
        if (*p == '"') {
            v.type = Json::String;
            return string(v.text);
        }
        if (literal("true") || literal("false")) {
            v.type = Json::Bool;
            return true;
        }
        if (literal("null")) return true;
        const char* start = p;
        while (p < end && (std::strchr("+-.eE", *p) || (*p >= '0' && *p <= '9'))) ++p;
        if (p == start) return false;
        v.type = Json::Number;
        v.number = std::strtod(std::string(start, p).c_str(), nullptr);
        return true;
    }
};

// A whole number the format allows (a count, a length, an index); -1 when
// absent, -2 when not such a number.
double whole(const Json* v)
{
    if (!v) return -1;
    if (v->type != Json::Number || !(v->number >= 0) || v->number > 9007199254740992.0 ||
        v->number != std::floor(v->number))
        return -2;
    return v->number;
}

std::string named(const std::string& s) { return "`" + s + "'"; }

std::string text_of(double n)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", n);
    return buffer;
}

uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool decode_base64(const std::string& text, size_t from, std::string* out)
{
    unsigned bits = 0;
    int held = 0;
    for (size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+' || c == '-') v = 62;
        else if (c == '/' || c == '_') v = 63;
        else if (c == '=') break;
        else return false;
        bits = (bits << 6) | static_cast<unsigned>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out->push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    return true;
}

struct Model {
    const std::string& path;
    const Json& root;
    const unsigned char* bin = nullptr;  // a GLB's BIN chunk
    uint64_t bin_size = 0;
    bool glb = false;
    std::vector<std::string> buffers;  // the bytes of each buffer, once needed
    std::vector<bool> loaded;
};

// Buffer i's bytes, checked against its declared length; with data null,
// only its length is checked (a file's size, without reading it).
std::string buffer_bytes(Model& m, size_t i, const unsigned char** data, uint64_t* size)
{
    const Json* buffers = m.root.get("buffers");
    const Json* b = buffers ? buffers->at(i) : nullptr;
    if (!b) return "a buffer view names buffer " + std::to_string(i) + ", which it does not have";
    const double length = whole(b->get("byteLength"));
    if (length < 0) return "its buffer " + std::to_string(i) + " has no valid byteLength";
    const Json* uri = b->get("uri");
    if (!uri) {
        if (!m.glb || i != 0) return "its buffer " + std::to_string(i) + " has no uri";
        if (length > m.bin_size)
            return "its buffer 0 declares " + text_of(length) + " bytes but the BIN chunk holds " +
                   std::to_string(m.bin_size);
        if (data) *data = m.bin;
        if (size) *size = static_cast<uint64_t>(length);
        return "";
    }
    if (uri->type != Json::String) return "its buffer " + std::to_string(i) + " has a uri that is not text";
    if (m.buffers.size() <= i) {
        m.buffers.resize(i + 1);
        m.loaded.resize(i + 1);
    }
    std::string& bytes = m.buffers[i];
    if (!data && uri->text.compare(0, 5, "data:") != 0) {
        std::string resolved;
        const std::string fault = reference_fault(m.path, uri->text, &resolved);
        if (!fault.empty()) return "its buffer " + fault;
        if (resolved.empty()) return "its buffer " + named(uri->text) + " is not there";
        struct stat st;
        if (stat(resolved.c_str(), &st) == 0 && length > st.st_size)
            return "its buffer " + std::to_string(i) + " declares " + text_of(length) + " bytes but " +
                   named(uri->text) + " holds " + std::to_string(st.st_size);
        return "";
    }
    if (!m.loaded[i]) {
        m.loaded[i] = true;
        if (uri->text.compare(0, 5, "data:") == 0) {
            const size_t comma = uri->text.find(',');
            if (comma == std::string::npos || uri->text.rfind(";base64", comma) == std::string::npos ||
                !decode_base64(uri->text, comma + 1, &bytes))
                return "its buffer " + std::to_string(i) + " has a data: URI that is not base64";
        } else {
            std::string resolved, why;
            std::string fault = reference_fault(m.path, uri->text, &resolved);
            if (!fault.empty()) return "its buffer " + fault;
            if (resolved.empty()) return "its buffer " + named(uri->text) + " is not there";
            if (!read_regular_file(resolved, &bytes, &why)) return "its buffer " + named(uri->text) + " " + why;
        }
    }
    if (length > bytes.size())
        return "its buffer " + std::to_string(i) + " declares " + text_of(length) + " bytes but " +
               (uri->text.compare(0, 5, "data:") == 0 ? std::string("its data: URI") : named(uri->text)) +
               " holds " + std::to_string(bytes.size());
    if (data) *data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (size) *size = static_cast<uint64_t>(length);
    return "";
}

int component_size(double type)
{
    if (type == 5120 || type == 5121) return 1;
    if (type == 5122 || type == 5123) return 2;
    if (type == 5125 || type == 5126) return 4;
    return 0;
}

int component_count(const std::string& type)
{
    if (type == "SCALAR") return 1;
    if (type == "VEC2") return 2;
    if (type == "VEC3") return 3;
    if (type == "VEC4") return 4;
    return 0;  // matrices carry padding: not checked
}

struct View {
    const unsigned char* data = nullptr;  // the accessor's first element
    uint64_t count = 0, stride = 0, element = 0;
};

// Accessor a placed in its buffer: every element inside its buffer view.
std::string accessor_view(Model& m, size_t a, View* out)
{
    const Json* accessors = m.root.get("accessors");
    const Json* acc = accessors ? accessors->at(a) : nullptr;
    const std::string name = "its accessor " + std::to_string(a);
    if (!acc) return "a mesh names accessor " + std::to_string(a) + ", which it does not have";
    const double count = whole(acc->get("count"));
    if (count < 0) return name + " has no valid count";
    const Json* type = acc->get("type");
    const int components = type && type->type == Json::String ? component_count(type->text) : 0;
    const int size = component_size(whole(acc->get("componentType")));
    const double view_index = whole(acc->get("bufferView"));
    out->count = static_cast<uint64_t>(count);
    if (view_index == -1 || !components || !size) return "";  // zeros, sparse or not checked
    const Json* views = m.root.get("bufferViews");
    const Json* view = views && view_index >= 0 ? views->at(static_cast<size_t>(view_index)) : nullptr;
    if (!view) return name + " names a buffer view it does not have";
    const double buffer = whole(view->get("buffer"));
    const double view_offset = std::max(0.0, whole(view->get("byteOffset")));
    const double view_length = whole(view->get("byteLength"));
    const double stride_value = whole(view->get("byteStride"));
    const double offset = std::max(0.0, whole(acc->get("byteOffset")));
    if (buffer < 0 || view_length < 0) return name + " has a buffer view without a buffer or a byteLength";
    const unsigned char* data = nullptr;
    uint64_t buffer_size = 0;
    const std::string fault = buffer_bytes(m, static_cast<size_t>(buffer), &data, &buffer_size);
    if (!fault.empty()) return fault;
    if (view_offset + view_length > buffer_size)
        return "its buffer view " + text_of(view_index) + " reaches past the end of its buffer";
    out->element = static_cast<uint64_t>(components * size);
    out->stride = stride_value > 0 ? static_cast<uint64_t>(stride_value) : out->element;
    if (count > 0 && offset + (count - 1) * out->stride + out->element > view_length)
        return name + " holds " + text_of(count) + " elements, more than its buffer view's " +
               text_of(view_length) + " bytes hold";
    out->data = data + static_cast<uint64_t>(view_offset + offset);
    return "";
}

std::string check_indices(Model& m)
{
    const Json* meshes = m.root.get("meshes");
    if (!meshes || meshes->type != Json::Array) return "";
    for (size_t mi = 0; mi < meshes->items.size(); ++mi) {
        const Json* primitives = meshes->items[mi].get("primitives");
        if (!primitives || primitives->type != Json::Array) continue;
        for (const Json& prim : primitives->items) {
            const Json* attributes = prim.get("attributes");
            const double position = whole(attributes ? attributes->get("POSITION") : nullptr);
            if (position < 0) continue;
            View vertices;
            std::string fault = accessor_view(m, static_cast<size_t>(position), &vertices);
            if (!fault.empty()) return fault;
            const double indices = whole(prim.get("indices"));
            if (indices < 0) continue;
            View index;
            fault = accessor_view(m, static_cast<size_t>(indices), &index);
            if (!fault.empty()) return fault;
            // Assimp drops the corners past the last whole triangle.
            const double mode = whole(prim.get("mode"));
            if ((mode == -1 || mode == 4) && index.count % 3 != 0)
                return "its mesh " + std::to_string(mi) + " has " + std::to_string(index.count) +
                       " triangle corners, not a multiple of 3";
            if (!index.data || (index.element != 1 && index.element != 2 && index.element != 4)) continue;
            for (uint64_t i = 0; i < index.count; ++i) {
                const unsigned char* p = index.data + i * index.stride;
                const uint64_t v = index.element == 1 ? p[0] : index.element == 2 ? (p[0] | p[1] << 8) : le32(p);
                if (v >= vertices.count)
                    return "it has a face that names a vertex its object does not have (index " + std::to_string(v) +
                           " of " + std::to_string(vertices.count) + " vertices, mesh " + std::to_string(mi) + ")";
            }
        }
    }
    return "";
}

std::string check_images(Model& m)
{
    const Json* images = m.root.get("images");
    if (!images || images->type != Json::Array) return "";
    for (const Json& image : images->items) {
        const Json* uri = image.get("uri");
        if (!uri || uri->type != Json::String) continue;
        std::string resolved;
        const std::string fault = reference_fault(m.path, uri->text, &resolved);
        if (!fault.empty()) return "its image " + fault;
    }
    return "";
}

std::string check_model(const std::string& path, const char* json, uint64_t json_size, const unsigned char* bin,
                        uint64_t bin_size, bool glb)
{
    if (json_size >= 3 && std::memcmp(json, "\xEF\xBB\xBF", 3) == 0) {
        json += 3;
        json_size -= 3;
    }
    Json root;
    JsonParser parser{json, json + json_size};
    if (!parser.value(root, 0) || root.type != Json::Object) return "its JSON cannot be parsed";
    const Json* asset = root.get("asset");
    const Json* version = asset ? asset->get("version") : nullptr;
    if (!version || version->type != Json::String) return "it names no glTF version (asset.version)";
    if (version->text.compare(0, 2, "2.") != 0) {
        const std::string v = version->text.compare(0, 1, "1") == 0 ? "1.0" : version->text;
        return "it is glTF " + v + "; only glTF 2.0 is read";
    }
    Model m{path, root, bin, bin_size, glb, {}, {}};
    const Json* buffers = root.get("buffers");
    if (buffers && buffers->type == Json::Array)
        for (size_t i = 0; i < buffers->items.size(); ++i) {
            const std::string fault = buffer_bytes(m, i, nullptr, nullptr);
            if (!fault.empty()) return fault;
        }
    std::string fault = check_images(m);
    if (!fault.empty()) return fault;
    return check_indices(m);
}

}  // namespace

std::string check_gltf(const std::string& path, const MappedBytes& file, bool glb)
{
    if (!glb) return check_model(path, reinterpret_cast<const char*>(file.data), file.size, nullptr, 0, false);
    const std::string size = std::to_string(file.size);
    if (file.size < 12) return "it holds " + size + " bytes, too few for a glTF binary header";
    const uint32_t version = le32(file.data + 4);
    const uint32_t total = le32(file.data + 8);
    if (version == 1) return "it is glTF 1.0; only glTF 2.0 is read";
    if (version != 2) return "it is glTF binary version " + std::to_string(version) + "; only glTF 2.0 is read";
    if (total > file.size)
        return "its header gives a length of " + std::to_string(total) + " bytes but it holds " + size;
    if (total < 20) return "its header gives a length of " + std::to_string(total) + " bytes, too few for a JSON chunk";
    const uint32_t json_length = le32(file.data + 12);
    if (le32(file.data + 16) != 0x4E4F534A) return "its first chunk is not JSON";
    if (json_length > total - 20)
        return "its JSON chunk declares " + std::to_string(json_length) + " bytes but the file holds " + size;
    const unsigned char* bin = nullptr;
    uint64_t bin_size = 0;
    const uint64_t next = 20 + static_cast<uint64_t>(json_length);
    if (next + 8 <= total) {
        const uint32_t bin_length = le32(file.data + next);
        if (le32(file.data + next + 4) == 0x004E4942) {
            if (bin_length > total - next - 8)
                return "its BIN chunk declares " + std::to_string(bin_length) + " bytes but the file holds " + size;
            bin = file.data + next + 8;
            bin_size = bin_length;
        }
    }
    return check_model(path, reinterpret_cast<const char*>(file.data + 20), json_length, bin, bin_size, true);
}

}  // namespace kestrane
