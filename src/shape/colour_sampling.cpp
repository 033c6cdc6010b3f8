#include <cmath>

#include "base/colour.h"
#include "shape/box_projection.h"
#include "shape/morph_field.h"

namespace kestrane {
namespace {

// Truncated toward zero (the conversion does that) and kept as the low
// byte, as an 8-bit store does. A value out of all range (only from a
// non-finite or huge t) keeps the second colour's byte.
inline uint8_t blended_byte(double t, int a, int b)
{
    double value = (1.0 - t) * b + t * a;
    if (!(value > -1e9 && value < 1e9)) return static_cast<uint8_t>(b);
    return static_cast<uint8_t>(static_cast<int>(value));
}

}  // namespace

uint32_t blend_colour(double t, uint32_t a, uint32_t b)
{
    // The ends give one colour exactly (with b's flag); samples on grid
    // planes meet them all the time.
    if (t == 0.0) return b;
    if (t == 1.0)
        return make_colour(static_cast<uint8_t>(colour_byte(a, 0)), static_cast<uint8_t>(colour_byte(a, 1)),
                           static_cast<uint8_t>(colour_byte(a, 2)), colour_flag(b));
    const uint8_t red = blended_byte(t, colour_byte(a, 0), colour_byte(b, 0));
    const uint8_t green = blended_byte(t, colour_byte(a, 1), colour_byte(b, 1));
    // Red and blue often match on both sides (the blank colour's do).
    const uint8_t blue = colour_byte(a, 2) == colour_byte(a, 0) && colour_byte(b, 2) == colour_byte(b, 0)
                             ? red
                             : blended_byte(t, colour_byte(a, 2), colour_byte(b, 2));
    return make_colour(red, green, blue, colour_flag(b));
}

// A volume without a grid (or with no inner box) and a point with a
// non-finite coordinate give the blank colour (white).
uint32_t sample_colour(const FieldView& field, double x, double y, double z)
{
    const int nx = field.nx, ny = field.ny, nz = field.nz;
    if (!field.present() || nx < 3 || ny < 3 || nz < 3) return blank_colour();
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return blank_colour();
    if (!inside_inner_box(x, y, z, nx, ny, nz)) {
        BoxPoint p = project_to_inner_box(x, y, z, nx, ny, nz);
        x = p.x, y = p.y, z = p.z;
    }
    int xi = static_cast<int>(x), yi = static_cast<int>(y), zi = static_cast<int>(z);
    double fx = x - xi, fy = y - yi, fz = z - zi;
    uint32_t c[8];  // corner x + 2y + 4z
    for (int corner = 0; corner < 8; ++corner)
        c[corner] = field.colour(xi + (corner & 1), yi + (corner >> 1 & 1), zi + (corner >> 2));
    // Eight equal corners (most of a one-coloured surface) make equal pairs
    // at every step: one blend a step gives the very same word.
    if (c[1] == c[0] && c[2] == c[0] && c[3] == c[0] && c[4] == c[0] && c[5] == c[0] && c[6] == c[0] &&
        c[7] == c[0]) {
        const uint32_t m = blend_colour(fx, c[0], c[0]);
        const uint32_t r = blend_colour(fy, m, m);
        return blend_colour(fz, r, r);
    }
    uint32_t m = blend_colour(fx, c[1], c[0]);
    uint32_t o = blend_colour(fx, c[3], c[2]);
    uint32_t r = blend_colour(fy, o, m);
    uint32_t u = blend_colour(fx, c[5], c[4]);
    uint32_t w = blend_colour(fx, c[7], c[6]);
    return blend_colour(fz, blend_colour(fy, w, u), r);
}

}  // namespace kestrane
