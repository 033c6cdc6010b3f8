#include "shape/field_summary.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "shape/field_value.h"

namespace kestrane {
namespace {

// A query reads voxels directly up to this many a side, and beyond that
// the finest blocks of which it reads at most this many a side.
constexpr int MOST_PER_AXIS = 8;

size_t at(const int dims[3], int x, int y, int z)
{
    return (static_cast<size_t>(z) * dims[1] + y) * dims[0] + x;
}

// Voxel index range that trilinear reads at positions lo .. hi touch,
// clipped to the grid: a read at a uses voxels trunc(a) and trunc(a) + 1.
void voxel_span(double lo, double hi, int n, int& first, int& last)
{
    first = static_cast<int>(std::floor(std::max(lo, 0.0)));
    last = static_cast<int>(std::floor(std::min(hi, n - 1.0))) + 1;
    first = std::min(std::max(first, 0), n - 1);
    last = std::min(std::max(last, 0), n - 1);
}

// Bounds of `count` blocks that nothing has been seen in yet.
std::vector<int16_t> empty_bounds(size_t count)
{
    std::vector<int16_t> bounds(2 * count);
    for (size_t b = 0; b < count; ++b) {
        bounds[2 * b] = 32767;
        bounds[2 * b + 1] = -32768;
    }
    return bounds;
}

FieldLevel halve(const FieldLevel& finer)
{
    const int* finer_blocks = finer.blocks;
    FieldLevel level;
    level.size = finer.size * 2;
    for (int a = 0; a < 3; ++a) level.blocks[a] = (finer_blocks[a] + 1) / 2;
    const size_t count = static_cast<size_t>(level.blocks[0]) * level.blocks[1] * level.blocks[2];
    level.bounds = empty_bounds(count);
    for (int z = 0; z < finer_blocks[2]; ++z)
        for (int y = 0; y < finer_blocks[1]; ++y)
            for (int x = 0; x < finer_blocks[0]; ++x) {
                const size_t from = at(finer_blocks, x, y, z), to = at(level.blocks, x / 2, y / 2, z / 2);
                level.bounds[2 * to] = std::min(level.bounds[2 * to], finer.data()[2 * from]);
                level.bounds[2 * to + 1] = std::max(level.bounds[2 * to + 1], finer.data()[2 * from + 1]);
            }
    return level;
}

// Least and greatest voxel over voxels [first, last] on every axis.
void cover(const FieldSummary& s, const int first[3], const int last[3], int& lo, int& hi)
{
    lo = 32767;
    hi = -32768;
    int span = 0;
    for (int a = 0; a < 3; ++a) span = std::max(span, last[a] - first[a] + 1);
    // Tiled distances read a box twice as wide directly: most of its tiles
    // whole, by their ranges.
    const int direct = s.field.tiles() ? 2 * MOST_PER_AXIS : MOST_PER_AXIS;
    if (span <= direct || s.levels.empty()) {
        const FieldRange r = voxel_range(s.field, first, last);
        lo = r.lo;
        hi = r.hi;
        return;
    }
    // The finest level at which the box spans few blocks.
    size_t l = 0;
    while (l + 1 < s.levels.size() && (span + s.levels[l].size - 1) / s.levels[l].size + 1 > MOST_PER_AXIS) ++l;
    const FieldLevel& level = s.levels[l];
    int b0[3], b1[3];
    for (int a = 0; a < 3; ++a) {
        b0[a] = first[a] / level.size;
        b1[a] = last[a] / level.size;
    }
    const FieldRange r = block_range(level, b0, b1);
    lo = r.lo;
    hi = r.hi;
}

// Where a box of voxels crosses the tiles along one axis: per tile, the
// box's first and last voxel within it.
struct TileSpan {
    int tile, lo, hi;
    bool whole() const { return lo == 0 && hi == DISTANCE_TILE - 1; }
};
constexpr int MOST_TILE_SPANS = 5;  // a box of up to 16 voxels a side crosses at most 5 tiles
int tile_spans(int first, int last, TileSpan spans[MOST_TILE_SPANS])
{
    int n = 0;
    for (int t = first / DISTANCE_TILE; t <= last / DISTANCE_TILE; ++t) {
        const int base = t * DISTANCE_TILE;
        spans[n++] = {t, std::max(first, base) - base, std::min(last, base + DISTANCE_TILE - 1) - base};
    }
    return n;
}

#if defined(__SSE2__)
// The least of lo and least's lanes, the greatest of hi and greatest's.
FieldRange lanes_range(__m128i least, __m128i greatest, int lo, int hi)
{
    alignas(16) int16_t l[8], g[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(l), least);
    _mm_store_si128(reinterpret_cast<__m128i*>(g), greatest);
    for (int lane = 0; lane < 8; ++lane) {
        lo = std::min<int>(lo, l[lane]);
        hi = std::max<int>(hi, g[lane]);
    }
    return {lo, hi};
}
#endif

// voxel_range over tiled distances: a tile the box holds whole gives its
// range, others the least and greatest of their offsets within the box.
FieldRange tiled_range(const FieldView& f, const int first[3], const int last[3])
{
#if !defined(__SSE2__)
    return voxel_range_direct(f, first, last);
#else
    // A few voxels (as a point's moved box reads) are cheaper one by one,
    // and a box wider than the spans hold is read so too.
    const int side[3] = {last[0] - first[0] + 1, last[1] - first[1] + 1, last[2] - first[2] + 1};
    if (side[0] * side[1] * side[2] <= 8 || std::max({side[0], side[1], side[2]}) > 16)
        return voxel_range_direct(f, first, last);
    const TiledDistances& t = f.tiled;
    int lo = 32767, hi = -32768;
    TileSpan spans[3][MOST_TILE_SPANS];
    int count[3];
    for (int a = 0; a < 3; ++a) count[a] = tile_spans(first[a], last[a], spans[a]);
    static_assert(DISTANCE_TILE == 4, "a slice of a tile is one 16-byte read");
    // Lane l of a slice's read is voxel (l % 4, l / 4) of the slice.
    const __m128i xs = _mm_setr_epi8(0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3);
    const __m128i ys = _mm_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    auto within = [](__m128i v, const TileSpan& s) {
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(s.lo - 1))),
                             _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(s.hi + 1))));
    };
    const __m128i all = _mm_set1_epi8(static_cast<char>(0xff));
    // Least and greatest distances over the partial tiles, in 16-bit lanes:
    // a tile's lanes outside the box read as its least distance plus 255
    // (for the least) and as its least (for the greatest), neither beyond
    // what the tile's own voxels in the box give.
    __m128i least = _mm_set1_epi16(32767), greatest = _mm_set1_epi16(-32768);
    for (int y = 0; y < count[1]; ++y)
        for (int x = 0; x < count[0]; ++x) {
            const __m128i keep = _mm_and_si128(within(xs, spans[0][x]), within(ys, spans[1][y]));
            const __m128i drop = _mm_andnot_si128(keep, all);
            for (int z = 0; z < count[2]; ++z) {
                const TileSpan &sx = spans[0][x], &sy = spans[1][y], &sz = spans[2][z];
                const size_t tile = (static_cast<size_t>(sz.tile) * t.tiles_y + sy.tile) * t.tiles_x + sx.tile;
                const TileRange r = t.ranges[tile];
                if (sx.whole() && sy.whole() && sz.whole()) {
                    lo = std::min<int>(lo, r.lo);
                    hi = std::max<int>(hi, r.hi);
                    continue;
                }
                if (wide_tile(r)) {
                    for (int k = sz.lo; k <= sz.hi; ++k)
                        for (int j = sy.lo; j <= sy.hi; ++j)
                            for (int i = sx.lo; i <= sx.hi; ++i) {
                                const int d = t.wide_distance(tile, (k * DISTANCE_TILE + j) * DISTANCE_TILE + i);
                                lo = std::min(lo, d);
                                hi = std::max(hi, d);
                            }
                    continue;
                }
                const uint8_t* offsets = t.offsets + tile * DISTANCE_TILE_ENTRIES;
                __m128i small = all, large = _mm_setzero_si128();
                for (int k = sz.lo; k <= sz.hi; ++k) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + k * 16));
                    small = _mm_min_epu8(small, _mm_or_si128(v, drop));
                    large = _mm_max_epu8(large, _mm_and_si128(v, keep));
                }
                const __m128i base = _mm_set1_epi16(r.lo), zero = _mm_setzero_si128();
                least = _mm_min_epi16(least, _mm_adds_epi16(base, _mm_unpacklo_epi8(small, zero)));
                least = _mm_min_epi16(least, _mm_adds_epi16(base, _mm_unpackhi_epi8(small, zero)));
                greatest = _mm_max_epi16(greatest, _mm_adds_epi16(base, _mm_unpacklo_epi8(large, zero)));
                greatest = _mm_max_epi16(greatest, _mm_adds_epi16(base, _mm_unpackhi_epi8(large, zero)));
            }
        }
    return lanes_range(least, greatest, lo, hi);
