#include "surface/mesh_soundness.h"

#include <algorithm>

namespace kestrane {
namespace {

// Each directed edge as (low vertex, high vertex, direction): a sound edge
// gives exactly the two keys (a, b, 0) and (a, b, 1).
uint64_t edge_key(const MeshTriangle& t, int i)
{
    const uint32_t a = static_cast<uint32_t>(t.v[i]), b = static_cast<uint32_t>(t.v[(i + 1) % 3]);
    const uint64_t low = std::min(a, b), high = std::max(a, b);
    return (low << 32 | high) << 1 | (a > b ? 1u : 0u);
}

// Over sorted keys: the ends of every edge whose keys are not one each way.
void collect_unsound(const uint64_t* keys, size_t n, std::vector<int32_t>& bad)
{
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && keys[j] >> 1 == keys[i] >> 1) ++j;
        const bool sound = j - i == 2 && (keys[i] & 1) == 0 && (keys[i + 1] & 1) == 1;
        if (!sound) {
            const uint64_t edge = keys[i] >> 1;
            bad.push_back(static_cast<int32_t>(edge >> 32));
            bad.push_back(static_cast<int32_t>(edge & 0xffffffffu));
        }
        i = j;
    }
}

std::vector<int32_t> sorted_unique(std::vector<int32_t> bad)
{
    std::sort(bad.begin(), bad.end());
    bad.erase(std::unique(bad.begin(), bad.end()), bad.end());
    return bad;
}

}  // namespace

std::vector<int32_t> unsound_vertices_direct(const std::vector<MeshTriangle>& triangles)
{
    std::vector<uint64_t> keys;
    keys.reserve(triangles.size() * 3);
    for (const MeshTriangle& t : triangles)
        for (int i = 0; i < 3; ++i) keys.push_back(edge_key(t, i));
    std::sort(keys.begin(), keys.end());
    std::vector<int32_t> bad;
    collect_unsound(keys.data(), keys.size(), bad);
    return sorted_unique(std::move(bad));
}

std::vector<int32_t> unsound_vertices(const std::vector<MeshTriangle>& triangles)
{
    // The keys counted into one bucket per low vertex, then each bucket (a
    // vertex's few edges) sorted: the order of one sort of all the keys.
    const size_t edges = triangles.size() * 3;
    uint32_t top = 0;
    for (const MeshTriangle& t : triangles)
        for (int i = 0; i < 3; ++i) top = std::max(top, static_cast<uint32_t>(t.v[i]));
    // Vertex numbers far beyond what the triangles could use (or negative
    // ones, read as huge): the buckets would cost more than they save.
    if (edges == 0 || top > edges + 1024) return unsound_vertices_direct(triangles);
    std::vector<uint32_t> start(static_cast<size_t>(top) + 2, 0);
    for (const MeshTriangle& t : triangles)
        for (int i = 0; i < 3; ++i) ++start[(edge_key(t, i) >> 33) + 1];
    for (size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
    std::vector<uint64_t> keys(edges);
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (const MeshTriangle& t : triangles)
        for (int i = 0; i < 3; ++i) {
            const uint64_t key = edge_key(t, i);
            keys[next[key >> 33]++] = key;
        }
    std::vector<int32_t> bad;
    for (size_t v = 0; v + 1 < start.size(); ++v) {
        uint64_t* first = keys.data() + start[v];
        uint64_t* last = keys.data() + start[v + 1];
        if (first == last) continue;
        std::sort(first, last);
        collect_unsound(first, static_cast<size_t>(last - first), bad);
    }
    return sorted_unique(std::move(bad));
}

}  // namespace kestrane
