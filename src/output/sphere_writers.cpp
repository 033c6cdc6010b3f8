#include "output/sphere_writers.h"

#include <cstdio>

#include "base/records.h"
#include "output/output_file.h"

namespace kestrane {
namespace {

// A sphere in the units of the frame files: 64 per voxel about the grid centre.
struct SpherePlace {
    long x, y, z;
    double radius;
};

SpherePlace place_of(const Sphere& s, const int16_t dims[3])
{
    return {static_cast<long>(s.x - (dims[0] - 1) / 2) * 64, static_cast<long>(s.y - (dims[1] - 1) / 2) * 64,
            static_cast<long>(s.z - (dims[2] - 1) / 2) * 64, s.radius * 64.0 / DISTANCE_UNITS};
}

// The spheres written: those with a radius of at least one distance unit.
template <typename Writer>
void for_each_sphere(const SphereFile& file, Writer write)
{
    for (size_t i = 0; i < file.count; ++i)
        if (file.spheres[i].radius >= 1) write(file.spheres[i], place_of(file.spheres[i], file.volume_dims));
}

}  // namespace

std::string sphere_file_name(int side, int frame_count, SurfaceFormat format)
{
    char name[32];
    std::snprintf(name, sizeof name, format == SURFACE_FORMAT_VRML ? "sphere%03i.wrl" : "sphere%03i.sph",
                  side * (frame_count - 1) + 1);
    return name;
}

std::string sphere_file_path(const std::string& output_base, int side, int frame_count, SurfaceFormat format)
{
    const size_t slash = output_base.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : output_base.substr(0, slash + 1);
    return folder + sphere_file_name(side, frame_count, format);
}

int32_t write_sphere_file_oogl(const SphereFile& file, const std::string& name)
{
    OutputFile out(name);
    if (!out.is_open()) return 1;
    FILE* f = out.stream;
    std::fputs("LIST\n", f);
    for_each_sphere(file, [&](const Sphere& s, const SpherePlace& p) {
        std::fputs(s.linked == 1 ? "appearance { material { diffuse 0.0 0.0 1.0 } }\n"
                            : "appearance { material { diffuse 1.0 1.0 1.0 } }\n",
                   f);
        std::fputs("{\nSPHERE\n", f);
        std::fprintf(f, "%f\n", p.radius);
        std::fprintf(f, "%li %li %li\n}\n", p.x, p.y, p.z);
    });
    return out.commit() ? 0 : 1;
}

int32_t write_sphere_file_vrml(const SphereFile& file, const std::string& name)
{
    OutputFile out(name);
    if (!out.is_open()) return 1;
    FILE* f = out.stream;
    write_vrml_header(f);
    std::fputs(" MaterialBinding { value OVERALL }\n", f);
    write_vrml_material_start(f);
    std::fputs("  diffuseColor 1.0 1.0 1.0\n", f);
    write_vrml_material_end(f);
    for_each_sphere(file, [&](const Sphere& s, const SpherePlace& p) {
        std::fputs(s.linked == 1 ? " Material { diffuseColor 0.0 0.0 1.0 }\n" : " Material { diffuseColor 1.0 1.0 1.0 }\n",
                   f);
        std::fprintf(f, " Translation { translation %li %li %li }\n", p.x, p.y, p.z);
        std::fprintf(f, " Sphere { radius %f }\n", p.radius);
        std::fprintf(f, " Translation { translation %li %li %li }\n", -p.x, -p.y, -p.z);
    });
    std::fputs("}\n", f);
    return out.commit() ? 0 : 1;
}

}  // namespace kestrane
