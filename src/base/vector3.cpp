#include "base/vector3.h"

#include <cmath>

namespace kestrane {
Vector3 vec_normalise(Vector3 v)
{
    double length = std::sqrt(v.y * v.y + v.x * v.x + v.z * v.z);
    if (length == 0.0) return {0.0, 0.0, 0.0};
    return {v.x / length, v.y / length, v.z / length};
}

Direction16 vec_to_direction16(Vector3 v)
{
    double length = std::sqrt(v.y * v.y + v.x * v.x + v.z * v.z);
    if (!(length > 0.0) || !std::isfinite(length)) return {0, 0, 0};
    double f = 32000.0 / length;
    // Each product lies within +-32000 (up to rounding), so the casts are safe.
    return {static_cast<int16_t>(std::trunc(v.x * f)), static_cast<int16_t>(std::trunc(v.y * f)),
            static_cast<int16_t>(std::trunc(v.z * f))};
}

}  // namespace kestrane