#endif
}

}  // namespace

FieldRange block_range_direct(const FieldLevel& level, const int first[3], const int last[3])
{
    int lo = 32767, hi = -32768;
    for (int z = first[2]; z <= last[2]; ++z)
        for (int y = first[1]; y <= last[1]; ++y)
            for (int x = first[0]; x <= last[0]; ++x) {
                const size_t b = at(level.blocks, x, y, z);
                lo = std::min<int>(lo, level.data()[2 * b]);
                hi = std::max<int>(hi, level.data()[2 * b + 1]);
            }
    return {lo, hi};
}

FieldRange block_range(const FieldLevel& level, const int first[3], const int last[3])
{
#if defined(__SSE2__)
    // A row of up to 8 blocks is 8 pairs of (least, greatest): two 16-byte
    // reads, the least in the even lanes and the greatest in the odd ones,
    // the lanes beyond the row masked off. A read must stay within the
    // blocks (the last rows' may not: those go block by block).
    const int width = last[0] - first[0] + 1;
    if (width < 1 || width > 8 || last[1] < first[1] || last[2] < first[2]) return block_range_direct(level, first, last);
    const int16_t* data = level.data();
    const size_t end = 2 * level.count(), read = width > 4 ? 16 : 8;
    const __m128i lane = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    const __m128i even = _mm_cmpeq_epi16(_mm_and_si128(lane, _mm_set1_epi16(1)), _mm_setzero_si128());
    const __m128i pair = _mm_srli_epi16(lane, 1), blocks = _mm_set1_epi16(static_cast<short>(width));
    const __m128i kept[2] = {_mm_cmplt_epi16(pair, blocks), _mm_cmplt_epi16(_mm_add_epi16(pair, _mm_set1_epi16(4)), blocks)};
    __m128i least_of[2], greatest_of[2], top[2], bottom[2];
    for (int h = 0; h < 2; ++h) {
        least_of[h] = _mm_and_si128(kept[h], even);
        greatest_of[h] = _mm_andnot_si128(even, kept[h]);
        top[h] = _mm_andnot_si128(least_of[h], _mm_set1_epi16(32767));
        bottom[h] = _mm_andnot_si128(greatest_of[h], _mm_set1_epi16(-32768));
    }
    __m128i least = _mm_set1_epi16(32767), greatest = _mm_set1_epi16(-32768);
    int lo = 32767, hi = -32768;
    for (int z = first[2]; z <= last[2]; ++z)
        for (int y = first[1]; y <= last[1]; ++y) {
            size_t b = at(level.blocks, first[0], y, z);
            if (2 * b + read > end) {
                for (int x = first[0]; x <= last[0]; ++x, ++b) {
                    lo = std::min<int>(lo, data[2 * b]);
                    hi = std::max<int>(hi, data[2 * b + 1]);
                }
                continue;
            }
            for (size_t h = 0; h < read / 8; ++h) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * b + 8 * h));
                least = _mm_min_epi16(least, _mm_or_si128(_mm_and_si128(v, least_of[h]), top[h]));
                greatest = _mm_max_epi16(greatest, _mm_or_si128(_mm_and_si128(v, greatest_of[h]), bottom[h]));
            }
        }
    return lanes_range(least, greatest, lo, hi);
