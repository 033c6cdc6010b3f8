#pragma once
// Constant tables of the body-centred isosurface lattice: directions,
// neighbour rings and link edges.
#include <cstdint>

#include "base/lattice_geometry.h"

namespace kestrane {
// The isosurface lattice is body-centred: points (i, j, k) with i + j + k even,
// at voxel position (i R, j R 0.7071, k R). Each point has 14 neighbours; the
// directions 0..6 lead to points sampled earlier in the walk, d + 7 is the
// opposite of d.

constexpr int DIRECTION_COUNT = 14;
constexpr int BACKWARD_DIRECTIONS = 7;
constexpr uint16_t ALL_DIRECTIONS = 0x3fff;
constexpr double ISO_LEVEL = -0.5;
constexpr double WEIGHT_FLOOR = 0.01;
// A feature weight grows without bound only for a vanishing opening angle;
// the cap keeps the weighted vertex position finite.
constexpr double FEATURE_WEIGHT_LIMIT = 1e9;

struct LatticeOffset {
    int8_t di, dj, dk;
};

inline constexpr LatticeOffset DIRECTION_OFFSET[DIRECTION_COUNT] = {
    {+1, -1, 0}, {0, -2, 0}, {-1, -1, 0}, {+1, 0, -1}, {0, -1, -1}, {-1, 0, -1}, {0, +1, -1},
    {-1, +1, 0}, {0, +2, 0}, {+1, +1, 0}, {-1, 0, +1}, {0, +1, +1}, {+1, 0, +1}, {0, -1, +1},
};

inline constexpr uint8_t LONG_DIRECTION[DIRECTION_COUNT] = {0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};

// Bit n of entry d: the neighbours in directions d and n are joined by a lattice edge.
inline constexpr uint16_t RING_MASK[DIRECTION_COUNT] = {
    0x321a, 0x2015, 0x24b2, 0x0251, 0x006f, 0x00d4, 0x03b8,
    0x0d64, 0x0ac0, 0x1949, 0x2884, 0x3780, 0x2a01, 0x1c07,
};

// The neighbours around the edge towards d form a cycle of 6 (short edge) or
// 4 (long edge); each pair holds two opposite corners of that cycle.
struct RingPairs {
    int8_t count;
    int8_t a[3];
    int8_t b[3];
};

inline constexpr RingPairs RING_PAIRS[DIRECTION_COUNT] = {
    {3, {1, 3, 12}, {9, 13, 4}},  {2, {0, 4, 0}, {2, 13, 0}},   {3, {1, 5, 10}, {7, 13, 4}},
    {2, {0, 4, 0}, {6, 9, 0}},    {3, {1, 5, 3}, {6, 0, 2}},    {2, {2, 4, 0}, {6, 7, 0}},
    {3, {3, 5, 8}, {7, 9, 4}},    {3, {5, 8, 10}, {11, 2, 6}},  {2, {6, 7, 0}, {11, 9, 0}},
    {3, {3, 8, 12}, {11, 0, 6}},  {2, {2, 7, 0}, {11, 13, 0}},  {3, {8, 12, 10}, {13, 7, 9}},
    {2, {0, 13, 0}, {11, 9, 0}},  {3, {1, 10, 12}, {11, 0, 2}},
};

// The 36 edges of the link polyhedron (two adjacent directions) with the two
// apex directions completing the link triangles on either side.
struct LinkEdge {
    uint16_t edge;
    uint16_t apex;
};

constexpr uint16_t direction_pair(int a, int b) { return static_cast<uint16_t>((1u << a) | (1u << b)); }

inline constexpr LinkEdge LINK_EDGES[36] = {
    {direction_pair(0, 1), direction_pair(4, 13)},   {direction_pair(0, 3), direction_pair(4, 9)},
    {direction_pair(0, 4), direction_pair(1, 3)},    {direction_pair(0, 9), direction_pair(3, 12)},
    {direction_pair(0, 12), direction_pair(9, 13)},  {direction_pair(0, 13), direction_pair(1, 12)},
    {direction_pair(1, 2), direction_pair(4, 13)},   {direction_pair(1, 4), direction_pair(0, 2)},
    {direction_pair(1, 13), direction_pair(0, 2)},   {direction_pair(2, 4), direction_pair(1, 5)},
    {direction_pair(2, 5), direction_pair(4, 7)},    {direction_pair(2, 7), direction_pair(5, 10)},
    {direction_pair(2, 10), direction_pair(7, 13)},  {direction_pair(2, 13), direction_pair(1, 10)},
    {direction_pair(3, 4), direction_pair(0, 6)},    {direction_pair(3, 6), direction_pair(4, 9)},
    {direction_pair(3, 9), direction_pair(0, 6)},    {direction_pair(4, 5), direction_pair(2, 6)},
    {direction_pair(4, 6), direction_pair(3, 5)},    {direction_pair(5, 6), direction_pair(4, 7)},
    {direction_pair(5, 7), direction_pair(2, 6)},    {direction_pair(6, 7), direction_pair(5, 8)},
    {direction_pair(6, 8), direction_pair(7, 9)},    {direction_pair(6, 9), direction_pair(3, 8)},
    {direction_pair(7, 8), direction_pair(6, 11)},   {direction_pair(7, 10), direction_pair(2, 11)},
    {direction_pair(7, 11), direction_pair(8, 10)},  {direction_pair(8, 9), direction_pair(6, 11)},
    {direction_pair(8, 11), direction_pair(7, 9)},   {direction_pair(9, 11), direction_pair(8, 12)},
    {direction_pair(9, 12), direction_pair(0, 11)},  {direction_pair(10, 11), direction_pair(7, 13)},
    {direction_pair(10, 13), direction_pair(2, 11)}, {direction_pair(11, 12), direction_pair(9, 13)},
    {direction_pair(11, 13), direction_pair(10, 12)}, {direction_pair(12, 13), direction_pair(0, 11)},
};

}  // namespace kestrane
