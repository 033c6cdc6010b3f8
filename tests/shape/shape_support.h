#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "support/scratch_state.h"
#include "base/colour.h"
#include "base/voxel_grid.h"
#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/morph_field.h"
#include "shape/sphere_extraction.h"

using namespace kestrane;

// Globals back to their start-up state around every test.
class ShapeTest : public testing::Test {
protected:
    void SetUp() override { reset_globals(); }
    void TearDown() override { reset_globals(); }
    static void reset_globals()
    {
        app_state_init();
        release_volumes();
        app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = 0;
    }
};

inline long voxel_index(int x, int y, int z)
{
    return (static_cast<long>(z) * app.volume_dims[1] + y) * app.volume_dims[0] + x;
}

inline Voxel& voxel(int v, int x, int y, int z) { return app.volumes[v].voxels[voxel_index(x, y, z)]; }

// The colour by value: a voxel's colour word is not 4-byte aligned.
inline uint32_t colour_at(int v, int x, int y, int z)
{
    uint32_t colour = voxel(v, x, y, z).colour;
    return colour;
}

// Sets the common size and gives volume v a grid filled with one value.
inline void make_volume(int v, int nx, int ny, int nz, int16_t distance = -FAR_DISTANCE,
                        uint32_t colour = make_colour(1, 2, 3))
{
    app.volume_dims[0] = static_cast<int16_t>(nx);
    app.volume_dims[1] = static_cast<int16_t>(ny);
    app.volume_dims[2] = static_cast<int16_t>(nz);
    long n = static_cast<long>(nx) * ny * nz;
    app.volumes[v].voxels.reset(new Voxel[n]);
    for (long i = 0; i < n; ++i) app.volumes[v].voxels[i] = Voxel{distance, colour};
}

// A capsule (the points within radius of the segment from x0 to x1 at
// height cy, cz) as scan conversion leaves it: true distances in a band of
// about 1.5 voxels around the surface, far values with the right sign
// elsewhere. With x0 = x1 it is a ball.
inline void make_capsule(int v, int n, double x0, double x1, double cy, double cz, double radius,
                         uint32_t colour = make_colour(10, 20, 30))
{
    make_volume(v, n, n, n);
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                double cx = x < x0 ? x0 : x > x1 ? x1 : x;
                double depth = radius - std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz));
                Voxel& vx = voxel(v, x, y, z);
                if (std::fabs(depth) < 1.5) vx.distance = static_cast<int16_t>(std::lround(depth * DISTANCE_UNITS));
                else vx.distance = depth > 0 ? FAR_DISTANCE : static_cast<int16_t>(-FAR_DISTANCE);
                vx.colour = colour;
            }
}

inline void make_ball(int v, int n, double cx, double cy, double cz, double radius,
                      uint32_t colour = make_colour(10, 20, 30))
{
    make_capsule(v, n, cx, cx, cy, cz, radius, colour);
}

inline uint32_t random_colour(std::mt19937& rng)
{
    return make_colour(rng() % 32, rng() % 64, rng() % 32, rng() % 256);
}

// The same spheres at the same places, in the same order.
inline bool same_spheres(const std::vector<Sphere>& a, const std::vector<Sphere>& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Sphere& p, const Sphere& q) {
               return p.x == q.x && p.y == q.y && p.z == q.z && p.radius == q.radius;
           });
}

// The shape algorithms over the volumes and parameters of the global record,
// which the tests use as their store, as the load and the frames call them.
inline FieldView field(int v) { return field_of(app.volumes[v].voxels.get(), app.volume_dims); }
inline VectorSet vectors() { return {app.vectors.data(), app.vectors.size()}; }
inline SphereSet sphere_set(int v)
{
    const Volume& volume = app.volumes[v];
    return {volume.spheres.data(), volume.sphere_shift.data(),
            std::min(volume.spheres.size(), volume.sphere_shift.size())};
}
inline MorphInputs inputs()
{
    MorphInputs in;
    in.fields[0] = field(0);
    in.fields[1] = field(1);
    in.spheres[0] = sphere_set(0);
    in.spheres[1] = sphere_set(1);
    in.vectors = vectors();
    in.quick_morph = app.quick_morph;
    return in;
}

inline void distance_transform(int v) { distance_transform(grid_of(app.volumes[v].voxels.get(), app.volume_dims)); }
inline int16_t sample_distance(int v, double x, double y, double z) { return sample_distance(field(v), x, y, z); }
inline uint32_t sample_colour(int v, double x, double y, double z) { return sample_colour(field(v), x, y, z); }
inline int16_t morph_sample(Vector3 p, double t, uint32_t* colour) { return morph_sample(inputs(), p, t, colour); }
inline int sphere_displacement(int v, Vector3 q, int16_t d, Vector3* out)
{
    return sphere_displacement(sphere_set(v), q, d, out);
}
inline void warp_point(Vector3 p, double t, Vector3* s, Vector3* g) { warp_point(vectors(), p, t, s, g); }
inline int correspond_spheres()
{
    const FieldView fields[2] = {field(0), field(1)};
    return correspond_spheres(app.volumes[0], app.volumes[1], fields, vectors(), app.strength);
}

// Extraction into volume v with shifts, as the load does it; an overflow
// switches to quick morphing and counts as done.
inline int extract_spheres_with(int v, const SphereExtractionOptions& options)
{
    Volume& volume = app.volumes[v];
    volume.sphere_count = 0;
    volume.sphere_shift.clear();
    ExtractionStatus status = extract_spheres(field(v), app.locality, &volume.spheres, options);
    if (status == EXTRACT_OVERFLOW) {
        app.quick_morph = true;
        return 0;
    }
    if (status != EXTRACT_DONE) return status;
    volume.sphere_shift.resize(volume.spheres.size());
    volume.sphere_count = static_cast<int32_t>(volume.spheres.size());
    return 0;
}
inline int extract_spheres(int v) { return extract_spheres_with(v, SphereExtractionOptions{}); }
