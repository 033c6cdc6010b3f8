#include "render/mesh_drawing.h"

#include "base/colour.h"
#include "base/vector3.h"

using namespace kestrane;

DrawVertex draw_vertex(const MeshVertex& v, float view_scale)
{
    DrawVertex d{};
    d.position[0] = view_scale * v.x / MESH_UNITS_PER_VOXEL;
    d.position[1] = view_scale * v.y / MESH_UNITS_PER_VOXEL;
    d.position[2] = view_scale * v.z / MESH_UNITS_PER_VOXEL;
    const Vector3 n = vec_normalise(Vector3{static_cast<double>(v.nx), static_cast<double>(v.ny),
                                            static_cast<double>(v.nz)});
    d.normal[0] = static_cast<float>(n.x);
    d.normal[1] = static_cast<float>(n.y);
    d.normal[2] = static_cast<float>(n.z);
    d.colour[0] = colour_byte(v.colour, 0) / 31.0f;
    d.colour[1] = colour_byte(v.colour, 1) / 63.0f;
    d.colour[2] = colour_byte(v.colour, 2) / 31.0f;
    return d;
}