#else
    return block_range_direct(level, first, last);
#endif
}

FieldRange voxel_range_direct(const FieldView& f, const int first[3], const int last[3])
{
    int lo = 32767, hi = -32768;
    for (int z = first[2]; z <= last[2]; ++z)
        for (int y = first[1]; y <= last[1]; ++y)
            for (int x = first[0]; x <= last[0]; ++x) {
                const int d = f.distance_at(x, y, z);
                lo = std::min(lo, d);
                hi = std::max(hi, d);
            }
    return {lo, hi};
}

FieldRange voxel_range(const FieldView& f, const int first[3], const int last[3])
{
    if (f.tiles()) return tiled_range(f, first, last);
#if defined(__SSE2__)
    // Packed distances, rows of at most 8: one 16-byte read a row, the
    // lanes beyond the row masked off. The last row's read must stay
    // within the voxels.
    const int width = last[0] - first[0] + 1;
    const size_t dims[3] = {static_cast<size_t>(f.nx), static_cast<size_t>(f.ny), static_cast<size_t>(f.nz)};
    if (f.stride == sizeof(int16_t) && width >= 1 && width <= 8 && last[1] >= first[1] && last[2] >= first[2] &&
        (static_cast<size_t>(last[2]) * dims[1] + last[1]) * dims[0] + first[0] + 8 <= dims[0] * dims[1] * dims[2]) {
        const __m128i keep =
            _mm_cmplt_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), _mm_set1_epi16(static_cast<short>(width)));
        const __m128i top = _mm_andnot_si128(keep, _mm_set1_epi16(32767));
        const __m128i bottom = _mm_andnot_si128(keep, _mm_set1_epi16(-32768));
        __m128i least = _mm_set1_epi16(32767), greatest = _mm_set1_epi16(-32768);
        const int16_t* voxels = reinterpret_cast<const int16_t*>(f.distances);
        for (int z = first[2]; z <= last[2]; ++z)
            for (int y = first[1]; y <= last[1]; ++y) {
                const int16_t* row = voxels + (static_cast<size_t>(z) * dims[1] + y) * dims[0] + first[0];
                const __m128i v = _mm_and_si128(keep, _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
                least = _mm_min_epi16(least, _mm_or_si128(v, top));
                greatest = _mm_max_epi16(greatest, _mm_or_si128(v, bottom));
            }
        return lanes_range(least, greatest, 32767, -32768);
    }
