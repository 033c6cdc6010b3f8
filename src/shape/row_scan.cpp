#include "shape/row_scan.h"

#include "shape/distance_transform.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define KESTRANE_ROW_SCAN_AVX512 1
// The compiler's own intrinsics start some vectors undefined on purpose.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

bool vector_allowed = true;

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
__attribute__((target("avx512f,avx512bw"))) void scan_row_avx512(const int16_t* best, const int16_t* beaten,
                                                                  const uint32_t* best_colour, int nx,
                                                                  int direction, int carried,
                                                                  uint32_t carried_colour_value,
                                                                  int16_t* magnitude, uint32_t* colour)
{
    const __m512i lane = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                          14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i far = _mm512_set1_epi16(32767);
    const int forward = direction > 0;
    // Shifting by s lanes towards the visiting direction: lane i takes lane
    // i - s (ascending) or i + s (descending); the rest take a fill.
    __m512i shift_index[5];
    __mmask32 shift_mask[5];
    for (int k = 0; k < 5; ++k) {
        int s = 1 << k;
        shift_index[k] = forward ? _mm512_sub_epi16(lane, _mm512_set1_epi16(static_cast<int16_t>(s)))
                                 : _mm512_add_epi16(lane, _mm512_set1_epi16(static_cast<int16_t>(s)));
        shift_mask[k] = forward ? static_cast<__mmask32>(0xffffffffu << s) : static_cast<__mmask32>(0xffffffffu >> s);
    }
    // Distance in voxels from the previous block's last voxel to each lane.
    const __m512i steps = forward ? _mm512_add_epi16(lane, _mm512_set1_epi16(1))
                                  : _mm512_sub_epi16(_mm512_set1_epi16(32), lane);
    const __m512i carry_ramp = _mm512_mullo_epi16(steps, _mm512_set1_epi16(CHAMFER_FACE));
    const __m512i last_lane = _mm512_set1_epi16(forward ? 31 : 0);
    const __m512i face = _mm512_set1_epi16(CHAMFER_FACE);
    const int16_t sentinel = static_cast<int16_t>(forward ? 0 : nx - 1);

    __m512i carried_magnitude = _mm512_set1_epi16(static_cast<int16_t>(carried));
    __m512i carried_source = _mm512_set1_epi16(sentinel);
    __m512i carried_colour = _mm512_set1_epi32(static_cast<int>(carried_colour_value));
    const __m512i last_colour_lane = _mm512_set1_epi32(forward ? 15 : 0);
    const int blocks = (nx - 2 + 31) / 32;
    for (int b = 0; b < blocks; ++b) {
        // Lane i is position base + i; lanes outside 1 .. nx-2 are masked.
        // A carried-in magnitude and colour stand for the voxels before.
        int base = forward ? 1 + 32 * b : nx - 2 - 31 - 32 * b;
        __mmask32 valid = 0xffffffffu;
        if (base < 1) valid &= 0xffffffffu << (1 - base);
        if (base + 31 > nx - 2) valid &= 0xffffffffu >> (base + 31 - (nx - 2));

        __m512i m = _mm512_maskz_loadu_epi16(valid, best + base);
        for (int k = 0; k < 5; ++k) {
            __m512i t = _mm512_mask_permutexvar_epi16(far, shift_mask[k], shift_index[k], m);
            t = _mm512_adds_epi16(t, _mm512_set1_epi16(static_cast<int16_t>(CHAMFER_FACE << k)));
            m = _mm512_min_epi16(m, t);
        }
        m = _mm512_min_epi16(m, _mm512_adds_epi16(carried_magnitude, carry_ramp));

        // Who wins at each voxel depends on the voxel before it.
        __m512i previous = _mm512_mask_permutexvar_epi16(carried_magnitude, shift_mask[0], shift_index[0], m);
        __m512i bt = _mm512_maskz_loadu_epi16(valid, beaten + base);
        __mmask32 along_wins = _mm512_mask_cmplt_epi16_mask(valid, _mm512_adds_epi16(previous, face), bt);

        // The last voxel that kept its own candidate, or the sentinel.
        __m512i position = _mm512_add_epi16(lane, _mm512_set1_epi16(static_cast<int16_t>(base)));
        __m512i fill = _mm512_set1_epi16(sentinel);
        __m512i src = _mm512_mask_blend_epi16(along_wins, position, fill);
        for (int k = 0; k < 5; ++k) {
            __m512i t = _mm512_mask_permutexvar_epi16(fill, shift_mask[k], shift_index[k], src);
            src = forward ? _mm512_max_epi16(src, t) : _mm512_min_epi16(src, t);
        }
        src = forward ? _mm512_max_epi16(src, carried_source) : _mm512_min_epi16(src, carried_source);

        // The colour of a position inside this block comes from the block's
        // own colours; one before it is the colour carried in.
        __m512i offset = _mm512_sub_epi16(src, _mm512_set1_epi16(static_cast<int16_t>(base)));
        __mmask32 inside = forward ? _mm512_cmpge_epi16_mask(offset, _mm512_setzero_si512())
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
        carried_colour = _mm512_permutexvar_epi32(last_colour_lane, forward ? colour_high : colour_low);
    }
}

bool has_avx512()
{
    static const bool present = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return present;
}

#endif

}  // namespace

bool allow_vector_row_scan(bool allow)
{
    bool previous = vector_allowed;
    vector_allowed = allow;
    return previous;
}

void scan_row(const int16_t* best, const int16_t* beaten, const uint32_t* best_colour, int nx, int direction,
              int first_magnitude, uint32_t first_colour, int16_t* magnitude, uint32_t* colour)
{
#if KESTRANE_ROW_SCAN_AVX512
    if (vector_allowed && has_avx512()) {
        scan_row_avx512(best, beaten, best_colour, nx, direction, first_magnitude, first_colour, magnitude, colour);
        return;
    }
#endif
    scan_row_plain(best, beaten, best_colour, nx, direction, first_magnitude, first_colour, magnitude, colour);
}
