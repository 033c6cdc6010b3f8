#include "surface/crossing_bits.h"

#include <algorithm>

#include "base/parallel.h"
#include "surface/lattice_tables.h"

namespace kestrane {
namespace {

// The rows of a lattice and their slots: row (j, k) holds the points
// i = 2 s + p, p = (j + k) & 1.
struct Rows {
    int lx, ly, lz, half, words;
    explicit Rows(const FrameValues& v) : lx(v.lx), ly(v.ly), lz(v.lz), half(v.half), words((v.half + 63) / 64) {}
    size_t row(int j, int k) const { return static_cast<size_t>(k) * ly + j; }
    int count(int parity) const { return (lx - parity + 1) / 2; }
    bool border_row(int j, int k) const { return j <= 1 || j >= ly - 2 || k == 0 || k == lz - 1; }
};

// Bits s < count.
std::vector<uint64_t> first_bits(int count, int words)
{
    std::vector<uint64_t> out(static_cast<size_t>(words), 0);
    for (int s = 0; s < count; ++s) out[static_cast<size_t>(s / 64)] |= uint64_t(1) << (s & 63);
    return out;
}

// Word x of the row whose bit s is bit s + delta of a (delta -1, 0 or 1);
// bits from beyond the row read 0.
inline uint64_t shifted(const uint64_t* a, int x, int words, int delta)
{
    if (delta == 0) return a[x];
    if (delta > 0) return (a[x] >> 1) | (x + 1 < words ? a[x + 1] << 63 : 0);
    return (a[x] << 1) | (x > 0 ? a[x - 1] >> 63 : 0);
}

// The slot shift of the neighbour in direction d for a row of parity p.
inline int slot_shift(int parity, const LatticeOffset& o)
{
    const int i = parity + o.di;  // -1 .. 2
    return i < 0 ? -1 : i / 2;
}

// The sign bits of the four values a row of a block holds: bit b is v[b] < 0.
inline uint64_t negative_bits4(const int16_t* v)
{
    return uint64_t(v[0] < 0) | uint64_t(v[1] < 0) << 1 | uint64_t(v[2] < 0) << 2 | uint64_t(v[3] < 0) << 3;
}

// Row (j, k) of the outside points: below zero, or on the border.
void outside_row(const FrameValues& values, const Rows& r, int j, int k, uint64_t* out)
{
    const int parity = (j + k) & 1, count = r.count(parity);
    std::fill(out, out + r.words, 0);
    if (r.border_row(j, k)) {
        for (int s = 0; s < count; ++s) out[s / 64] |= uint64_t(1) << (s & 63);
        return;
    }
    // Slot s lies in block s / 4 along x, at entry s % 4 of the block's row.
    static_assert(VALUE_BLOCK == 8, "four slots a block's row");
    const size_t first = (static_cast<size_t>(k / VALUE_BLOCK) * values.by + j / VALUE_BLOCK) * values.bx;
    const int entry = block_entry(0, j, k);
    for (long x = 0; x < values.bx; ++x) {
        const int16_t* page = values.value_blocks[first + static_cast<size_t>(x)].get();
        const uint64_t bits = page ? negative_bits4(page + entry) : values.block_sign[first + x] < 0 ? 0xF : 0;
        out[x / 16] |= bits << (x % 16 * 4);
    }
    // The last block's entries beyond the row.
    for (int x = count / 64; x < r.words; ++x) out[x] &= x == count / 64 ? (uint64_t(1) << (count % 64)) - 1 : 0;
    if (parity == 0) out[0] |= 1;  // i = 0
    if ((r.lx - 1 - parity) % 2 == 0 && r.lx - 1 >= parity) {
        const int last = (r.lx - 1 - parity) / 2;
        out[last / 64] |= uint64_t(1) << (last & 63);
    }
}

// ORs a row's bits into the lattice's bitset at the row's first slot; the
// words at either end may be shared with other threads' rows.
void store_row(std::vector<uint64_t>& bitset, size_t first_slot, const uint64_t* row, int words)
{
    const unsigned offset = static_cast<unsigned>(first_slot & 63);
    const size_t word = first_slot >> 6;
    for (int x = 0; x < words; ++x) {
        if (!row[x]) continue;
        const size_t at = word + static_cast<size_t>(x);
        __atomic_fetch_or(&bitset[at], row[x] << offset, __ATOMIC_RELAXED);
        if (offset && at + 1 < bitset.size())
            __atomic_fetch_or(&bitset[at + 1], row[x] >> (64 - offset), __ATOMIC_RELAXED);
    }
}

}  // namespace

void find_crossings(FrameValues& values, int threads, RowBits* near)
{
    const Rows r(values);
    const size_t rows = static_cast<size_t>(r.ly) * r.lz, words = static_cast<size_t>(r.words);
    std::vector<uint64_t> outside(rows * words), crossing(rows * words);
    const std::vector<uint64_t> valid[2] = {first_bits(r.count(0), r.words), first_bits(r.count(1), r.words)};
    parallel_for(r.lz, threads, [&](long k, int) {
        for (int j = 0; j < r.ly; ++j)
            outside_row(values, r, j, static_cast<int>(k), &outside[r.row(j, static_cast<int>(k)) * words]);
    });
    // A point crosses where a neighbour inside the lattice is on the other
    // side; then it is near, and so are its neighbours.
    auto neighbours = [&](int j, int k, const auto& visit) {
        const int parity = (j + k) & 1;
        for (const LatticeOffset& o : DIRECTION_OFFSET) {
            const int jn = j + o.dj, kn = k + o.dk;
            if (jn < 0 || jn >= r.ly || kn < 0 || kn >= r.lz) continue;
            visit(r.row(jn, kn) * words, slot_shift(parity, o), (jn + kn) & 1);
        }
    };
    parallel_for(r.lz, threads, [&](long kk, int) {
        const int k = static_cast<int>(kk);
        for (int j = 0; j < r.ly; ++j) {
            const size_t at = r.row(j, k) * words;
            uint64_t* out = &crossing[at];
            const uint64_t* own = &outside[at];
            neighbours(j, k, [&](size_t other, int delta, int parity) {
                for (int x = 0; x < r.words; ++x)
                    out[x] |= (own[x] ^ shifted(&outside[other], x, r.words, delta)) &
                              shifted(valid[parity].data(), x, r.words, delta);
            });
            const uint64_t* mine = valid[(j + k) & 1].data();
            for (int x = 0; x < r.words; ++x) out[x] &= mine[x];
            store_row(values.crossing, r.row(j, k) * static_cast<size_t>(r.half), out, r.words);
        }
    });
    near->words_per_row = r.words;
    near->bits = std::move(outside);  // read no more: its room holds the near points
    parallel_for(r.lz, threads, [&](long kk, int) {
        const int k = static_cast<int>(kk);
        for (int j = 0; j < r.ly; ++j) {
            const size_t at = r.row(j, k) * words;
            uint64_t* out = &near->bits[at];
            for (int x = 0; x < r.words; ++x) out[x] = crossing[at + static_cast<size_t>(x)];
            neighbours(j, k, [&](size_t other, int delta, int) {
                for (int x = 0; x < r.words; ++x) out[x] |= shifted(&crossing[other], x, r.words, delta);
            });
            const uint64_t* mine = valid[(j + k) & 1].data();
            for (int x = 0; x < r.words; ++x) out[x] &= mine[x];
        }
    });
}

void find_crossings_direct(FrameValues& values, RowBits* near)
{
    const int lx = values.lx, ly = values.ly, lz = values.lz;
    auto inside_lattice = [&](int i, int j, int k) {
        return i >= 0 && i < lx && j >= 0 && j < ly && k >= 0 && k < lz;
    };
    auto outside = [&](int i, int j, int k) {
        const bool border = i == 0 || i == lx - 1 || j <= 1 || j >= ly - 2 || k == 0 || k == lz - 1;
        return border || value_at(values, i, j, k) < 0;
    };
    for (int k = 0; k < lz; ++k)
        for (int j = 0; j < ly; ++j)
            for (int i = (j + k) & 1; i < lx; i += 2) {
                const bool side = outside(i, j, k);
                bool crosses = false;
                for (const LatticeOffset& o : DIRECTION_OFFSET)
                    if (inside_lattice(i + o.di, j + o.dj, k + o.dk) && outside(i + o.di, j + o.dj, k + o.dk) != side)
                        crosses = true;
                const size_t at = values.index(i, j, k);
                if (crosses) values.crossing[at >> 6] |= uint64_t(1) << (at & 63);
            }
    const int words = (values.half + 63) / 64;
    near->words_per_row = words;
    near->bits.assign(static_cast<size_t>(ly) * lz * static_cast<size_t>(words), 0);
    for (int k = 0; k < lz; ++k)
        for (int j = 0; j < ly; ++j)
            for (int i = (j + k) & 1; i < lx; i += 2) {
                bool any = point_crosses(values, i, j, k);
                for (const LatticeOffset& o : DIRECTION_OFFSET)
                    if (inside_lattice(i + o.di, j + o.dj, k + o.dk) && point_crosses(values, i + o.di, j + o.dj, k + o.dk))
                        any = true;
                if (!any) continue;
                const size_t row = static_cast<size_t>(k) * ly + j;
                near->bits[row * static_cast<size_t>(words) + static_cast<size_t>(i / 2 / 64)] |= uint64_t(1)
                                                                                                   << (i / 2 & 63);
            }
}

}  // namespace kestrane
