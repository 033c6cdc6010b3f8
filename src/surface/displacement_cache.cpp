#include "surface/displacement_cache.h"

#include <algorithm>
#include <new>

namespace kestrane {
namespace {

constexpr int64_t BLOCK_BYTES = sizeof(DisplacementBlock);
constexpr int64_t POINT_BYTES = 2 * sizeof(Vector3);

// The block, made on first use; null when the budget is spent.
DisplacementBlock* block_for_keeping(DisplacementCache& cache, long b)
{
    std::atomic<DisplacementBlock*>& slot = cache.blocks[static_cast<size_t>(b)];
    DisplacementBlock* block = slot.load(std::memory_order_acquire);
    if (block) return block;
    if (cache.bytes.fetch_add(BLOCK_BYTES) + BLOCK_BYTES > cache.budget) {
        cache.bytes.fetch_sub(BLOCK_BYTES);
        return nullptr;
    }
    DisplacementBlock* made = new (std::nothrow) DisplacementBlock;
    if (!made) {
        cache.bytes.fetch_sub(BLOCK_BYTES);
        return nullptr;
    }
    if (slot.compare_exchange_strong(block, made, std::memory_order_acq_rel)) return made;
    delete made;  // another thread made it first
    cache.bytes.fetch_sub(BLOCK_BYTES);
    return block;
}

// Half `box` of block b keeps its shift, from its box's bound (how = 1) or
// its points (2): one from its points is never replaced by a looser one.
void keep_half_shift(DisplacementCache& cache, long b, int box, const BoxShift& shift, uint8_t how)
{
    if (box < 1 || box > INNER_BOXES) return;
    DisplacementBlock* block = block_for_keeping(cache, b);
    if (!block) return;
    std::lock_guard<std::mutex> hold(block->lock);
    if (block->box_kept[box - 1] > how) return;
    block->box[box - 1] = shift;
    block->box_kept[box - 1] = how;
}

}  // namespace

DisplacementCache::~DisplacementCache()
{
    if (!blocks) return;
    for (long b = 0; b < bx * by * bz; ++b) delete blocks[static_cast<size_t>(b)].load();
}

std::shared_ptr<DisplacementCache> make_displacement_cache(const LatticeField& lattice, int64_t budget)
{
    if (lattice.lx <= 0 || lattice.ly <= 0 || lattice.lz <= 0) return nullptr;
    auto cache = std::make_shared<DisplacementCache>();
    cache->lx = lattice.lx;
    cache->ly = lattice.ly;
    cache->lz = lattice.lz;
    cache->resolution = lattice.resolution;
    cache->bx = (lattice.lx + VALUE_BLOCK - 1) / VALUE_BLOCK;
    cache->by = (lattice.ly + VALUE_BLOCK - 1) / VALUE_BLOCK;
    cache->bz = (lattice.lz + VALUE_BLOCK - 1) / VALUE_BLOCK;
    const long count = cache->bx * cache->by * cache->bz;
    const int64_t table = count * static_cast<int64_t>(sizeof(std::atomic<DisplacementBlock*>) +
                                                       2 * sizeof(std::atomic<uint8_t>) + sizeof(BoxShift));
    if (table > budget) return nullptr;
    const size_t n = static_cast<size_t>(count);
    cache->blocks.reset(new (std::nothrow) std::atomic<DisplacementBlock*>[n]);
    cache->shift_state.reset(new (std::nothrow) std::atomic<uint8_t>[n]);
    cache->shift.reset(new (std::nothrow) BoxShift[n]);
    cache->all_times.reset(new (std::nothrow) std::atomic<uint8_t>[n]);
    if (!cache->blocks || !cache->shift_state || !cache->shift || !cache->all_times) return nullptr;
    for (size_t b = 0; b < n; ++b) {
        cache->blocks[b].store(nullptr);
        cache->shift_state[b].store(0);
        cache->all_times[b].store(ALL_TIMES_UNTRIED);
    }
    cache->budget = budget;
    cache->bytes = table;
    return cache;
}

bool cache_full(const DisplacementCache& cache)
{
    return cache.bytes.load(std::memory_order_relaxed) + BLOCK_BYTES > cache.budget;
}

bool block_kept(const DisplacementCache& cache, long b)
{
    return cache.blocks[static_cast<size_t>(b)].load(std::memory_order_acquire) != nullptr;
}

bool cache_serves(const DisplacementCache& cache, const LatticeField& lattice)
{
    return cache.lx == lattice.lx && cache.ly == lattice.ly && cache.lz == lattice.lz &&
           cache.resolution == lattice.resolution;
}

long displacement_block(const DisplacementCache& cache, int i, int j, int k)
{
    return (k / VALUE_BLOCK * cache.by + j / VALUE_BLOCK) * cache.bx + i / VALUE_BLOCK;
}

void kept_displacements(DisplacementCache& cache, long b, const int* entries, int n, Vector3* source,
                        Vector3* target, uint8_t* found)
{
    DisplacementBlock* block = cache.blocks[static_cast<size_t>(b)].load(std::memory_order_acquire);
    if (!block) {
        for (int m = 0; m < n; ++m) found[m] = 0;
        return;
    }
    std::lock_guard<std::mutex> hold(block->lock);
    for (int m = 0; m < n; ++m) {
        const int at = block->entry[entries[m]];
        found[m] = at != 0;
        if (!at) continue;
        source[m] = block->source[static_cast<size_t>(at - 1)];
        target[m] = block->target[static_cast<size_t>(at - 1)];
    }
}

bool displacements_kept(DisplacementCache& cache, long b, const int* entries, int n)
{
    DisplacementBlock* block = cache.blocks[static_cast<size_t>(b)].load(std::memory_order_acquire);
    if (!block) return n == 0;
    std::lock_guard<std::mutex> hold(block->lock);
    for (int m = 0; m < n; ++m)
        if (!block->entry[entries[m]]) return false;
    return true;
}

bool keep_displacements(DisplacementCache& cache, long b, const int* entries, const Vector3* source,
                        const Vector3* target, int n)
{
    if (n <= 0) return true;
    DisplacementBlock* block = block_for_keeping(cache, b);
    if (!block) return false;
    std::lock_guard<std::mutex> hold(block->lock);
    // The budget counts what the arrays hold, their room included: they
    // grow by whole steps of points (not by doubling), and at the budget's
    // edge by what is left of it.
    size_t fresh = 0;
    for (int m = 0; m < n; ++m) fresh += block->entry[entries[m]] == 0;
    const size_t held = block->source.capacity(), needed = block->source.size() + fresh;
    auto charge = [&](size_t to) {
        const int64_t more = static_cast<int64_t>(to - held) * POINT_BYTES;
        if (cache.bytes.fetch_add(more) + more <= cache.budget) return true;
        cache.bytes.fetch_sub(more);
        return false;
    };
    size_t room = held;
    if (needed > held) {
        constexpr size_t STEP = 16;
        room = std::min<size_t>(BLOCK_POINTS, (needed + STEP - 1) / STEP * STEP);
        if (!charge(room)) {
            const int64_t left = (cache.budget - cache.bytes.load()) / POINT_BYTES;
            room = std::min(needed, held + static_cast<size_t>(std::max<int64_t>(left, 0)));
            if (room > held && !charge(room)) room = held;
        }
        try {
            block->source.reserve(room);
            block->target.reserve(room);
        } catch (const std::bad_alloc&) {
            cache.bytes.fetch_sub(static_cast<int64_t>(room - held) * POINT_BYTES);
            return false;
        }
    }
    for (int m = 0; m < n; ++m) {
        if (block->entry[entries[m]]) continue;  // kept meanwhile, the same value
        if (block->source.size() >= room) return false;
        block->source.push_back(source[m]);
        block->target.push_back(target[m]);
        block->entry[entries[m]] = static_cast<uint16_t>(block->source.size());
    }
    return true;
}

bool kept_box_shift(DisplacementCache& cache, long b, int box, BoxShift* shift)
{
    const size_t at = static_cast<size_t>(b);
    if (box == 0) {
        if (cache.shift_state[at].load(std::memory_order_acquire) != 2) return false;
        *shift = cache.shift[at];
        return true;
    }
    DisplacementBlock* block = cache.blocks[at].load(std::memory_order_acquire);
    if (!block || box < 1 || box > INNER_BOXES) return false;
    std::lock_guard<std::mutex> hold(block->lock);
    if (!block->box_kept[box - 1]) return false;
    *shift = block->box[box - 1];
    return true;
}

void keep_box_shift(DisplacementCache& cache, long b, int box, const BoxShift& shift)
{
    const size_t at = static_cast<size_t>(b);
    if (box == 0) {
        // One writer; a frame that loses the race keeps nothing.
        uint8_t idle = 0;
        if (!cache.shift_state[at].compare_exchange_strong(idle, 1, std::memory_order_acq_rel)) return;
        cache.shift[at] = shift;
        cache.shift_state[at].store(2, std::memory_order_release);
        return;
    }
    keep_half_shift(cache, b, box, shift, 1);
}

void keep_points_shift(DisplacementCache& cache, long b, int box, const BoxShift& shift)
{
    keep_half_shift(cache, b, box, shift, 2);
}

unsigned points_shifts_kept(DisplacementCache& cache, long b)
{
    DisplacementBlock* block = cache.blocks[static_cast<size_t>(b)].load(std::memory_order_acquire);
    if (!block) return 0;
    std::lock_guard<std::mutex> hold(block->lock);
    unsigned kept = 0;
    for (int c = 0; c < INNER_BOXES; ++c)
        if (block->box_kept[c] == 2) kept |= 1u << c;
    return kept;
}
}  // namespace kestrane
