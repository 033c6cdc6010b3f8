#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "core/app_state.h"
#include "core/colour.h"
#include "core/status.h"

// Globals back to their start-up state around every test.
class ShapeTest : public testing::Test {
protected:
    void SetUp() override { reset_globals(); }
    void TearDown() override { reset_globals(); }
    static void reset_globals()
    {
        app_state_init();
        release_volumes();
        status_reset();
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
