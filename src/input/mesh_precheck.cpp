#include "input/mesh_precheck.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "input/mesh_precheck_support.h"

namespace kestrane {
namespace {

// A PLY header is a few lines; a real one fits well within these.
constexpr size_t MAX_PLY_HEADER_BYTES = 1 << 20;
constexpr int MAX_PLY_PROPERTIES = 1000;

std::string quoted_text(const std::string& s) { return "`" + s + "'"; }

std::string count_text(uint64_t n) { return std::to_string(n); }

// ------------------------------------------------------------------ PLY

struct PlyProperty {
    int size = 0;        // bytes of a scalar, or of a list's items
    int count_size = 0;  // a list's count, 0 for a scalar
    bool count_signed = false;
};

struct PlyElement {
    std::string name;
    uint64_t count = 0;
    std::vector<PlyProperty> properties;

    bool has_list() const
    {
        for (const PlyProperty& p : properties)
            if (p.count_size) return true;
        return false;
    }
    uint64_t min_binary_bytes() const
    {
        uint64_t n = 0;
        for (const PlyProperty& p : properties) n += p.count_size ? p.count_size : p.size;
        return n;
    }
};

std::string plural(const PlyElement& e)
{
    if (e.name == "vertex") return "vertices";
    if (e.name == "face") return "faces";
    return quoted_text(e.name) + " elements";
}

std::string singular(const PlyElement& e)
{
    if (e.name == "vertex" || e.name == "face") return e.name;
    return quoted_text(e.name) + " element";
}

int ply_type_size(const std::string& t, bool* is_signed)
{
    *is_signed = t == "char" || t == "int8" || t == "short" || t == "int16" || t == "int" || t == "int32";
    if (t == "char" || t == "uchar" || t == "int8" || t == "uint8") return 1;
    if (t == "short" || t == "ushort" || t == "int16" || t == "uint16") return 2;
    if (t == "int" || t == "uint" || t == "int32" || t == "uint32" || t == "float" || t == "float32") return 4;
    if (t == "double" || t == "float64") return 8;
    return 0;
}

std::vector<std::string> words_of(const char* begin, const char* end)
{
    std::vector<std::string> words;
    const char* p = begin;
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
        const char* w = p;
        while (p < end && *p != ' ' && *p != '\t' && *p != '\r') ++p;
        if (p > w) words.emplace_back(w, p);
    }
    return words;
}

// A count as Assimp reads it: 32 bits. Empty when it fits.
std::string parse_count(const std::string& text, const std::string& what, uint64_t* out)
{
    if (!text.empty() && text[0] == '-') return "it declares " + text + " " + what + ", a negative count";
    uint64_t n = 0;
    if (text.empty() || text.size() > 19) {
        if (text.find_first_not_of("0123456789") == std::string::npos && !text.empty())
            return "it declares " + text + " " + what + ", beyond the 32-bit counts it can be read with";
        return "its count of " + what + " " + quoted_text(text) + " is not a number";
    }
    for (char c : text) {
        if (c < '0' || c > '9') return "its count of " + what + " " + quoted_text(text) + " is not a number";
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (n > UINT32_MAX) return "it declares " + text + " " + what + ", beyond the 32-bit counts it can be read with";
    *out = n;
    return "";
}

bool ply_header_line(const char*& p, const char* end, const char** line_end)
{
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!nl) return false;
    *line_end = nl;
    return true;
}

std::string check_ply_binary_lists(const std::vector<PlyElement>& elements, const unsigned char* data, uint64_t size,
                                   bool big_endian)
{
    uint64_t at = 0;
    auto read_count = [&](int bytes, bool is_signed, int64_t* out) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const unsigned b = data[at + (big_endian ? i : bytes - 1 - i)];
            v = (v << 8) | b;
        }
        if (is_signed && bytes < 8 && (v >> (bytes * 8 - 1)) & 1) v |= ~uint64_t(0) << (bytes * 8);
        *out = is_signed ? static_cast<int64_t>(v) : static_cast<int64_t>(v & 0xFFFFFFFFu);
    };
    for (const PlyElement& e : elements) {
        if (!e.has_list()) {
            at += e.count * e.min_binary_bytes();  // the sizes were checked against the file first
            continue;
        }
        for (uint64_t i = 0; i < e.count; ++i) {
            for (const PlyProperty& p : e.properties) {
                if (!p.count_size) {
                    if (size - at < static_cast<uint64_t>(p.size))
                        return "it ends inside " + singular(e) + " " + count_text(i) + " of the " +
                               count_text(e.count) + " it declares";
                    at += p.size;
                    continue;
                }
                if (size - at < static_cast<uint64_t>(p.count_size))
                    return "it ends inside " + singular(e) + " " + count_text(i) + " of the " + count_text(e.count) +
                           " it declares";
                int64_t n = 0;
                read_count(p.count_size, p.count_signed, &n);
                at += p.count_size;
                if (n < 0)
                    return "its " + singular(e) + " " + count_text(i) + " has a list count of " + std::to_string(n);
                if (static_cast<uint64_t>(n) > (size - at) / p.size)
                    return "its " + singular(e) + " " + count_text(i) + " has a list of " + std::to_string(n) +
                           " values, more than the rest of the file holds";
                at += static_cast<uint64_t>(n) * p.size;
            }
        }
    }
    return "";
}

