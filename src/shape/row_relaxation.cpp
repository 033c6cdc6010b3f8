#include "shape/row_relaxation.h"

#include <cstdint>

namespace kestrane {
// Built for several instruction sets; the loader picks the widest the
// processor has. The sanitizer runtimes are not ready when the loader runs
// the clone resolvers, so sanitized builds keep one plain version; clang
// (14) emits no resolver that callers in other files can link against, so
// its builds keep one version too.
#if defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KESTRANE_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define KESTRANE_VECTOR_CLONES
#endif

namespace {
// A voxel is three 16-bit words: distance, colour low half, colour high half.
typedef uint16_t __attribute__((may_alias)) VoxelWord;
}  // namespace

KESTRANE_VECTOR_CLONES
bool unpack_row(const Voxel* row, int count, int16_t* __restrict distance, uint32_t* __restrict colour)
{
    const VoxelWord* __restrict w = reinterpret_cast<const VoxelWord*>(row);
    int unsafe = 0;
    for (int x = 0; x < count; ++x) {
        int16_t d = static_cast<int16_t>(w[3 * x]);
        unsafe |= (d < -SAFE_MAGNITUDE) | (d > SAFE_MAGNITUDE);
        distance[x] = d;
        colour[x] = w[3 * x + 1] | static_cast<uint32_t>(w[3 * x + 2]) << 16;
    }
    return unsafe == 0;
}

KESTRANE_VECTOR_CLONES
void pack_row(Voxel* row, int first, int last, const int16_t* __restrict old_distance,
              const int16_t* __restrict magnitude, const uint32_t* __restrict colour)
{
    VoxelWord* __restrict w = reinterpret_cast<VoxelWord*>(row);
    for (int x = first; x < last; ++x) {
        int16_t d = old_distance[x] > 0 ? magnitude[x] : static_cast<int16_t>(-magnitude[x]);
        w[3 * x] = static_cast<uint16_t>(d);
        w[3 * x + 1] = static_cast<uint16_t>(colour[x]);
        w[3 * x + 2] = static_cast<uint16_t>(colour[x] >> 16);
    }
}

KESTRANE_VECTOR_CLONES
void best_of_rows(const int16_t* raw, const uint32_t* raw_colour, const int16_t* const* rows,
                  const uint32_t* const* colours, int first, int last, int16_t* best, int16_t* beaten,
                  uint32_t* colour)
{
    const int16_t *p0 = rows[0], *p1 = rows[1], *p2 = rows[2], *p3 = rows[3], *p4 = rows[4], *p5 = rows[5],
                  *p6 = rows[6], *p7 = rows[7], *p8 = rows[8], *p9 = rows[9], *p10 = rows[10], *p11 = rows[11];
    const uint32_t *q0 = colours[0], *q1 = colours[1], *q2 = colours[2], *q3 = colours[3], *q4 = colours[4],
                   *q5 = colours[5], *q6 = colours[6], *q7 = colours[7], *q8 = colours[8], *q9 = colours[9],
                   *q10 = colours[10], *q11 = colours[11];
    // Whole blocks, so that no scalar remainder loop runs; the buffers have
    // room for the overrun. The outputs never overlap the rows read.
    for (int block = first; block < last; block += ROW_BLOCK)
#if defined(__clang__)
#pragma clang loop vectorize(assume_safety)
#else
#pragma GCC ivdep
#endif
        for (int x = block; x < block + ROW_BLOCK; ++x) {
            const int16_t own = static_cast<int16_t>(raw[x] < 0 ? -raw[x] : raw[x]);
            int16_t b = own;
            uint32_t c = raw_colour[x];
            int16_t v;
#define KESTRANE_OFFER(p, q, weight)           \
    v = static_cast<int16_t>(p[x] + (weight)); \
    c = v < b ? q[x] : c;                      \
    b = v < b ? v : b;
            KESTRANE_OFFER(p0, q0, CHAMFER_FACE)
            KESTRANE_OFFER(p1, q1, CHAMFER_FACE)
            KESTRANE_OFFER(p2, q2, CHAMFER_EDGE)
            KESTRANE_OFFER(p3, q3, CHAMFER_EDGE)
            KESTRANE_OFFER(p4, q4, CHAMFER_EDGE)
            KESTRANE_OFFER(p5, q5, CHAMFER_EDGE)
            KESTRANE_OFFER(p6, q6, CHAMFER_EDGE)
            KESTRANE_OFFER(p7, q7, CHAMFER_EDGE)
            KESTRANE_OFFER(p8, q8, CHAMFER_CORNER)
            KESTRANE_OFFER(p9, q9, CHAMFER_CORNER)
            KESTRANE_OFFER(p10, q10, CHAMFER_CORNER)
            KESTRANE_OFFER(p11, q11, CHAMFER_CORNER)
#undef KESTRANE_OFFER
            best[x] = b;
            // Only strictly smaller candidates replace, so a neighbour won
            // exactly when the best is below the voxel's own value.
            beaten[x] = static_cast<int16_t>(b + (b < own));
            colour[x] = c;
        }
}

}  // namespace kestrane