#endif
    return voxel_range_direct(f, first, last);
}

namespace {

// A tiled field's summary: its tiles' ranges as the blocks of 4, and the
// greatest distance of the outer layers from those voxels alone.
void summarise_tiles(FieldSummary& s)
{
    const FieldView& field = s.field;
    static_assert(sizeof(TileRange) == 2 * sizeof(int16_t), "a tile's range is a level's pair of bounds");
    FieldLevel four;
    four.size = DISTANCE_TILE;
    four.blocks[0] = field.tiled.tiles_x, four.blocks[1] = field.tiled.tiles_y;
    four.blocks[2] = distance_tiles_along(field.nz);
    four.shared = reinterpret_cast<const int16_t*>(field.tiled.ranges);
    s.levels.push_back(std::move(four));
    s.shell_greatest = -32768;
    std::vector<int16_t> distances(static_cast<size_t>(field.nx));
    for (int z = 0; z < field.nz; ++z)
        for (int y = 0; y < field.ny; ++y) {
            if (y <= 2 || y >= field.ny - 3 || z <= 2 || z >= field.nz - 3) {
                field.tiled.row(y, z, field.nx, distances.data());
                for (int16_t d : distances) s.shell_greatest = std::max<int>(s.shell_greatest, d);
                continue;
            }
            for (int x : {0, 1, 2, field.nx - 3, field.nx - 2, field.nx - 1})
                s.shell_greatest = std::max<int>(s.shell_greatest, field.tiled.at(x, y, z));
        }
}

}  // namespace

