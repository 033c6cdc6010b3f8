#include "shape/row_scan.h"

#include "shape/distance_transform.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace kestrane {
#define KESTRANE_ROW_SCAN_AVX512 1
// The compiler's own intrinsics start some vectors undefined on purpose.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

namespace {

// A conditional move, not a branch: which candidate wins changes often
// near a surface.
inline uint32_t select_colour(int along, int beaten, uint32_t taken, uint32_t other)
{
#if defined(__x86_64__)
    __asm__("cmpl %[beaten], %[along]\n\tcmovl %[taken], %[other]"
            : [other] "+r"(other)
            : [along] "r"(along), [beaten] "r"(beaten), [taken] "r"(taken)
            : "cc");
    return other;
#else
    return along < beaten ? taken : other;
#endif
}

// One voxel after another: the chain is an add and a minimum per voxel.
void scan_row_plain(const int16_t* __restrict best, const int16_t* __restrict beaten,
                    const uint32_t* __restrict best_colour, int nx, int direction, int carried,
                    uint32_t carried_colour, int16_t* __restrict magnitude, uint32_t* __restrict colour)
{
    int x = direction > 0 ? 1 : nx - 2;
    for (int i = 0; i < nx - 2; ++i, x += direction) {
        int along = carried + CHAMFER_FACE;
        // On a tie both give the same magnitude; only the colour cares
        // which one wins.
        carried = along < best[x] ? along : best[x];
        carried_colour = select_colour(along, beaten[x], carried_colour, best_colour[x]);
        magnitude[x] = static_cast<int16_t>(carried);
        colour[x] = carried_colour;
    }
}

#if KESTRANE_ROW_SCAN_AVX512

// The magnitudes are a running minimum of best[j] + 22 |x - j|, and each
// voxel's colour is that of the last voxel before it (in visiting order)
// whose own best was kept: both are prefix scans, done 32 voxels at a time
// with log-step shifts across the lanes. Saturating adds keep the shifted-in
// fill (32767) above every real candidate, which never exceeds 32751.

#define KESTRANE_AVX512 __attribute__((target("avx512f,avx512bw")))

// Moves every 16-bit lane `Lanes` places along the visiting direction,
// filling the lanes left empty from `fill`. Even counts move whole 32-bit
// pairs, which is cheaper than a word permute.
template <bool Forward, int Lanes>
KESTRANE_AVX512 inline __m512i shift_lanes(__m512i v, __m512i fill)
{
    static_assert(Lanes % 2 == 0 && Lanes >= 2 && Lanes <= 16, "whole 32-bit pairs");
    if constexpr (Forward) return _mm512_alignr_epi32(v, fill, 16 - Lanes / 2);
    else return _mm512_alignr_epi32(fill, v, Lanes / 2);
}

template <bool Forward>
KESTRANE_AVX512 inline __m512i shift_one_lane(__m512i v, __m512i fill)
{
    const __m512i lane = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                          14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    if constexpr (Forward)
        return _mm512_mask_permutexvar_epi16(fill, 0xfffffffeu, _mm512_sub_epi16(lane, _mm512_set1_epi16(1)), v);
    else
        return _mm512_mask_permutexvar_epi16(fill, 0x7fffffffu, _mm512_add_epi16(lane, _mm512_set1_epi16(1)), v);
}

// Running minimum of v[j] + 22 (distance from j), within the block.
template <bool Forward>
KESTRANE_AVX512 inline __m512i spread_minimum(__m512i m)
{
    const __m512i far = _mm512_set1_epi16(32767);
    m = _mm512_min_epi16(m, _mm512_adds_epi16(shift_one_lane<Forward>(m, far), _mm512_set1_epi16(CHAMFER_FACE)));
    m = _mm512_min_epi16(m, _mm512_adds_epi16(shift_lanes<Forward, 2>(m, far), _mm512_set1_epi16(2 * CHAMFER_FACE)));
    m = _mm512_min_epi16(m, _mm512_adds_epi16(shift_lanes<Forward, 4>(m, far), _mm512_set1_epi16(4 * CHAMFER_FACE)));
    m = _mm512_min_epi16(m, _mm512_adds_epi16(shift_lanes<Forward, 8>(m, far), _mm512_set1_epi16(8 * CHAMFER_FACE)));
    m = _mm512_min_epi16(m, _mm512_adds_epi16(shift_lanes<Forward, 16>(m, far), _mm512_set1_epi16(16 * CHAMFER_FACE)));
    return m;
}

// Running maximum (ascending) or minimum (descending) of positions.
template <bool Forward>
KESTRANE_AVX512 inline __m512i keep(__m512i a, __m512i b)
{
    if constexpr (Forward) return _mm512_max_epi16(a, b);
    else return _mm512_min_epi16(a, b);
}

template <bool Forward>
KESTRANE_AVX512 inline __m512i spread_position(__m512i p, __m512i fill)
{
    p = keep<Forward>(p, shift_one_lane<Forward>(p, fill));
    p = keep<Forward>(p, shift_lanes<Forward, 2>(p, fill));
    p = keep<Forward>(p, shift_lanes<Forward, 4>(p, fill));
    p = keep<Forward>(p, shift_lanes<Forward, 8>(p, fill));
    p = keep<Forward>(p, shift_lanes<Forward, 16>(p, fill));
    return p;
}

template <bool Forward>
KESTRANE_AVX512 void scan_row_avx512(const int16_t* best, const int16_t* beaten, const uint32_t* best_colour,
                                     int nx, int carried, uint32_t carried_colour_value, int16_t* magnitude,
                                     uint32_t* colour)
{
    const __m512i lane = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                          14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    // Distance in voxels from the previous block's last voxel to each lane.
    const __m512i steps = Forward ? _mm512_add_epi16(lane, _mm512_set1_epi16(1))
                                  : _mm512_sub_epi16(_mm512_set1_epi16(32), lane);
    const __m512i carry_ramp = _mm512_mullo_epi16(steps, _mm512_set1_epi16(CHAMFER_FACE));
    const __m512i last_lane = _mm512_set1_epi16(Forward ? 31 : 0);
    const __m512i last_colour_lane = _mm512_set1_epi32(Forward ? 15 : 0);
    const __m512i face = _mm512_set1_epi16(CHAMFER_FACE);
    const __m512i sentinel = _mm512_set1_epi16(static_cast<int16_t>(Forward ? 0 : nx - 1));

    __m512i carried_magnitude = _mm512_set1_epi16(static_cast<int16_t>(carried));
    __m512i carried_source = sentinel;
    __m512i carried_colour = _mm512_set1_epi32(static_cast<int>(carried_colour_value));
    const int blocks = (nx - 2 + 31) / 32;
    for (int b = 0; b < blocks; ++b) {
        // Lane i is position base + i; lanes outside 1 .. nx-2 are masked.
        // A carried-in magnitude and colour stand for the voxels before.
        int base = Forward ? 1 + 32 * b : nx - 2 - 31 - 32 * b;
        __mmask32 valid = 0xffffffffu;
        if (base < 1) valid &= 0xffffffffu << (1 - base);
        if (base + 31 > nx - 2) valid &= 0xffffffffu >> (base + 31 - (nx - 2));

        __m512i m = spread_minimum<Forward>(_mm512_maskz_loadu_epi16(valid, best + base));
        m = _mm512_min_epi16(m, _mm512_adds_epi16(carried_magnitude, carry_ramp));

        // Who wins at each voxel depends on the voxel before it.
        __m512i previous = shift_one_lane<Forward>(m, carried_magnitude);
        __m512i bt = _mm512_maskz_loadu_epi16(valid, beaten + base);
        __mmask32 along_wins = _mm512_mask_cmplt_epi16_mask(valid, _mm512_adds_epi16(previous, face), bt);

        // The last voxel that kept its own candidate, or the sentinel.
        __m512i position = _mm512_add_epi16(lane, _mm512_set1_epi16(static_cast<int16_t>(base)));
        __m512i src = spread_position<Forward>(_mm512_mask_blend_epi16(along_wins, position, sentinel), sentinel);
        src = keep<Forward>(src, carried_source);

        // The colour of a position inside this block comes from the block's
        // own colours; one before it is the colour carried in.
        __m512i offset = _mm512_sub_epi16(src, _mm512_set1_epi16(static_cast<int16_t>(base)));
        __mmask32 inside = Forward ? _mm512_cmpge_epi16_mask(offset, _mm512_setzero_si512())
                                   : _mm512_cmple_epi16_mask(offset, _mm512_set1_epi16(31));
        __m512i own_low = _mm512_loadu_si512(best_colour + base);
        __m512i own_high = _mm512_loadu_si512(best_colour + base + 16);
        __m512i index_low = _mm512_cvtepi16_epi32(_mm512_castsi512_si256(offset));
        __m512i index_high = _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(offset, 1));
        __m512i colour_low = _mm512_permutex2var_epi32(own_low, index_low, own_high);
        __m512i colour_high = _mm512_permutex2var_epi32(own_low, index_high, own_high);
        colour_low = _mm512_mask_blend_epi32(static_cast<__mmask16>(inside), carried_colour, colour_low);
        colour_high = _mm512_mask_blend_epi32(static_cast<__mmask16>(inside >> 16), carried_colour, colour_high);

        // Whole stores where possible: later reads wait on masked ones.
        if (valid == 0xffffffffu) {
            _mm512_storeu_si512(magnitude + base, m);
            _mm512_storeu_si512(colour + base, colour_low);
            _mm512_storeu_si512(colour + base + 16, colour_high);
        } else {
            _mm512_mask_storeu_epi16(magnitude + base, valid, m);
            _mm512_mask_storeu_epi32(colour + base, static_cast<__mmask16>(valid), colour_low);
            _mm512_mask_storeu_epi32(colour + base + 16, static_cast<__mmask16>(valid >> 16), colour_high);
        }
        carried_magnitude = _mm512_permutexvar_epi16(last_lane, m);
        carried_source = _mm512_permutexvar_epi16(last_lane, src);
        carried_colour = _mm512_permutexvar_epi32(last_colour_lane, Forward ? colour_high : colour_low);
    }
}

bool has_avx512()
{
    static const bool present = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return present;
}

#endif

}  // namespace

void scan_row(const int16_t* best, const int16_t* beaten, const uint32_t* best_colour, int nx, int direction,
              int first_magnitude, uint32_t first_colour, int16_t* magnitude, uint32_t* colour, bool allow_vector)
{
#if KESTRANE_ROW_SCAN_AVX512
    if (allow_vector && has_avx512()) {
        if (direction > 0)
            scan_row_avx512<true>(best, beaten, best_colour, nx, first_magnitude, first_colour, magnitude, colour);
        else
            scan_row_avx512<false>(best, beaten, best_colour, nx, first_magnitude, first_colour, magnitude, colour);
        return;
    }
#endif
    scan_row_plain(best, beaten, best_colour, nx, direction, first_magnitude, first_colour, magnitude, colour);
}

}  // namespace kestrane
