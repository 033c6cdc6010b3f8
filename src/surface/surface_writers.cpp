#include "surface/surface_writers.h"

#include <cstdio>

#include "core/app_state.h"
#include "core/status.h"

namespace {

// Colour levels are 0..31 red, 0..63 green, 0..31 blue, read as signed bytes.
double colour_level(uint32_t colour, int byte, double levels)
{
    return static_cast<int8_t>((colour >> (8 * byte)) & 0xff) / levels;
}

double normal_component(int16_t n) { return n / 32000.0; }

FILE* open_surface_file(int frame, int format)
{
    std::string name = surface_file_name(frame, format);
    FILE* file = std::fopen(name.c_str(), "w");
    if (file) show_info("Saving surface to `%s'", name.c_str());
    return file;
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

std::string surface_file_name(int frame, int format)
{
    char number[16];
    std::snprintf(number, sizeof number, "%03i", frame + 1);
    return app.output_base + number + (format == 2 ? ".wrl" : ".off");
}

int write_cnoff(const SurfaceMesh& mesh, int frame)
{
    FILE* f = open_surface_file(frame, 1);
    if (!f) return 1;
    std::fprintf(f, "CNOFF\n%li %li %i\n", static_cast<long>(mesh.vertices.size()),
                 static_cast<long>(mesh.triangles.size()), 0);
    for (const MeshVertex& v : mesh.vertices)
        std::fprintf(f, "%i %i %i %.5f %.5f %.5f %.5f %.5f %.5f 1\n", v.x, v.y, v.z, normal_component(v.nx),
                     normal_component(v.ny), normal_component(v.nz), colour_level(v.colour, 0, 31),
                     colour_level(v.colour, 1, 63), colour_level(v.colour, 2, 31));
    for (const MeshTriangle& t : mesh.triangles)
        std::fprintf(f, "3 %li %li %li\n", static_cast<long>(t.v[0]), static_cast<long>(t.v[1]),
                     static_cast<long>(t.v[2]));
    std::fclose(f);
    return 0;
}

int write_vrml(const SurfaceMesh& mesh, int frame)
{
    FILE* f = open_surface_file(frame, 2);
    if (!f) return 1;
    const std::vector<MeshVertex>& v = mesh.vertices;
    long vertices = static_cast<long>(v.size());
    long triangles = static_cast<long>(mesh.triangles.size());

    std::fputs("#VRML V1.0 ascii\nSeparator {\n", f);
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
    std::fputs(" Material {\n", f);
    std::fputs("  ambientColor 0.2 0.2 0.2\n", f);
    std::fputs("  diffuseColor [\n", f);
    write_list(f, vertices, "  ]\n", [&](long n, const char* comma) {
        std::fprintf(f, "   %.5f %.5f %.5f%s\n", colour_level(v[n].colour, 0, 31), colour_level(v[n].colour, 1, 63),
                     colour_level(v[n].colour, 2, 31), comma);
    });
    std::fputs("  specularColor 0.1 0.1 0.1\n", f);
    std::fputs("  emissiveColor 0 0 0\n", f);
    std::fputs("  shininess     0.2\n", f);
    std::fputs("  transparency  0\n", f);
    std::fputs(" }\n", f);

    std::fputs(" IndexedFaceSet {\n  coordIndex [\n", f);
    write_list(f, triangles, "  ]\n }\n", [&](long n, const char* comma) {
        const MeshTriangle& t = mesh.triangles[n];
        std::fprintf(f, "   %li, %li, %li, -1%s\n", static_cast<long>(t.v[0]), static_cast<long>(t.v[1]),
                     static_cast<long>(t.v[2]), comma);
    });
    std::fputs("}\n", f);
    std::fclose(f);
    return 0;
}

int write_surface(const SurfaceMesh& mesh, int frame)
{
    if (app.output_format == 1) return write_cnoff(mesh, frame);
    if (app.output_format == 2) return write_vrml(mesh, frame);
    return 0;
}