FieldSummary summarise_field(const FieldView& field)
{
    FieldSummary s;
    s.field = field;
    s.usable = field.present() && field.nx >= 3 && field.ny >= 3 && field.nz >= 3;
    if (!s.usable) return s;
    if (field.tiles()) {
        summarise_tiles(s);
    } else {
        // Level 1 (blocks of 2) straight from the voxels, then halving.
        FieldLevel first;
        first.size = 2;
        const int dims[3] = {field.nx, field.ny, field.nz};
        for (int a = 0; a < 3; ++a) first.blocks[a] = (dims[a] + 1) / 2;
        first.bounds = empty_bounds(first.count());
        s.shell_greatest = -32768;
        for (int z = 0; z < field.nz; ++z)
            for (int y = 0; y < field.ny; ++y) {
                const size_t row = (static_cast<size_t>(z) * field.ny + y) * field.nx;
                const bool shell_row = y <= 2 || y >= field.ny - 3 || z <= 2 || z >= field.nz - 3;
                for (int x = 0; x < field.nx; ++x) {
                    const int16_t d = field.distance(row + x);
                    const size_t b = at(first.blocks, x / 2, y / 2, z / 2);
                    if (d < first.bounds[2 * b]) first.bounds[2 * b] = d;
                    if (d > first.bounds[2 * b + 1]) first.bounds[2 * b + 1] = d;
                    if ((shell_row || x <= 2 || x >= field.nx - 3) && d > s.shell_greatest) s.shell_greatest = d;
                }
            }
        s.levels.push_back(std::move(first));
    }
    while (s.levels.back().blocks[0] > 1 || s.levels.back().blocks[1] > 1 || s.levels.back().blocks[2] > 1) {
        const FieldLevel& finer = s.levels.back();
        FieldLevel next = halve(finer);
        s.levels.push_back(std::move(next));
    }
    return s;
}

const FieldLevel* blocks_of_four(const FieldSummary& summary)
{
    for (const FieldLevel& level : summary.levels)
        if (level.size == 4) return &level;
    return nullptr;
}

FieldRange distance_range(const FieldSummary& s, const PointBox& box)
{
    if (!s.usable) return {-FIELD_LIMIT, -FIELD_LIMIT};
    const int n[3] = {s.field.nx, s.field.ny, s.field.nz};
    bool inside = true, some_inside = true;
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(box.lo[a]) || !std::isfinite(box.hi[a])) return {-FIELD_LIMIT, FIELD_LIMIT};
        if (!(box.lo[a] >= 1.0 && box.hi[a] <= n[a] - 2.0)) inside = false;
        // The part of the box inside the inner box, read directly.
        const double lo = std::max(box.lo[a], 1.0), hi = std::min(box.hi[a], n[a] - 2.0);
        if (lo > hi) some_inside = false;
        voxel_span(lo, hi, n[a], first[a], last[a]);
    }
    int lo = 32767, hi = -32768;
    if (some_inside) cover(s, first, last, lo, hi);
    if (inside) return {field_value(4.0 * lo), field_value(4.0 * hi)};
    // A point outside reads the box's surface less a distance: never more
    // than the outer layers hold, and anything down to far outside.
    hi = std::max(hi, s.shell_greatest);
    return {-FIELD_LIMIT, field_value(4.0 * hi)};
}

}  // namespace kestrane