// ASCII elements are a line each; only list counts are looked at.
std::string check_ply_ascii_lists(const std::vector<PlyElement>& elements, const char* p, const char* end)
{
    for (const PlyElement& e : elements) {
        if (!e.has_list()) {
            for (uint64_t i = 0; i < e.count && p < end; ++i) {
                const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
                p = nl ? nl + 1 : end;
            }
            continue;
        }
        for (uint64_t i = 0; i < e.count && p < end; ++i) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* line_end = nl ? nl : end;
            const std::vector<std::string> words = words_of(p, line_end);
            size_t w = 0;
            for (const PlyProperty& prop : e.properties) {
                if (w >= words.size()) break;
                if (!prop.count_size) {
                    ++w;
                    continue;
                }
                const std::string& text = words[w++];
                const uint64_t rest = static_cast<uint64_t>(end - line_end);
                if (!text.empty() && text[0] == '-')
                    return "its " + singular(e) + " " + count_text(i) + " has a list count of " + text;
                uint64_t n = 0;
                const std::string fault = parse_count(text, "list values", &n);
                if (!fault.empty()) return "its " + singular(e) + " " + count_text(i) + " has a list count of " + text;
                if (n > words.size() - w && (n - (words.size() - w)) > rest / 2)
                    return "its " + singular(e) + " " + count_text(i) + " has a list of " + text +
                           " values, more than the rest of the file holds";
                w += static_cast<size_t>(std::min<uint64_t>(n, words.size() - w));
            }
            p = nl ? nl + 1 : end;
        }
    }
    return "";
}

