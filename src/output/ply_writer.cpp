#include "output/ply_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/colour.h"
#include "output/output_file.h"

namespace kestrane {
namespace {

constexpr size_t VERTEX_BYTES = 3 * 4 + 3 * 4 + 3;
constexpr size_t FACE_BYTES = 1 + 3 * 4;

// Little-endian whatever the machine, as the header says.
void put_u32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_float(std::vector<unsigned char>& out, double value)
{
    float f = static_cast<float>(value);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put_u32(out, bits);
}


}  // namespace

uint8_t colour_byte_255(uint32_t colour, int byte, int levels)
{
    int level = colour_byte(colour, byte);
    if (level <= 0) return 0;
    if (level >= levels) return 255;
    return static_cast<uint8_t>(std::lround(level * 255.0 / levels));
}

Vector3 source_position(const MeshVertex& vertex, const SourcePlacement& placement)
{
    const int16_t mesh[3] = {vertex.x, vertex.y, vertex.z};
    const double centre[3] = {placement.centre.x, placement.centre.y, placement.centre.z};
    double out[3];
    for (int axis = 0; axis < 3; ++axis) {
        const int n = placement.volume_dims[axis];
        const double voxel = static_cast<double>(mesh[axis]) / MESH_UNITS_PER_VOXEL + (n - 1) / 2;
        out[axis] = (voxel - (n - 1) * 0.5) / placement.scale + centre[axis];
    }
    return {out[0], out[1], out[2]};
}

int write_ply(const SurfaceMesh& mesh, const std::string& name, const SourcePlacement& placement)
{
    OutputFile out(name);
    if (!out.is_open()) return 1;
    std::FILE* f = out.stream;
    std::fprintf(f,
                 "ply\n"
                 "format binary_little_endian 1.0\n"
                 "comment Kestrane morph frame in the units of the source surface\n"
                 "element vertex %zu\n"
                 "property float x\n"
                 "property float y\n"
                 "property float z\n"
                 "property float nx\n"
                 "property float ny\n"
                 "property float nz\n"
                 "property uchar red\n"
                 "property uchar green\n"
                 "property uchar blue\n"
                 "element face %zu\n"
                 "property list uchar int vertex_indices\n"
                 "end_header\n",
                 mesh.vertices.size(), mesh.triangles.size());
    std::vector<unsigned char> bytes;
    bytes.reserve(mesh.vertices.size() * VERTEX_BYTES + mesh.triangles.size() * FACE_BYTES);
    for (const MeshVertex& v : mesh.vertices) {
        const Vector3 p = source_position(v, placement);
        put_float(bytes, p.x);
        put_float(bytes, p.y);
        put_float(bytes, p.z);
        put_float(bytes, v.nx / static_cast<double>(NORMAL_LENGTH));
        put_float(bytes, v.ny / static_cast<double>(NORMAL_LENGTH));
        put_float(bytes, v.nz / static_cast<double>(NORMAL_LENGTH));
        bytes.push_back(colour_byte_255(v.colour, 0, 31));
        bytes.push_back(colour_byte_255(v.colour, 1, 63));
        bytes.push_back(colour_byte_255(v.colour, 2, 31));
    }
    for (const MeshTriangle& t : mesh.triangles) {
        bytes.push_back(3);
        for (int32_t index : t.v) put_u32(bytes, static_cast<uint32_t>(index));
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return 1;
    return out.commit() ? 0 : 1;
}

}  // namespace kestrane
