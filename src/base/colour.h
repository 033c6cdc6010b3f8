#pragma once
// The colour word stored with every voxel and mesh vertex, and its bytes.
#include <cstdint>
#include <cstring>

namespace kestrane {
// A colour word: byte 0 red 0..31, byte 1 green 0..63, byte 2 blue 0..31,
// byte 3 a flag carried along without meaning. The bytes are kept in memory
// order, so the word is read and written through memcpy.
inline uint32_t make_colour(uint8_t red, uint8_t green, uint8_t blue, uint8_t flag = 0)
{
    uint8_t bytes[4] = {red, green, blue, flag};
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// Byte n of a colour word, read as a signed 8-bit number as every blend does.
inline int8_t colour_byte(uint32_t word, int n)
{
    uint8_t bytes[4];
    std::memcpy(bytes, &word, 4);
    return static_cast<int8_t>(bytes[n]);
}

inline uint8_t colour_flag(uint32_t word)
{
    uint8_t bytes[4];
    std::memcpy(bytes, &word, 4);
    return bytes[3];
}

constexpr uint8_t BLANK_RED = 31, BLANK_GREEN = 63, BLANK_BLUE = 31;
inline uint32_t blank_colour() { return make_colour(BLANK_RED, BLANK_GREEN, BLANK_BLUE, 0); }

}  // namespace kestrane
