#pragma once
// Three-component vectors of doubles and the 16-bit directions meshes
// store, with the few operations the geometry needs; all by value.
#include <cstdint>

namespace kestrane {
// Three-component vectors of doubles, passed and returned by value.
struct Vector3 {
    double x, y, z;
};

// A direction stored at length 32000 in three signed 16-bit integers.
struct Direction16 {
    int16_t x, y, z;
};

// Inline: they sit in the innermost loops of scan conversion and frames.
inline Vector3 vec_sub(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 vec_add_scaled(Vector3 a, Vector3 d, double t) { return {d.x * t + a.x, d.y * t + a.y, d.z * t + a.z}; }
inline double vec_dot(Vector3 a, Vector3 b) { return a.y * b.y + a.x * b.x + a.z * b.z; }
inline Vector3 vec_cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// The zero vector normalises to the zero vector (no division by zero).
Vector3 vec_normalise(Vector3 v);
// The zero vector (or one with a non-finite length) gives (0, 0, 0).
Direction16 vec_to_direction16(Vector3 v);

}  // namespace kestrane
