#include "output/obj_writer.h"

#include <cstdio>

#include "output/output_file.h"

namespace kestrane {

int write_obj(const SurfaceMesh& mesh, const std::string& name, const SourcePlacement& placement)
{
    OutputFile out(name);
    if (!out.is_open()) return 1;
    std::FILE* f = out.stream;
    std::fprintf(f, "# Kestrane morph frame in the units of the source surface\n# %zu vertices, %zu triangles\n",
                 mesh.vertices.size(), mesh.triangles.size());
    // Nine significant digits: a float's positions survive the round trip,
    // so OBJ and PLY frames of a morph read back alike.
    for (const MeshVertex& v : mesh.vertices) {
        const Vector3 p = source_position(v, placement);
        std::fprintf(f, "v %.9g %.9g %.9g %.4f %.4f %.4f\n", p.x, p.y, p.z, colour_byte_255(v.colour, 0, 31) / 255.0,
                     colour_byte_255(v.colour, 1, 63) / 255.0, colour_byte_255(v.colour, 2, 31) / 255.0);
    }
    // The mapping is a translation and one scale for every axis: the mesh's
    // normals are the source's.
    for (const MeshVertex& v : mesh.vertices) {
        const Vector3 n = vec_normalise({static_cast<double>(v.nx), static_cast<double>(v.ny),
                                         static_cast<double>(v.nz)});
        std::fprintf(f, "vn %.5f %.5f %.5f\n", n.x, n.y, n.z);
    }
    for (const MeshTriangle& t : mesh.triangles) {
        const long a = static_cast<long>(t.v[0]) + 1, b = static_cast<long>(t.v[1]) + 1,
                   c = static_cast<long>(t.v[2]) + 1;
        std::fprintf(f, "f %li//%li %li//%li %li//%li\n", a, a, b, b, c, c);
    }
    return out.commit() ? 0 : 1;
}

}  // namespace kestrane
