#include "output/surface_writers.h"

#include <cstdio>

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
    for (const MeshVertex& v : mesh.vertices)
        std::fprintf(f, "%i %i %i %.5f %.5f %.5f %.5f %.5f %.5f 1\n", v.x, v.y, v.z, normal_component(v.nx),
                     normal_component(v.ny), normal_component(v.nz), colour_level(v.colour, 0, 31),
                     colour_level(v.colour, 1, 63), colour_level(v.colour, 2, 31));
    for (const MeshTriangle& t : mesh.triangles)
        std::fprintf(f, "3 %li %li %li\n", static_cast<long>(t.v[0]), static_cast<long>(t.v[1]),
                     static_cast<long>(t.v[2]));
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
