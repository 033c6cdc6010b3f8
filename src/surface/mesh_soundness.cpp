#include "surface/mesh_soundness.h"

#include <algorithm>

namespace kestrane {
std::vector<int32_t> unsound_vertices(const std::vector<MeshTriangle>& triangles)
{
    // Each directed edge as (low vertex, high vertex, direction): a sound
    // edge gives exactly the two keys (a, b, 0) and (a, b, 1).
    std::vector<uint64_t> keys;
    keys.reserve(triangles.size() * 3);
    for (const MeshTriangle& t : triangles)
        for (int i = 0; i < 3; ++i) {
            const uint32_t a = static_cast<uint32_t>(t.v[i]), b = static_cast<uint32_t>(t.v[(i + 1) % 3]);
            const uint64_t low = std::min(a, b), high = std::max(a, b);
            keys.push_back((low << 32 | high) << 1 | (a > b ? 1u : 0u));
        }
    std::sort(keys.begin(), keys.end());
    std::vector<int32_t> bad;
    for (size_t i = 0; i < keys.size();) {
        size_t j = i;
        while (j < keys.size() && keys[j] >> 1 == keys[i] >> 1) ++j;
        const bool sound = j - i == 2 && (keys[i] & 1) == 0 && (keys[i + 1] & 1) == 1;
        if (!sound) {
            const uint64_t edge = keys[i] >> 1;
            bad.push_back(static_cast<int32_t>(edge >> 32));
            bad.push_back(static_cast<int32_t>(edge & 0xffffffffu));
        }
        i = j;
    }
    std::sort(bad.begin(), bad.end());
    bad.erase(std::unique(bad.begin(), bad.end()), bad.end());
    return bad;
}

}  // namespace kestrane
