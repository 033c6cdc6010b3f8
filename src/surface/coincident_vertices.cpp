#include "surface/coincident_vertices.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestrane {
namespace {

uint64_t position_key(const MeshVertex& v)
{
    return static_cast<uint64_t>(static_cast<uint16_t>(v.x)) << 32 |
           static_cast<uint64_t>(static_cast<uint16_t>(v.y)) << 16 | static_cast<uint16_t>(v.z);
}

// Pairs of vertices at one position (each later vertex with the first).
std::vector<std::pair<int32_t, int32_t>> coincident_pairs(const std::vector<MeshVertex>& vertices)
{
    std::vector<std::pair<uint64_t, int32_t>> order(vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) order[i] = {position_key(vertices[i]), static_cast<int32_t>(i)};
    std::sort(order.begin(), order.end());
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (size_t i = 1; i < order.size(); ++i) {
        size_t first = i - 1;
        while (first > 0 && order[first - 1].first == order[i].first) --first;
        if (order[first].first == order[i].first) pairs.push_back({order[first].second, order[i].second});
    }
    return pairs;
}

bool is_in(const std::vector<size_t>& list, size_t t) { return std::find(list.begin(), list.end(), t) != list.end(); }

// The corners of t with `from` read as `to`, in order.
std::vector<int32_t> sorted_corners(const MeshTriangle& t, int32_t from, int32_t to)
{
    std::vector<int32_t> c(t.v, t.v + 3);
    for (int32_t& x : c)
        if (x == from) x = to;
    std::sort(c.begin(), c.end());
    return c;
}

struct Incidence {
    std::vector<MeshTriangle>& triangles;
    std::unordered_map<int32_t, std::vector<size_t>> of;  // vertex -> live triangles with it
    std::vector<bool> removed;

    std::vector<int32_t> neighbours(int32_t v) const
    {
        std::vector<int32_t> out;
        auto it = of.find(v);
        if (it == of.end()) return out;
        for (size_t t : it->second)
            for (int32_t c : triangles[t].v)
                if (c != v) out.push_back(c);
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }

    // Joins b into a when they share exactly two triangles whose other
    // corners are all the neighbours they have in common.
    bool join(int32_t a, int32_t b)
    {
        std::vector<size_t> shared;
        for (size_t t : of[a]) {
            const int32_t* c = triangles[t].v;
            if (c[0] == b || c[1] == b || c[2] == b) shared.push_back(t);
        }
        if (shared.size() != 2) return false;
        std::vector<int32_t> apexes;
        for (size_t t : shared)
            for (int32_t c : triangles[t].v)
                if (c != a && c != b) apexes.push_back(c);
        std::sort(apexes.begin(), apexes.end());
        std::vector<int32_t> na = neighbours(a), nb = neighbours(b), common;
        std::set_intersection(na.begin(), na.end(), nb.begin(), nb.end(), std::back_inserter(common));
        if (apexes.size() != 2 || apexes[0] == apexes[1] || common != apexes) return false;
        // Nor may a triangle of b land on one of a (a tetrahedron's edge).
        for (size_t tb : of[b]) {
            if (is_in(shared, tb)) continue;
            std::vector<int32_t> corners = sorted_corners(triangles[tb], b, a);
            for (size_t ta : of[a])
                if (!is_in(shared, ta) && sorted_corners(triangles[ta], a, a) == corners) return false;
        }

        for (size_t t : shared) {
            removed[t] = true;
            for (int32_t c : triangles[t].v) {
                std::vector<size_t>& list = of[c];
                list.erase(std::remove(list.begin(), list.end(), t), list.end());
            }
        }
        std::vector<size_t>& from_b = of[b];
        for (size_t t : from_b) {
            for (int32_t& c : triangles[t].v)
                if (c == b) c = a;
            of[a].push_back(t);
        }
        of.erase(b);
        return true;
    }
};

}  // namespace

long join_coincident_vertices(SurfaceMesh& mesh)
{
    const std::vector<std::pair<int32_t, int32_t>> pairs = coincident_pairs(mesh.vertices);
    if (pairs.empty()) return 0;

    Incidence incidence{mesh.triangles, {}, std::vector<bool>(mesh.triangles.size(), false)};
    for (const auto& [a, b] : pairs) incidence.of[a], incidence.of[b];
    for (size_t t = 0; t < mesh.triangles.size(); ++t)
        for (int32_t c : mesh.triangles[t].v) {
            auto it = incidence.of.find(c);
            if (it != incidence.of.end()) it->second.push_back(t);
        }
    std::vector<int32_t> joined_into(mesh.vertices.size(), -1);
    long joined = 0;
    for (const auto& [a, b] : pairs) {
        // A vertex joined before stands for its survivor.
        int32_t first = a;
        while (joined_into[first] >= 0) first = joined_into[first];
        if (first == b || !incidence.join(first, b)) continue;
        joined_into[b] = first;
        ++joined;
    }
    if (joined == 0) return 0;

    // Renumber: every vertex that still has a triangle keeps its order.
    std::vector<int32_t> number(mesh.vertices.size(), -1);
    std::vector<MeshVertex> vertices;
    vertices.reserve(mesh.vertices.size() - joined);
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        if (joined_into[v] >= 0) continue;
        number[v] = static_cast<int32_t>(vertices.size());
        vertices.push_back(mesh.vertices[v]);
    }
    std::vector<MeshTriangle> triangles;
    triangles.reserve(mesh.triangles.size());
    for (size_t t = 0; t < mesh.triangles.size(); ++t) {
        if (incidence.removed[t]) continue;
        MeshTriangle out = mesh.triangles[t];
        for (int32_t& c : out.v) c = number[c];
        triangles.push_back(out);
    }
    mesh.vertices = std::move(vertices);
    mesh.triangles = std::move(triangles);
    return joined;
}

}  // namespace kestrane
