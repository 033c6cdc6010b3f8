#include "surface/walk_parts.h"

#include <algorithm>
#include <cstring>

#include "surface/frame_values.h"

namespace kestrane {
namespace {

// Set bits in [begin, end) of a bitset.
long bits_in(const std::vector<uint64_t>& bits, size_t begin, size_t end)
{
    long n = 0;
    for (size_t at = begin; at < end;) {
        const size_t word = at >> 6;
        if (word >= bits.size()) break;
        const unsigned offset = static_cast<unsigned>(at & 63);
        const size_t take = std::min<size_t>(64 - offset, end - at);
        uint64_t w = bits[word] >> offset;
        if (take < 64) w &= (uint64_t{1} << take) - 1;
        n += __builtin_popcountll(w);
        at += take;
    }
    return n;
}

const MeshVertex& vertex(const WalkPart& part, int32_t n) { return part.blocks.vertex_blocks[n]; }

}  // namespace

std::vector<int> walk_part_starts(const FrameValues& values, int parts)
{
    std::vector<int> starts{0};
    const int iterations = values.lz + 1;
    const int shortest = PART_LEAD_IN + PART_SHARED;
    if (parts < 2 || iterations < 2 * shortest) return starts;
    // An iteration's work: the crossing points it samples and finishes.
    const size_t slice = static_cast<size_t>(values.ly) * values.half;
    std::vector<long> points(static_cast<size_t>(values.lz), 0);
    long total = 0;
    for (int k = 0; k < values.lz; ++k) {
        points[static_cast<size_t>(k)] = bits_in(values.crossing, k * slice, (k + 1) * slice);
        total += points[static_cast<size_t>(k)];
    }
    if (total == 0) return starts;
    // Each slice is sampled in one iteration and finished in the next.
    total *= 2;
    long done = 0;
    int part = 1;
    for (int k = 0; k < iterations && part < parts; ++k) {
        if (done * parts >= total * part && k - starts.back() >= shortest && iterations - k >= shortest) {
            starts.push_back(k);
            ++part;
        }
        done += (k < values.lz ? points[static_cast<size_t>(k)] : 0) + (k > 0 ? points[static_cast<size_t>(k - 1)] : 0);
    }
    return starts;
}

bool join_walk_parts(const std::vector<WalkPart>& parts, int32_t vertex_block_size, int32_t triangle_block_size,
                     std::vector<MeshVertex>& vertices, std::vector<MeshTriangle>& triangles,
                     std::vector<int64_t>& owners)
{
    vertices.clear();
    triangles.clear();
    owners.clear();
    size_t vertex_total = 0, triangle_total = 0;
    for (const WalkPart& part : parts) {
        vertex_total += static_cast<size_t>(part.blocks.vertex_blocks.count);
        triangle_total += static_cast<size_t>(part.blocks.triangle_blocks.count);
    }
    vertices.reserve(vertex_total);
    triangles.reserve(triangle_total);
    // Per vertex of the part before: its place in the joined mesh.
    std::vector<int32_t> before_map;
    for (size_t p = 0; p < parts.size(); ++p) {
        const WalkPart& part = parts[p];
        const int32_t placed = part.blocks.vertex_blocks.count;
        const bool owned = !part.owners.empty();
        if (part.vertices_at.size() != static_cast<size_t>(part.last - part.first + 1)) return false;
        const int32_t own_from = part.vertices_at[static_cast<size_t>(part.emit_from - part.first)];
        std::vector<int32_t> map(static_cast<size_t>(placed), -1);
        if (p > 0) {
            const WalkPart& before = parts[p - 1];
            const int shared_from = part.emit_from - PART_SHARED;
            if (before.last != part.emit_from || shared_from < before.emit_from || shared_from < part.first) return false;
            const int32_t a0 = part.vertices_at[static_cast<size_t>(shared_from - part.first)];
            const int32_t b0 = before.vertices_at[static_cast<size_t>(shared_from - before.first)];
            const int32_t b1 = before.vertices_at[static_cast<size_t>(part.emit_from - before.first)];
            if (own_from - a0 != b1 - b0) return false;
            for (int32_t n = 0; n < own_from - a0; ++n) {
                if (std::memcmp(&vertex(part, a0 + n), &vertex(before, b0 + n), sizeof(MeshVertex)) != 0) return false;
                if (owned && part.owners[static_cast<size_t>(a0 + n)] != before.owners[static_cast<size_t>(b0 + n)])
                    return false;
                map[static_cast<size_t>(a0 + n)] = before_map[static_cast<size_t>(b0 + n)];
            }
        }
        for (int32_t v = own_from; v < placed; ++v) {
            map[static_cast<size_t>(v)] = static_cast<int32_t>(vertices.size());
            vertices.push_back(vertex(part, v));
            if (owned) owners.push_back(part.owners[static_cast<size_t>(v)]);
        }
        const BlockList<MeshTriangle>& emitted = part.blocks.triangle_blocks;
        for (int32_t n = 0; n < emitted.count; ++n) {
            MeshTriangle t = emitted[n];
            for (int32_t& v : t.v) {
                v = v >= 0 && v < placed ? map[static_cast<size_t>(v)] : -1;
                if (v < 0) return false;
            }
            triangles.push_back(t);
        }
        before_map = std::move(map);
    }
    return vertices.size() <= static_cast<size_t>(vertex_block_size) * MAX_BLOCKS &&
           triangles.size() <= static_cast<size_t>(triangle_block_size) * MAX_BLOCKS;
}

}  // namespace kestrane
