#include "input/file_kind.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestrane {
namespace {

constexpr size_t HEAD_BYTES = 4096;

struct Head {
    std::vector<unsigned char> bytes;
    long size = -1;  // whole file, -1 when unknown

    bool starts_with(const char* magic) const
    {
        size_t n = std::strlen(magic);
        return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
    }
};

Head read_head(std::FILE* stream)
{
    Head head;
    std::rewind(stream);
    head.bytes.resize(HEAD_BYTES);
    head.bytes.resize(std::fread(head.bytes.data(), 1, HEAD_BYTES, stream));
    if (std::fseek(stream, 0, SEEK_END) == 0) head.size = std::ftell(stream);
    std::rewind(stream);
    return head;
}

// A binary STL is an 80-byte header, a triangle count and 50 bytes per
// triangle; the size must match exactly, whatever the header says.
bool is_binary_stl(const Head& head)
{
    if (head.size < 84 || head.bytes.size() < 84) return false;
    uint32_t count = 0;
    for (int i = 3; i >= 0; --i) count = (count << 8) | head.bytes[80 + i];
    return static_cast<uint64_t>(head.size) == 84 + 50 * static_cast<uint64_t>(count);
}

// A UTF-8 byte-order mark is text's, not the format's: skipped.
size_t text_start(const Head& head) { return head.starts_with("\xEF\xBB\xBF") ? 3 : 0; }

// The first whitespace-delimited word, skipping lines that start with '#';
// pos is left after it.
std::string first_word(const Head& head, size_t& pos)
{
    const std::vector<unsigned char>& b = head.bytes;
    pos = text_start(head);
    for (;;) {
        while (pos < b.size() && std::isspace(b[pos])) ++pos;
        if (pos < b.size() && b[pos] == '#') {
            while (pos < b.size() && b[pos] != '\n') ++pos;
            continue;
        }
        break;
    }
    std::string word;
    while (pos < b.size() && !std::isspace(b[pos])) word.push_back(static_cast<char>(b[pos++]));
    return word;
}

bool is_off_word(const std::string& word)
{
    if (word == "LIST" || (!word.empty() && word[0] == '{')) return true;
    size_t i = 0;
    if (i < word.size() && word[i] == 'C') ++i;
    if (i < word.size() && word[i] == 'N') ++i;
    return word.compare(i, std::string::npos, "OFF") == 0;
}

// glTF JSON opens an object whose first member is quoted; an OFF brace is
// followed by a keyword.
bool is_gltf_json(const Head& head)
{
    const std::vector<unsigned char>& b = head.bytes;
    size_t pos = text_start(head);
    while (pos < b.size() && std::isspace(b[pos])) ++pos;
    if (pos >= b.size() || b[pos] != '{') return false;
    ++pos;
    while (pos < b.size() && std::isspace(b[pos])) ++pos;
    return pos < b.size() && b[pos] == '"';
}

bool is_obj_word(const std::string& word)
{
    for (const char* w : {"v", "vn", "vt", "vp", "f", "o", "g", "s", "l", "p", "mtllib", "usemtl"})
        if (word == w) return true;
    return false;
}

std::string lower_extension(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool contains(const Head& head, const char* text)
{
    const size_t n = std::strlen(text);
    const auto& b = head.bytes;
    for (size_t i = 0; i + n <= b.size(); ++i)
        if (std::memcmp(b.data() + i, text, n) == 0) return true;
    return false;
}

// A 3DS file is one chunk 0x4D4D whose length is the file's.
bool is_3ds(const Head& head)
{
    if (head.bytes.size() < 6 || head.bytes[0] != 0x4D || head.bytes[1] != 0x4D) return false;
    uint32_t length = 0;
    for (int i = 5; i >= 2; --i) length = (length << 8) | head.bytes[i];
    return static_cast<long>(length) == head.size;
}

// Formats Assimp knows but this program does not read: named, not guessed at.
MeshFileKind unread_kind(const Head& head, const std::string& ext)
{
    if (head.starts_with("Kaydara FBX Binary") || ext == "fbx") return MeshFileKind::Fbx;
    if (head.starts_with("BLENDER") || ext == "blend") return MeshFileKind::Blend;
    if (is_3ds(head) || ext == "3ds") return MeshFileKind::Max3ds;
    if (ext == "dae" || ((head.starts_with("<?xml") || head.starts_with("\xEF\xBB\xBF<?xml")) && contains(head, "<COLLADA")))
        return MeshFileKind::Collada;
    return MeshFileKind::Off;
}

}  // namespace

std::string input_file_fault(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
    if (S_ISFIFO(st.st_mode)) return "is a pipe, not a file";
    if (S_ISDIR(st.st_mode)) return "is a directory, not a file";
    if (S_ISSOCK(st.st_mode)) return "is a socket, not a file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device, not a file";
    return "is not a regular file";
}

MeshFileKind detect_mesh_file(std::FILE* stream, const std::string& path)
{
    struct stat st;
    if (fstat(fileno(stream), &st) == 0 && !S_ISREG(st.st_mode)) return MeshFileKind::NotAFile;
    const Head head = read_head(stream);
    if (head.starts_with("glTF")) return MeshFileKind::Glb;
    if (head.starts_with("ply\n") || head.starts_with("ply\r") || head.starts_with("\xEF\xBB\xBFply\n") ||
        head.starts_with("\xEF\xBB\xBFply\r"))
        return MeshFileKind::Ply;
    if (is_binary_stl(head)) return MeshFileKind::Stl;
    if (is_gltf_json(head)) return MeshFileKind::Gltf;
    size_t pos = 0;
    const std::string word = first_word(head, pos);
    if (is_off_word(word)) return MeshFileKind::Off;
    if (word == "solid") return MeshFileKind::Stl;
    if (is_obj_word(word)) return MeshFileKind::Obj;

    const std::string ext = lower_extension(path);
    const MeshFileKind unread = unread_kind(head, ext);
    if (unread != MeshFileKind::Off) return unread;
    if (ext == "stl") return MeshFileKind::Stl;
    if (ext == "obj") return MeshFileKind::Obj;
    if (ext == "ply") return MeshFileKind::Ply;
    if (ext == "gltf") return MeshFileKind::Gltf;
    if (ext == "glb") return MeshFileKind::Glb;
    return MeshFileKind::Off;
}

const char* mesh_file_kind_name(MeshFileKind kind)
{
    switch (kind) {
    case MeshFileKind::Off: return "OFF";
    case MeshFileKind::Stl: return "STL";
    case MeshFileKind::Obj: return "OBJ";
    case MeshFileKind::Ply: return "PLY";
    case MeshFileKind::Gltf: return "glTF";
    case MeshFileKind::Glb: return "glTF binary";
    case MeshFileKind::Fbx: return "FBX";
    case MeshFileKind::Collada: return "COLLADA";
    case MeshFileKind::Max3ds: return "3DS";
    case MeshFileKind::Blend: return "Blender";
    case MeshFileKind::NotAFile: return "a file";
    }
    return "OFF";
}

const char* mesh_file_extension(MeshFileKind kind)
{
    switch (kind) {
    case MeshFileKind::Off: return "";
    case MeshFileKind::Stl: return "stl";
    case MeshFileKind::Obj: return "obj";
    case MeshFileKind::Ply: return "ply";
    case MeshFileKind::Gltf: return "gltf";
    case MeshFileKind::Glb: return "glb";
    case MeshFileKind::Fbx: return "fbx";
    case MeshFileKind::Collada: return "dae";
    case MeshFileKind::Max3ds: return "3ds";
    case MeshFileKind::Blend: return "blend";
    case MeshFileKind::NotAFile: return "";
    }
    return "";
}

}  // namespace kestrane
