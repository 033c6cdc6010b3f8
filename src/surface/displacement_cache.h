#pragma once
// The sphere displacements of lattice points, and the shifts of the boxes
// of points that bound them (morph_bounds.h), kept from one frame for the
// next. Without manual vectors a sphere-based morph moves a lattice point by
// the same displacement at every time between the ends (morph_batch.h), and
// consecutive frames need exact values at mostly the same points near the
// surface, so a sequence computes each point's displacement once: the
// costly part of an exact value (every linked sphere of both sides).
//
// Kept per block of VALUE_BLOCK lattice positions a side, a block made when
// a frame first keeps a point or a box inside it; a block's lock guards its
// points and boxes, so frames on several threads share the cache. A kept
// displacement is the very one computed, and a box's shift only decides
// which points are evaluated (never their values), so the frames are
// bit-identical with or without the cache, for any number of threads.
// Memory: 48 bytes a block of the lattice, and for a block made 48 bytes a
// kept point and about 1 KB; never more than the budget (beyond it points
// and boxes are computed and not kept).
//
// A cache holds for one lattice and one set of inputs (fields, spheres,
// shifts, links): whoever makes it drops it when any of them changes.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/vector3.h"
#include "shape/morph_bounds.h"
#include "surface/lattice_walk.h"

namespace kestrane {
constexpr int VALUE_BLOCK = 8;  // lattice positions per side of a block of values
constexpr int BLOCK_POINTS = VALUE_BLOCK * VALUE_BLOCK * VALUE_BLOCK / 2;
// The boxes a block is halved into: 8 halves.
constexpr int INNER_BOXES = 8;

struct DisplacementBlock {
    std::mutex lock;
    uint16_t entry[BLOCK_POINTS] = {};  // 0: not kept, else 1 + where in the arrays
    std::vector<Vector3> source, target;
    uint8_t box_kept[INNER_BOXES] = {};  // 1: from the box's bound, 2: from its points' displacements
    BoxShift box[INNER_BOXES];
};

struct DisplacementCache {
    int lx = 0, ly = 0, lz = 0, resolution = 0;
    long bx = 0, by = 0, bz = 0;
    int64_t budget = 0;
    std::atomic<int64_t> bytes{0};
    std::unique_ptr<std::atomic<DisplacementBlock*>[]> blocks;
    // The whole blocks' shifts: 0 not kept, 1 being written, 2 kept.
    std::unique_ptr<std::atomic<uint8_t>[]> shift_state;
    std::unique_ptr<BoxShift[]> shift;
    // The whole blocks' signs at every time between the ends (AllTimes).
    std::unique_ptr<std::atomic<uint8_t>[]> all_times;
    DisplacementCache() = default;
    DisplacementCache(const DisplacementCache&) = delete;
    DisplacementCache& operator=(const DisplacementCache&) = delete;
    ~DisplacementCache();
};

// A cache for frames over the lattice, holding at most budget bytes; null
// when even its table of blocks does not fit.
std::shared_ptr<DisplacementCache> make_displacement_cache(const LatticeField& lattice, int64_t budget);
// Whether the budget is spent (no room for another block).
bool cache_full(const DisplacementCache& cache);
// Whether block b has been made (it keeps points or boxes).
bool block_kept(const DisplacementCache& cache, long block);
// Whether the cache was made for this lattice.
bool cache_serves(const DisplacementCache& cache, const LatticeField& lattice);

// The block of (i, j, k) and the point's place in it.
long displacement_block(const DisplacementCache& cache, int i, int j, int k);
inline int block_entry(int i, int j, int k)
{
    return ((k % VALUE_BLOCK) * VALUE_BLOCK + j % VALUE_BLOCK) * (VALUE_BLOCK / 2) + (i % VALUE_BLOCK) / 2;
}

// For points entries[0..n) of block b: found[m] = 1 with their displacements
// where kept, else 0.
void kept_displacements(DisplacementCache& cache, long block, const int* entries, int n, Vector3* source,
                        Vector3* target, uint8_t* found);
// Whether block b keeps the displacements of all points entries[0..n).
bool displacements_kept(DisplacementCache& cache, long block, const int* entries, int n);
// Keeps the displacements of points entries[0..n) of block b, while the
// budget lasts: false when some were not kept.
bool keep_displacements(DisplacementCache& cache, long block, const int* entries, const Vector3* source,
                        const Vector3* target, int n);

// What the bounds prove of block b's sign at every time between the ends:
// not tried yet, not proven by every sphere's shift, nor by the block's own,
// or the sign itself. Every frame may take a proven sign.
enum AllTimes : uint8_t { ALL_TIMES_UNTRIED, ALL_TIMES_NOT_BY_ANY_SHIFT, ALL_TIMES_NOT_BY_OWN_SHIFT, ALL_TIMES_OUTSIDE,
                          ALL_TIMES_INSIDE };
inline AllTimes all_times(const DisplacementCache& cache, long block)
{
    return static_cast<AllTimes>(cache.all_times[static_cast<size_t>(block)].load(std::memory_order_relaxed));
}
inline void keep_all_times(DisplacementCache& cache, long block, AllTimes what)
{
    cache.all_times[static_cast<size_t>(block)].store(what, std::memory_order_relaxed);
}

// Box `box` of block b: 0 the whole block, 1 + c its half c (c = x + 2y +
// 4z). Whether it is kept (with it in *shift), and keeping one while the
// budget lasts.
bool kept_box_shift(DisplacementCache& cache, long block, int box, BoxShift* shift);
void keep_box_shift(DisplacementCache& cache, long block, int box, const BoxShift& shift);
// The shift of half `box` (1 + c) of block b from the displacements of
// every lattice point in it: valid for those points alone (the only ones
// whose signs the half's range gives), far tighter than the box's bound,
// and kept in its place.
void keep_points_shift(DisplacementCache& cache, long block, int box, const BoxShift& shift);
// Bit c: half c of block b has a shift from its points.
unsigned points_shifts_kept(DisplacementCache& cache, long block);

}  // namespace kestrane
