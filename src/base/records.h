#pragma once
// The records a shape is made of: voxels with their distance units, the
// inscribed spheres and the manual correspondence vectors. Plain data with
// the field widths the files and arrays rely on.
#include <cstdint>

namespace kestrane {
// Distance units: 22 per voxel edge, positive inside, 32000 for far away.
constexpr int16_t DISTANCE_UNITS = 22;
constexpr int16_t FAR_DISTANCE = 32000;
constexpr int16_t NEAR_DISTANCE = 11;

// One voxel: a signed distance followed by a colour word, exactly 6 bytes.
#pragma pack(push, 1)
struct Voxel {
    int16_t distance;
    uint32_t colour;
};
#pragma pack(pop)
static_assert(sizeof(Voxel) == 6, "a voxel is 6 bytes");

// An inscribed sphere: centre voxel, radius in distance units, link flag
// (while extracting, the flag byte holds the candidate state).
struct Sphere {
    int16_t x, y, z;
    int16_t radius;
    uint8_t linked;
};

// A manual correspondence vector, in voxel coordinates.
struct CorrespondenceVector {
    double start[3];
    double end[3];
};

}  // namespace kestrane
