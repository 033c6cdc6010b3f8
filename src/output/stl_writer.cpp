#include "output/stl_writer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output/output_file.h"

namespace kestrane {
namespace {

// Little-endian whatever the machine, as STL is.
void put_u32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_vector(std::vector<unsigned char>& out, Vector3 v)
{
    for (double c : {v.x, v.y, v.z}) {
        const float f = static_cast<float>(c);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put_u32(out, bits);
    }
}

}  // namespace

int write_stl(const SurfaceMesh& mesh, const std::string& name, const SourcePlacement& placement)
{
    // The count field has 32 bits: a larger mesh cannot be told in STL.
    if (mesh.triangles.size() > UINT32_MAX) {
        errno = EFBIG;
        return 1;
    }
    OutputFile out(name);
    if (!out.is_open()) return 1;
    std::vector<Vector3> corners;
    corners.reserve(mesh.vertices.size());
    for (const MeshVertex& v : mesh.vertices) corners.push_back(source_position(v, placement));

    std::vector<unsigned char> bytes(STL_HEADER_BYTES, 0);
    const char header[] = "Kestrane morph frame, binary STL in the units of the source surface";
    static_assert(sizeof header <= STL_HEADER_BYTES, "the header fits");
    std::memcpy(bytes.data(), header, sizeof header - 1);
    bytes.reserve(STL_HEADER_BYTES + 4 + mesh.triangles.size() * STL_TRIANGLE_BYTES);
    put_u32(bytes, static_cast<uint32_t>(mesh.triangles.size()));
    for (const MeshTriangle& t : mesh.triangles) {
        const Vector3 a = corners[t.v[0]], b = corners[t.v[1]], c = corners[t.v[2]];
        put_vector(bytes, vec_normalise(vec_cross(vec_sub(b, a), vec_sub(c, a))));
        put_vector(bytes, a);
        put_vector(bytes, b);
        put_vector(bytes, c);
        bytes.push_back(0);
        bytes.push_back(0);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), out.stream) != bytes.size()) return 1;
    return out.commit() ? 0 : 1;
}

}  // namespace kestrane
