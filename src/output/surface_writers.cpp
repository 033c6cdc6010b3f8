#include "output/surface_writers.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "output/obj_writer.h"
#include "output/output_file.h"
#include "output/stl_writer.h"

namespace kestrane {
namespace {

// Colour levels are 0..31 red, 0..63 green, 0..31 blue, read as signed bytes.
double colour_level(uint32_t colour, int byte, double levels)
{
    return static_cast<int8_t>((colour >> (8 * byte)) & 0xff) / levels;
}

double normal_component(int16_t n) { return n / 32000.0; }

// The "%.5f" texts of every normal component and colour level a vertex can
// have, made once: a frame's vertices then cost no number formatting.
struct FixedTexts {
    std::vector<std::string> normal, colour[3];
};

const FixedTexts& fixed_texts()
{
    static const FixedTexts texts = [] {
        FixedTexts t;
        char text[32];
        t.normal.reserve(65536);
        for (int n = -32768; n <= 32767; ++n) {
            std::snprintf(text, sizeof text, "%.5f", normal_component(static_cast<int16_t>(n)));
            t.normal.emplace_back(text);
        }
        for (int byte = 0; byte < 3; ++byte)
            for (uint32_t b = 0; b < 256; ++b) {
                std::snprintf(text, sizeof text, "%.5f", colour_level(b << (8 * byte), byte, byte == 1 ? 63 : 31));
                t.colour[byte].emplace_back(text);
            }
        return t;
    }();
    return texts;
}

char* put_text(char* p, const std::string& text)
{
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

char* put_text(char* p, const char* text)
{
    const size_t n = std::strlen(text);
    std::memcpy(p, text, n);
    return p + n;
}

char* put_int(char* p, long value) { return std::to_chars(p, p + 24, value).ptr; }

// What "%.5f %.5f %.5f" of the vertex's normal components writes.
char* put_normal(char* p, const MeshVertex& v, const FixedTexts& t)
{
    p = put_text(p, t.normal[static_cast<size_t>(v.nx + 32768)]);
    *p++ = ' ';
    p = put_text(p, t.normal[static_cast<size_t>(v.ny + 32768)]);
    *p++ = ' ';
    return put_text(p, t.normal[static_cast<size_t>(v.nz + 32768)]);
}

// What "%.5f %.5f %.5f" of the vertex's three colour levels writes.
char* put_colour(char* p, const MeshVertex& v, const FixedTexts& t)
{
    for (int byte = 0; byte < 3; ++byte) {
        if (byte > 0) *p++ = ' ';
        p = put_text(p, t.colour[byte][(v.colour >> (8 * byte)) & 0xff]);
    }
    return p;
}


// Writes the entries of a list, the last one with its own closing text.
template <typename Writer>
void write_list(FILE* f, long count, const char* closing, Writer entry)
{
    if (count == 0) std::fputs(closing, f);
    for (long n = 0; n < count; ++n) {
        bool last = n == count - 1;
        entry(n, last ? "" : ",");
        if (last) std::fputs(closing, f);
    }
}

}  // namespace

std::string surface_file_name(const std::string& base, int frame, SurfaceFormat format)
{
    char number[16];
    std::snprintf(number, sizeof number, "%03i", frame + 1);
    const char* extension = format == SURFACE_FORMAT_VRML ? ".wrl" : format == SURFACE_FORMAT_PLY ? ".ply" : ".off";
    return base + number + extension;
}

const char* surface_format_extension(SurfaceFormat format)
{
    switch (format) {
    case SURFACE_FORMAT_OOGL: return "off";
    case SURFACE_FORMAT_VRML: return "wrl";
    case SURFACE_FORMAT_PLY: return "ply";
    case SURFACE_FORMAT_OBJ: return "obj";
    case SURFACE_FORMAT_STL: return "stl";
    default: return "";
    }
}

std::string frame_file_name(const std::string& base, int frame, int frame_count, SurfaceFormat format)
{
    if (format != SURFACE_FORMAT_OBJ && format != SURFACE_FORMAT_STL) return surface_file_name(base, frame, format);
    const int digits = static_cast<int>(std::to_string(frame_count < 1 ? 1 : frame_count).size());
    char number[32];
    std::snprintf(number, sizeof number, "%0*i", digits, frame + 1);
    return base + number + "." + surface_format_extension(format);
}

int write_cnoff(const SurfaceMesh& mesh, const std::string& name)
{
    OutputFile out(name);
    if (!out.is_open()) return 1;
    FILE* f = out.stream;
    std::fprintf(f, "CNOFF\n%li %li %i\n", static_cast<long>(mesh.vertices.size()),
                 static_cast<long>(mesh.triangles.size()), 0);
    const FixedTexts& texts = fixed_texts();
    char line[256];
    for (const MeshVertex& v : mesh.vertices) {
        // "%i %i %i %.5f %.5f %.5f %.5f %.5f %.5f 1\n"
        char* p = put_int(line, v.x);
        *p++ = ' ';
        p = put_int(p, v.y);
        *p++ = ' ';
        p = put_int(p, v.z);
        *p++ = ' ';
        p = put_normal(p, v, texts);
        *p++ = ' ';
        p = put_colour(p, v, texts);
        p = put_text(p, " 1\n");
        std::fwrite(line, 1, static_cast<size_t>(p - line), f);
    }
    for (const MeshTriangle& t : mesh.triangles) {
        // "3 %li %li %li\n"
        char* p = put_text(line, "3 ");
        p = put_int(p, static_cast<long>(t.v[0]));
        *p++ = ' ';
        p = put_int(p, static_cast<long>(t.v[1]));
        *p++ = ' ';
        p = put_int(p, static_cast<long>(t.v[2]));
        *p++ = '\n';
        std::fwrite(line, 1, static_cast<size_t>(p - line), f);
    }
    return out.commit() ? 0 : 1;
}

int write_vrml(const SurfaceMesh& mesh, const std::string& name)
{
    OutputFile out(name);
    if (!out.is_open()) return 1;
    FILE* f = out.stream;
    const std::vector<MeshVertex>& v = mesh.vertices;
    long vertices = static_cast<long>(v.size());
    long triangles = static_cast<long>(mesh.triangles.size());

    write_vrml_header(f);
    std::fputs(" ShapeHints {\n", f);
    std::fputs("  vertexOrdering COUNTERCLOCKWISE\n", f);
    std::fputs("  shapeType SOLID\n", f);
    std::fputs("  faceType CONVEX\n", f);
    std::fputs(" }\n", f);

    std::fputs(" Coordinate3 {\n  point [\n", f);
    write_list(f, vertices, "  ]\n }\n", [&](long n, const char* comma) {
        std::fprintf(f, "   %i %i %i%s\n", v[n].x, v[n].y, v[n].z, comma);
    });
    std::fputs(" NormalBinding {\n  value PER_VERTEX_INDEXED\n }\n", f);
    std::fputs(" Normal {\n  vector [\n", f);
    write_list(f, vertices, "  ]\n }\n", [&](long n, const char* comma) {
        std::fprintf(f, "   %.5f %.5f %.5f%s\n", normal_component(v[n].nx), normal_component(v[n].ny),
                     normal_component(v[n].nz), comma);
    });
    std::fputs(" MaterialBinding {\n  value PER_VERTEX_INDEXED\n }\n", f);
    write_vrml_material_start(f);
    std::fputs("  diffuseColor [\n", f);
    write_list(f, vertices, "  ]\n", [&](long n, const char* comma) {
        std::fprintf(f, "   %.5f %.5f %.5f%s\n", colour_level(v[n].colour, 0, 31), colour_level(v[n].colour, 1, 63),
                     colour_level(v[n].colour, 2, 31), comma);
    });
    write_vrml_material_end(f);

    std::fputs(" IndexedFaceSet {\n  coordIndex [\n", f);
    write_list(f, triangles, "  ]\n }\n", [&](long n, const char* comma) {
        const MeshTriangle& t = mesh.triangles[n];
        std::fprintf(f, "   %li, %li, %li, -1%s\n", static_cast<long>(t.v[0]), static_cast<long>(t.v[1]),
                     static_cast<long>(t.v[2]), comma);
    });
    std::fputs("}\n", f);
    return out.commit() ? 0 : 1;
}

int write_surface(const SurfaceMesh& mesh, const std::string& name, SurfaceFormat format,
                  const SourcePlacement& placement)
{
    if (format == SURFACE_FORMAT_OOGL) return write_cnoff(mesh, name);
    if (format == SURFACE_FORMAT_VRML) return write_vrml(mesh, name);
    if (format == SURFACE_FORMAT_PLY) return write_ply(mesh, name, placement);
    if (format == SURFACE_FORMAT_OBJ) return write_obj(mesh, name, placement);
    if (format == SURFACE_FORMAT_STL) return write_stl(mesh, name, placement);
    return 0;
}

}  // namespace kestrane
