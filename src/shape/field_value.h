#pragma once
// The range of a sampled field: four times a distance in distance units,
// positive inside, limited to -31999 .. 31999. Every read of a distance field
// and every morph sample passes through field_value, so all of them agree.
#include <cstdint>

namespace kestrane {
constexpr int16_t FIELD_LIMIT = 31999;

// Truncated toward zero and held to the field's range; a non-number (only
// from non-finite input) reads as far outside.
inline int16_t field_value(double value)
{
    if (!(value > -FIELD_LIMIT)) return -FIELD_LIMIT;
    if (value >= FIELD_LIMIT) return FIELD_LIMIT;
    return static_cast<int16_t>(value);
}

}  // namespace kestrane