std::string check_ply(const MappedBytes& file)
{
    const char* begin = reinterpret_cast<const char*>(file.data);
    const char* end = begin + file.size;
    const char* limit = begin + std::min<uint64_t>(file.size, MAX_PLY_HEADER_BYTES);
    const char* p = begin;
    if (file.size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;  // PLY text saved by an editor
    std::vector<PlyElement> elements;
    std::string format;
    int properties = 0;
    bool ended = false;
    while (p < limit) {
        const char* line_end = nullptr;
        if (!ply_header_line(p, limit, &line_end)) break;
        const std::vector<std::string> words = words_of(p, line_end);
        p = line_end + 1;
        if (words.empty()) continue;
        const std::string& key = words[0];
        if (key == "end_header") {
            ended = true;
            break;
        }
        if (key == "format" && words.size() >= 2) {
            format = words[1];
        } else if (key == "element") {
            if (words.size() < 3) return "its header has an element line without a name and a count";
            PlyElement e;
            e.name = words[1];
            const std::string fault = parse_count(words[2], plural(e), &e.count);
            if (!fault.empty()) return fault;
            elements.push_back(std::move(e));
        } else if (key == "property") {
            if (++properties > MAX_PLY_PROPERTIES)
                return "its header has more than " + std::to_string(MAX_PLY_PROPERTIES) + " property lines";
            if (elements.empty()) return "its header has a property line before any element";
            PlyProperty prop;
            bool is_signed = false;
            if (words.size() >= 5 && words[1] == "list") {
                prop.count_size = ply_type_size(words[2], &prop.count_signed);
                prop.size = ply_type_size(words[3], &is_signed);
                if (!prop.count_size || prop.count_size == 8 || !prop.size)
                    return "its header has a list property of unknown or unusable types " + quoted_text(words[2]) +
                           " and " + quoted_text(words[3]);
            } else if (words.size() >= 3) {
                prop.size = ply_type_size(words[1], &is_signed);
                if (!prop.size) return "its header has a property of unknown type " + quoted_text(words[1]);
            } else {
                return "its header has a property line without a type and a name";
            }
            elements.back().properties.push_back(prop);
        }
    }
    if (!ended) {
        if (file.size > MAX_PLY_HEADER_BYTES)
            return "its header does not end (no end_header line) within its first " +
                   std::to_string(MAX_PLY_HEADER_BYTES) + " bytes";
        return "its header does not end (no end_header line)";
    }
    const bool ascii = format == "ascii";
    const bool big = format == "binary_big_endian";
    if (!ascii && !big && format != "binary_little_endian")
        return "its header names no known format (ascii, binary_little_endian or binary_big_endian)";

    // What the header promises, at the fewest bytes it could be written in
    // (text: a digit and a separator a value, but the last may end the file).
    const uint64_t data = static_cast<uint64_t>(end - p) + (ascii ? 1 : 0);
    uint64_t need = 0;
    for (const PlyElement& e : elements) {
        const uint64_t each = ascii ? 2 * e.properties.size() : e.min_binary_bytes();
        if (each && (e.count > (data - std::min(need, data)) / each))
            return "it declares " + count_text(e.count) + " " + plural(e) + " but holds " +
                   std::to_string(file.size) + " bytes (" + (ascii ? "in text, " : "") + "at least " +
                   std::to_string(each) + " bytes each)";
        need += e.count * each;
    }
    if (ascii) return check_ply_ascii_lists(elements, p, end);
    return check_ply_binary_lists(elements, reinterpret_cast<const unsigned char*>(p), static_cast<uint64_t>(end - p),
                                  big);
}

// ------------------------------------------------------------------ STL

bool starts_with_solid(const MappedBytes& file)
{
    uint64_t i = 0;
    while (i < file.size && i < 256 && (file.data[i] == ' ' || file.data[i] == '\t' || file.data[i] == '\r' ||
                                        file.data[i] == '\n'))
        ++i;
    return file.size - i >= 5 && std::memcmp(file.data + i, "solid", 5) == 0;
}

std::string check_stl(const MappedBytes& file)
{
    if (file.size >= 84) {
        uint32_t count = 0;
        for (int i = 3; i >= 0; --i) count = (count << 8) | file.data[80 + i];
        const uint64_t expected = 84 + 50 * static_cast<uint64_t>(count);
        if (expected == file.size) return "";
        // Text, not binary: Assimp reads it as such.
        if (starts_with_solid(file)) return "";
        if (expected > file.size)
            return "it declares " + std::to_string(count) + " triangles but holds " + std::to_string(file.size) +
                   " bytes (a binary STL needs 84 + 50 per triangle)";
        return "";
    }
    if (starts_with_solid(file)) return "";
    return "it holds " + std::to_string(file.size) + " bytes, too few for a binary STL and not STL text";
}

// ------------------------------------------------------------------ text

// UTF-16 text shows as a byte-order mark, or as ASCII with every other byte 0.
bool looks_utf16(const MappedBytes& file)
{
    if (file.size >= 2 && ((file.data[0] == 0xFF && file.data[1] == 0xFE) || (file.data[0] == 0xFE && file.data[1] == 0xFF)))
        return true;
    const uint64_t n = std::min<uint64_t>(file.size, 64) & ~uint64_t(1);
    if (n < 4) return false;
    int even = 0, odd = 0;
    for (uint64_t i = 0; i < n; ++i)
        if (file.data[i] == 0) ++(i % 2 ? odd : even);
    return even >= static_cast<int>(n / 2) - 1 || odd >= static_cast<int>(n / 2) - 1;
}

std::string check_obj(const std::string& path, const MappedBytes& file)
{
    if (looks_utf16(file)) return "it is UTF-16 text; save it as UTF-8";
    const char* begin = reinterpret_cast<const char*>(file.data);
    const char* end = begin + file.size;
    const char* p = begin;
    if (file.size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    uint64_t line = 1;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* line_end = nl ? nl : end;
        if (std::memchr(p, '\0', static_cast<size_t>(line_end - p)))
            return "its line " + std::to_string(line) + " holds a NUL byte (an OBJ file is text)";
        const char* q = p;
        while (q < line_end && (*q == ' ' || *q == '\t')) ++q;
        if (line_end - q > 7 && std::memcmp(q, "mtllib", 6) == 0 && (q[6] == ' ' || q[6] == '\t')) {
            const char* name = q + 7;
            const char* name_end = line_end;
            while (name < name_end && (*name == ' ' || *name == '\t')) ++name;
            while (name_end > name && (name_end[-1] == ' ' || name_end[-1] == '\t' || name_end[-1] == '\r'))
                --name_end;
            std::string resolved;
            const std::string fault = reference_fault(path, std::string(name, name_end), &resolved);
            if (!fault.empty()) return "its material library " + fault;
        }
        p = line_end + 1;
        ++line;
    }
    return "";
}

std::string check_unread(MeshFileKind kind)
{
    return std::string(mesh_file_kind_name(kind)) +
           " files are not read (Kestrane reads OFF, STL, OBJ, PLY and glTF 2.0; convert it to one of those)";
}

std::string real_path(const std::string& path)
{
    char* r = realpath(path.c_str(), nullptr);
    if (!r) return "";
    std::string out(r);
    std::free(r);
    return out;
}

std::string folder_of(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool inside(const std::string& folder, const std::string& path)
{
    if (folder == "/") return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// ------------------------------------------------------------------ files

std::string regular_fault_of(const struct stat& st)
{
    if (S_ISREG(st.st_mode)) return "";
    if (S_ISFIFO(st.st_mode)) return "is a pipe, not a file";
    if (S_ISDIR(st.st_mode)) return "is a directory, not a file";
    if (S_ISSOCK(st.st_mode)) return "is a socket, not a file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device, not a file";
    return "is not a regular file";
}

std::string map_regular_file(const std::string& path, MappedBytes* out)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::string("cannot be opened: ") + std::strerror(errno);
    std::string fault = regular_fault_of(st);
    if (!fault.empty()) return fault;
    // Non-blocking, in case it was swapped for a FIFO since the stat.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::string("cannot be opened: ") + std::strerror(errno);
    if (fstat(fd, &st) != 0 || !(fault = regular_fault_of(st)).empty()) {
        close(fd);
        return fault.empty() ? "cannot be examined" : fault;
    }
    out->size = static_cast<uint64_t>(st.st_size);
    if (out->size > 0) {
        void* m = mmap(nullptr, static_cast<size_t>(out->size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (m == MAP_FAILED) {
            close(fd);
            out->size = 0;
            return std::string("cannot be read: ") + std::strerror(errno);
        }
        out->data = static_cast<const unsigned char*>(m);
    }
    close(fd);
    return "";
}

MappedBytes::~MappedBytes()
{
    if (data) munmap(const_cast<unsigned char*>(data), static_cast<size_t>(size));
}

bool read_regular_file(const std::string& path, std::string* bytes, std::string* reason)
{
    MappedBytes file;
    const std::string fault = map_regular_file(path, &file);
    if (!fault.empty()) {
        *reason = fault;
        return false;
    }
    bytes->assign(reinterpret_cast<const char*>(file.data), static_cast<size_t>(file.size));
    return true;
}

void strip_utf8_bom(std::string& text)
{
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
}

namespace {
// The fault without the name: "lies outside the model's folder".
std::string confinement_fault(const std::string& model_path, const std::string& path, std::string* resolved)
{
    resolved->clear();
    const std::string folder = real_path(folder_of(model_path));
    if (folder.empty()) return "cannot be placed: the model's folder cannot be resolved";
    const std::string target = real_path(path);
    if (target.empty()) return "";  // not there: nothing is opened, the reader says what is missing
    if (!inside(folder, target)) return "lies outside the model's folder";
    struct stat st;
    if (stat(target.c_str(), &st) != 0) return "";
    const std::string fault = regular_fault_of(st);
    if (!fault.empty()) return fault;
    *resolved = target;
    return "";
}
}  // namespace

std::string confined_path_fault(const std::string& model_path, const std::string& path, std::string* resolved)
{
    const std::string fault = confinement_fault(model_path, path, resolved);
    return fault.empty() ? fault : quoted_text(path) + " " + fault;
}

std::string reference_fault(const std::string& model_path, const std::string& reference, std::string* resolved)
{
    resolved->clear();
    const std::string named = quoted_text(reference);
    if (reference.compare(0, 5, "data:") == 0) return "";
    if (reference.empty()) return "is an empty name";
    // Percent escapes are decoded as a URI reader would: "%2e%2e" is "..".
    std::string decoded;
    for (size_t i = 0; i < reference.size(); ++i) {
        if (reference[i] == '%' && i + 2 < reference.size() && hex_value(reference[i + 1]) >= 0 &&
            hex_value(reference[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hex_value(reference[i + 1]) * 16 + hex_value(reference[i + 2])));
            i += 2;
        } else {
            decoded.push_back(reference[i]);
        }
    }
    if (decoded.find('\0') != std::string::npos) return named + " holds a NUL byte";
    if (decoded[0] == '/' || decoded[0] == '\\') return named + " is an absolute path; only files in the model's folder are read";
    const size_t colon = decoded.find(':');
    if (colon != std::string::npos && decoded.find('/') > colon)
        return named + " is not a file in the model's folder (only relative paths and data: URIs are read)";
    // Lexically first: ".." may not climb above the folder, even through
    // folders that are not there.
    int depth = 0;
    size_t start = 0;
    while (start <= decoded.size()) {
        size_t slash = decoded.find_first_of("/\\", start);
        if (slash == std::string::npos) slash = decoded.size();
        const std::string part = decoded.substr(start, slash - start);
        if (part == "..") {
            if (--depth < 0) return named + " lies outside the model's folder";
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = slash + 1;
    }
    for (const std::string& form : {reference, decoded}) {
        const std::string fault = confinement_fault(model_path, folder_of(model_path) + "/" + form, resolved);
        if (!fault.empty()) return named + " " + fault;
        if (!resolved->empty()) return "";
    }
    return "";
}

std::string precheck_mesh_file(const std::string& path, MeshFileKind kind)
{
    switch (kind) {
    case MeshFileKind::Fbx:
    case MeshFileKind::Collada:
    case MeshFileKind::Max3ds:
    case MeshFileKind::Blend: return check_unread(kind);
    default: break;
    }
    MappedBytes file;
    const std::string fault = map_regular_file(path, &file);
    if (!fault.empty()) return "it " + fault;
    switch (kind) {
    case MeshFileKind::Ply: return check_ply(file);
    case MeshFileKind::Stl: return looks_utf16(file) ? "it is UTF-16 text; save it as UTF-8" : check_stl(file);
    case MeshFileKind::Obj: return check_obj(path, file);
    case MeshFileKind::Gltf:
        if (looks_utf16(file)) return "it is UTF-16 text; save it as UTF-8";
        return check_gltf(path, file, false);
    case MeshFileKind::Glb: return check_gltf(path, file, true);
    default: return "";
    }
}

}  // namespace kestrane
