#include "viewer/sphere_writers.h"

#include <cstdio>

#include "core/app_state.h"
#include "core/output_file.h"

namespace {

// A sphere in the units of the frame files: 64 per voxel about the grid centre.
struct SpherePlace {
    long x, y, z;
    double radius;
};

SpherePlace place_of(const Sphere& s)
{
    return {static_cast<long>(s.x - (app.volume_dims[0] - 1) / 2) * 64,
            static_cast<long>(s.y - (app.volume_dims[1] - 1) / 2) * 64,
            static_cast<long>(s.z - (app.volume_dims[2] - 1) / 2) * 64, s.radius * 64.0 / DISTANCE_UNITS};
}

FILE* open_sphere_file(int side, int format)
{
    return open_output_file(sphere_file_name(side, format), "spheres");
}

// The spheres written: those with a radius of at least one distance unit.
template <typename Writer>
void for_each_sphere(int side, Writer write)
{
    const Volume& v = app.volumes[side];
    size_t count = static_cast<size_t>(v.sphere_count) < v.spheres.size() ? static_cast<size_t>(v.sphere_count)
                                                                          : v.spheres.size();
    if (v.sphere_count < 0) count = 0;
    for (size_t i = 0; i < count; ++i)
        if (v.spheres[i].radius >= 1) write(v.spheres[i], place_of(v.spheres[i]));
}

}  // namespace

std::string sphere_file_name(int side, int format)
{
    char name[32];
    std::snprintf(name, sizeof name, format == 2 ? "sphere%03i.wrl" : "sphere%03i.sph",
                  side * (app.frame_count - 1) + 1);
    return name;
}

int32_t write_sphere_file_oogl(int side)
{
    FILE* f = open_sphere_file(side, 1);
    if (!f) return 1;
    std::fputs("LIST\n", f);
    for_each_sphere(side, [&](const Sphere& s, const SpherePlace& p) {
        std::fputs(s.linked == 1 ? "appearance { material { diffuse 0.0 0.0 1.0 } }\n"
                            : "appearance { material { diffuse 1.0 1.0 1.0 } }\n",
                   f);
        std::fputs("{\nSPHERE\n", f);
        std::fprintf(f, "%f\n", p.radius);
        std::fprintf(f, "%li %li %li\n}\n", p.x, p.y, p.z);
    });
    std::fclose(f);
    return 0;
}

int32_t write_sphere_file_vrml(int side)
{
    FILE* f = open_sphere_file(side, 2);
    if (!f) return 1;
    write_vrml_header(f);
    std::fputs(" MaterialBinding { value OVERALL }\n", f);
    write_vrml_material_start(f);
    std::fputs("  diffuseColor 1.0 1.0 1.0\n", f);
    write_vrml_material_end(f);
    for_each_sphere(side, [&](const Sphere& s, const SpherePlace& p) {
        std::fputs(s.linked == 1 ? " Material { diffuseColor 0.0 0.0 1.0 }\n" : " Material { diffuseColor 1.0 1.0 1.0 }\n",
                   f);
        std::fprintf(f, " Translation { translation %li %li %li }\n", p.x, p.y, p.z);
        std::fprintf(f, " Sphere { radius %f }\n", p.radius);
        std::fprintf(f, " Translation { translation %li %li %li }\n", -p.x, -p.y, -p.z);
    });
    std::fputs("}\n", f);
    std::fclose(f);
    return 0;
}
