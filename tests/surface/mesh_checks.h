#pragma once
// Shared helpers of the isosurface tests and benchmarks: fields made of
// balls sampled on the lattice, and checks of the meshes they give.
#include <cmath>
#include <cstdint>
#include <map>
#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "base/vector3.h"
#include "surface/lattice_walk.h"
#include "surface/mesh.h"

using namespace kestrane;

namespace surface_test {

struct Ball {
    Vector3 centre;  // voxel coordinates
    double radius;   // voxels
};

// max over the balls of (radius - distance to the centre): a signed distance
// in voxels, positive inside the union.
inline double ball_distance(const std::vector<Ball>& balls, Vector3 x)
{
    double best = -1e30;
    for (const Ball& b : balls) {
        Vector3 d = vec_sub(x, b.centre);
        best = std::max(best, b.radius - std::sqrt(vec_dot(d, d)));
    }
    return best;
}

struct BallField {
    std::vector<Ball> balls;
    double units_per_voxel = 88;  // the scale of the distance samples of a volume
    int samples = 0;
};

inline int16_t sample_balls(void* context, int, int, int, Vector3 x, uint32_t* colour)
{
    BallField& f = *static_cast<BallField*>(context);
    ++f.samples;
    double v = std::trunc(ball_distance(f.balls, x) * f.units_per_voxel);
    v = std::max(-31999.0, std::min(31999.0, v));
    // Colour bytes follow the position so that blends are visible.
    uint32_t r = static_cast<uint32_t>(x.x) & 31, g = static_cast<uint32_t>(x.y) & 63, b = static_cast<uint32_t>(x.z) & 31;
    *colour = r | g << 8 | b << 16 | 0x5a000000u;
    return static_cast<int16_t>(v);
}

// The lattice over a volume of n voxels a side at step R, counted as the
// sizing pass counts it.
inline LatticeField lattice_over(int nx, int ny, int nz, int resolution)
{
    LatticeField f;
    f.lx = (nx - 1) / resolution + 2;
    f.ly = static_cast<int>((ny - 1) / (resolution * 0.7071)) + 2;
    f.lz = (nz - 1) / resolution + 2;
    f.resolution = resolution;
    f.cx = (nx - 1) / 2;
    f.cy = (ny - 1) / 2;
    f.cz = (nz - 1) / 2;
    return f;
}

inline LatticeField ball_lattice(BallField& field, int n, int resolution)
{
    LatticeField f = lattice_over(n, n, n, resolution);
    f.sample = sample_balls;
    f.context = &field;
    return f;
}

// 1..max_balls balls well inside a grid of n voxels a side.
inline std::vector<Ball> random_balls(std::mt19937& rng, int n, int max_balls, double min_radius, double max_radius)
{
    std::uniform_int_distribution<int> count(1, max_balls);
    std::uniform_real_distribution<double> radius(min_radius, max_radius);
    std::vector<Ball> balls;
    for (int i = count(rng); i > 0; --i) {
        double r = radius(rng);
        std::uniform_real_distribution<double> c(r + 2, n - 3 - r);
        balls.push_back({{c(rng), c(rng), c(rng)}, r});
    }
    return balls;
}

// Up to max_balls balls that keep at least `gap` voxels between their surfaces.
inline std::vector<Ball> separated_balls(std::mt19937& rng, int n, int max_balls, double min_radius,
                                        double max_radius, double gap)
{
    std::vector<Ball> balls;
    for (int tries = 0; tries < 50 && static_cast<int>(balls.size()) < max_balls; ++tries) {
        Ball candidate = random_balls(rng, n, 1, min_radius, max_radius)[0];
        bool apart = true;
        for (const Ball& b : balls) {
            Vector3 d = vec_sub(candidate.centre, b.centre);
            if (std::sqrt(vec_dot(d, d)) - b.radius - candidate.radius < gap) apart = false;
        }
        if (apart) balls.push_back(candidate);
    }
    return balls;
}

struct MeshReport {
    long unbalanced_edges = 0;  // directed edges used more or less often than their reverse: holes, flips
    long pinched_edges = 0;     // undirected edges balanced but used by more than two triangles
    long degenerate = 0;        // triangles naming a vertex twice
    long bad_indices = 0;       // indices outside the vertex array
    long unused_vertices = 0;
    long zero_area = 0;         // triangles of three distinct but coincident or collinear corners
    long euler = 0;             // V - E + F
    // Every edge in exactly two triangles, once in each direction.
    bool closed() const { return unbalanced_edges == 0 && pinched_edges == 0 && bad_indices == 0; }
};

inline MeshReport check_mesh(const SurfaceMesh& mesh)
{
    MeshReport r;
    long vertex_count = static_cast<long>(mesh.vertices.size());
    std::map<std::pair<int32_t, int32_t>, int> edges;
    std::vector<bool> used(mesh.vertices.size(), false);
    for (const MeshTriangle& t : mesh.triangles) {
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            if (t.v[i] < 0 || t.v[i] >= vertex_count) ok = false;
            else used[t.v[i]] = true;
        }
        if (!ok) {
            ++r.bad_indices;
            continue;
        }
        if (t.v[0] == t.v[1] || t.v[1] == t.v[2] || t.v[0] == t.v[2]) {
            ++r.degenerate;
        } else {
            // Whole mesh units: the cross product is exact.
            const MeshVertex &a = mesh.vertices[t.v[0]], &b = mesh.vertices[t.v[1]], &c = mesh.vertices[t.v[2]];
            const long ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
            const long wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
            if (uy * wz - uz * wy == 0 && uz * wx - ux * wz == 0 && ux * wy - uy * wx == 0) ++r.zero_area;
        }
        for (int i = 0; i < 3; ++i) ++edges[{t.v[i], t.v[(i + 1) % 3]}];
    }
    long undirected = 0;
    for (const auto& [edge, n] : edges) {
        auto back = edges.find({edge.second, edge.first});
        int reverse = back == edges.end() ? 0 : back->second;
        if (reverse != n) ++r.unbalanced_edges;
        if (edge.first < edge.second || reverse == 0) {
            ++undirected;
            if (reverse == n && n > 1) ++r.pinched_edges;
        }
    }
    for (bool u : used) r.unused_vertices += !u;
    r.euler = vertex_count - undirected + static_cast<long>(mesh.triangles.size());
    return r;
}

inline Vector3 vertex_position(const MeshVertex& v) { return {double(v.x), double(v.y), double(v.z)}; }

// Six times the enclosed volume, positive when the triangles face outwards.
inline double signed_volume(const SurfaceMesh& mesh)
{
    double sum = 0;
    for (const MeshTriangle& t : mesh.triangles) {
        Vector3 a = vertex_position(mesh.vertices[t.v[0]]);
        Vector3 b = vertex_position(mesh.vertices[t.v[1]]);
        Vector3 c = vertex_position(mesh.vertices[t.v[2]]);
        sum += vec_dot(a, vec_cross(b, c));
    }
    return sum;
}

// Voxel coordinates of a vertex of a mesh made over the given lattice.
inline Vector3 voxel_position(const MeshVertex& v, const LatticeField& f)
{
    return {v.x / 64.0 + f.cx, v.y / 64.0 + f.cy, v.z / 64.0 + f.cz};
}

}  // namespace surface_test
