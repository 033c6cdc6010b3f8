#pragma once
#include <cstdint>

constexpr int16_t CHAMFER_FACE = 22;
constexpr int16_t CHAMFER_EDGE = 31;
constexpr int16_t CHAMFER_CORNER = 38;

// Signed chamfer distance transform of volume v, in place. Returns 0.
int distance_transform(int v);
// 22 a + 9 b + 7 c for the sorted absolute offsets a >= b >= c.
double chamfer_length(double dx, double dy, double dz);
// Four times the distance of volume v at a real voxel position, -31999..31999.
int16_t sample_distance(int v, double x, double y, double z);
