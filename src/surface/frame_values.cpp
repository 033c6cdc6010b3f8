#include "surface/frame_values.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "base/lattice_geometry.h"
#include "base/parallel.h"
#include "shape/field_value.h"
#include "shape/morph_bounds.h"
#include "surface/lattice_tables.h"

namespace kestrane {
namespace {

enum PointState : uint8_t { UNKNOWN = 0, SIGN_ONLY = 1, EXACT = 2 };
constexpr int BLOCK = VALUE_BLOCK;

// Where an exact value goes.
struct Slot {
    ValueBlock* block;
    int local;
};

// One thread's scratch for exact evaluations.
struct Worker {
    MorphBatch batch;
    std::vector<Vector3> points;
    std::vector<Slot> slots;
    std::vector<int16_t> values;
    std::vector<uint32_t> colours;
    std::vector<Vector3> block_points;
    std::vector<FieldRange> ranges;
    PointRangeScratch range_scratch;
};

// Every point of [i0, i1) x [j0, j1) x [k0, k1), in increasing k, j, i.
template <typename Visit>
void for_points_of(int i0, int i1, int j0, int j1, int k0, int k1, const Visit& visit)
{
    for (int k = k0; k < k1; ++k)
        for (int j = j0; j < j1; ++j)
            for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) visit(i, j, k);
}

struct Engine {
    const MorphFrame& frame;
    const LatticeField& lattice;
    FrameValues& out;
    MorphBoundsFrame bounds;
    bool bounded;  // without summaries every point is evaluated
    bool spheres;  // a sphere-based frame between the ends: points bounded one by one
    std::atomic<long> exact{0};
    std::atomic<bool> no_memory{false};

    // The voxel position of a point, as the walk computes it.
    Vector3 position(int i, int j, int k) const
    {
        const int r = lattice.resolution;
        return {static_cast<double>(i * r), static_cast<double>(j * r) * LATTICE_Y_FACTOR, static_cast<double>(k * r)};
    }

    void add(Worker& w, ValueBlock& block, int i, int j, int k)
    {
        w.points.push_back(position(i, j, k));
        w.slots.push_back(Slot{&block, FrameValues::local(i, j, k)});
    }

    void evaluate(Worker& w)
    {
        const int n = static_cast<int>(w.points.size());
        if (n == 0) return;
        w.values.resize(w.points.size());
        w.colours.resize(w.points.size());
        morph_samples(frame, w.points.data(), n, w.values.data(), w.colours.data(), w.batch);
        for (int m = 0; m < n; ++m) {
            const Slot& s = w.slots[static_cast<size_t>(m)];
            s.block->value[s.local] = w.values[m];
            s.block->colour[s.local] = w.colours[m];
            s.block->state[s.local] = EXACT;
        }
        exact += n;
        w.points.clear();
        w.slots.clear();
    }

    FieldRange range_of(int i0, int i1, int j0, int j1, int k0, int k1, PointBox* box) const
    {
        const Vector3 lo = position(i0, j0, k0), hi = position(i1 - 1, j1 - 1, k1 - 1);
        *box = PointBox{{lo.x, lo.y, lo.z}, {hi.x, hi.y, hi.z}};
        return bounded ? morph_range(bounds, *box) : FieldRange{-FIELD_LIMIT, FIELD_LIMIT};
    }

    static bool one_sign(const FieldRange& range) { return range.hi < 0 || range.lo >= 0; }

    // The sign a block of one sign gives all its points, with the border
    // rule (inside only away from the lattice's border), or 0.
    int8_t block_sign(const FieldRange& range, int i0, int i1, int j0, int j1, int k0, int k1) const
    {
        if (range.hi < 0) return -1;
        const bool touches_border =
            i0 == 0 || i1 >= out.lx - 1 || j0 <= 1 || j1 >= out.ly - 2 || k0 == 0 || k1 >= out.lz - 1;
        return touches_border ? 0 : 1;
    }

    void fill_sign(ValueBlock& block, int i0, int i1, int j0, int j1, int k0, int k1, bool inside)
    {
        const int16_t sign = inside ? FIELD_LIMIT : -FIELD_LIMIT;
        for_points_of(i0, i1, j0, j1, k0, k1, [&](int i, int j, int k) {
            const int at = FrameValues::local(i, j, k);
            block.value[at] = sign;
            block.colour[at] = 0;
            block.state[at] = SIGN_ONLY;
        });
    }

    // The points of [i0, i1) x [j0, j1) x [k0, k1) of the block, whose range
    // is given: one sign for all when the bounds prove it, else halves, and
    // exact values (collected in w) at the smallest size.
    void settle(Worker& w, ValueBlock& block, int i0, int i1, int j0, int j1, int k0, int k1, const FieldRange& range,
                const PointBox& box)
    {
        if (one_sign(range)) {
            fill_sign(block, i0, i1, j0, j1, k0, k1, range.lo >= 0);
            return;
        }
        if (bounded && spheres) {
            settle_points(w, block, i0, i1, j0, j1, k0, k1, box);
            return;
        }
        if (!bounded || (i1 - i0 <= 2 && j1 - j0 <= 2 && k1 - k0 <= 2)) {
            // Collected for one batch per block (the caller evaluates them).
            for_points_of(i0, i1, j0, j1, k0, k1, [&](int i, int j, int k) { add(w, block, i, j, k); });
            return;
        }
        const int im = i1 - i0 > 2 ? (i0 + i1) / 2 : i1, jm = j1 - j0 > 2 ? (j0 + j1) / 2 : j1,
                  km = k1 - k0 > 2 ? (k0 + k1) / 2 : k1;
        const int is[3] = {i0, im, i1}, js[3] = {j0, jm, j1}, ks[3] = {k0, km, k1};
        for (int c = 0; c < 8; ++c) {
            const int a = c & 1, b = (c >> 1) & 1, d = (c >> 2) & 1;
            if (is[a] < is[a + 1] && js[b] < js[b + 1] && ks[d] < ks[d + 1]) {
                PointBox part;
                const FieldRange r = range_of(is[a], is[a + 1], js[b], js[b + 1], ks[d], ks[d + 1], &part);
                settle(w, block, is[a], is[a + 1], js[b], js[b + 1], ks[d], ks[d + 1], r, part);
            }
        }
    }

    // Point by point with the spheres cut for the block: a sign where the
    // point's own range proves it, else an exact value.
    void settle_points(Worker& w, ValueBlock& block, int i0, int i1, int j0, int j1, int k0, int k1,
                       const PointBox& box)
    {
        w.block_points.clear();
        for_points_of(i0, i1, j0, j1, k0, k1, [&](int i, int j, int k) { w.block_points.push_back(position(i, j, k)); });
        const int n = static_cast<int>(w.block_points.size());
        w.ranges.resize(w.block_points.size());
        block_point_ranges(bounds, box, w.block_points.data(), n, w.ranges.data(), w.range_scratch);
        size_t m = 0;
        for_points_of(i0, i1, j0, j1, k0, k1, [&](int i, int j, int k) {
            const FieldRange& range = w.ranges[m++];
            if (one_sign(range)) {
                const int at = FrameValues::local(i, j, k);
                block.value[at] = range.lo >= 0 ? FIELD_LIMIT : -FIELD_LIMIT;
                block.colour[at] = 0;
                block.state[at] = SIGN_ONLY;
            } else {
                add(w, block, i, j, k);
            }
        });
    }

    ValueBlock* store(size_t b)
    {
        out.blocks[b].reset(new (std::nothrow) ValueBlock());
        if (!out.blocks[b]) no_memory = true;
        return out.blocks[b].get();
    }

    // Block b's extent in positions.
    void extent(long b, int* i0, int* i1, int* j0, int* j1, int* k0, int* k1) const
    {
        *i0 = static_cast<int>(b % out.bx) * BLOCK;
        *j0 = static_cast<int>(b / out.bx % out.by) * BLOCK;
        *k0 = static_cast<int>(b / out.bx / out.by) * BLOCK;
        *i1 = std::min(*i0 + BLOCK, out.lx);
        *j1 = std::min(*j0 + BLOCK, out.ly);
        *k1 = std::min(*k0 + BLOCK, out.lz);
    }

    // Whether point (i, j, k) is outside or on the border, wherever it lies.
    bool outside_at(int i, int j, int k) const
    {
        const size_t b = out.block_of(i, j, k);
        if (const ValueBlock* block = out.blocks[b].get()) return block->outside[FrameValues::local(i, j, k)] != 0;
        return out.sign[b] < 0 || on_lattice_border(lattice, i, j, k);
    }
};

}  // namespace

int64_t frame_values_working_bytes(int lx, int ly, int lz)
{
    const int64_t blocks = static_cast<int64_t>((lx + BLOCK - 1) / BLOCK) * ((ly + BLOCK - 1) / BLOCK) *
                           ((lz + BLOCK - 1) / BLOCK);
    return blocks * static_cast<int64_t>(sizeof(ValueBlock) + sizeof(std::unique_ptr<ValueBlock>) + sizeof(int8_t));
}

int16_t frame_value(const FrameValues& values, int i, int j, int k, uint32_t* colour)
{
    const size_t b = values.block_of(i, j, k);
    if (const ValueBlock* block = values.blocks[b].get()) {
        const int at = FrameValues::local(i, j, k);
        *colour = block->colour[at];
        return block->value[at];
    }
    *colour = 0;
    return values.sign[b] < 0 ? -FIELD_LIMIT : FIELD_LIMIT;
}

bool frame_crossing(const FrameValues& values, int i, int j, int k)
{
    const ValueBlock* block = values.blocks[values.block_of(i, j, k)].get();
    return block && block->crossing[FrameValues::local(i, j, k)] != 0;
}

bool compute_frame_values(const MorphFrame& frame, const FieldSummary* summaries, const LatticeField& lattice,
                          int threads, FrameValues* values, FrameValueStats* stats, const std::atomic<bool>* cancel)
{
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    FrameValues& out = *values;
    out.lx = lattice.lx;
    out.ly = lattice.ly;
    out.lz = lattice.lz;
    out.bx = (out.lx + BLOCK - 1) / BLOCK;
    out.by = (out.ly + BLOCK - 1) / BLOCK;
    out.bz = (out.lz + BLOCK - 1) / BLOCK;
    const long block_count = static_cast<long>(out.bx) * out.by * out.bz;
    static const FieldSummary none[2];
    Engine e{frame, lattice, out, morph_bounds_frame(*frame.inputs, summaries ? summaries : none, frame.linked, frame.t),
             summaries != nullptr,
             !frame.inputs->quick_morph && frame.t != 0.0 && frame.t != 1.0,
             {}, {}};
    auto release = [&out] {
        out.blocks.clear();
        out.blocks.shrink_to_fit();
        out.sign.clear();
    };
    try {
        out.blocks.clear();
        out.blocks.resize(static_cast<size_t>(block_count));
        out.sign.assign(static_cast<size_t>(block_count), 0);
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }

    // Blocks bounded whole: one sign, or values of their own, settled.
    std::vector<Worker> workers(static_cast<size_t>(std::max(threads, 1)));
    parallel_for(block_count, threads, [&](long b, int worker) {
        if (cancelled() || e.no_memory) return;
        int i0, i1, j0, j1, k0, k1;
        e.extent(b, &i0, &i1, &j0, &j1, &k0, &k1);
        PointBox box;
        const FieldRange range = e.range_of(i0, i1, j0, j1, k0, k1, &box);
        const int8_t sign = Engine::one_sign(range) ? e.block_sign(range, i0, i1, j0, j1, k0, k1) : 0;
        out.sign[static_cast<size_t>(b)] = sign;
        if (sign != 0) return;
        ValueBlock* block = e.store(static_cast<size_t>(b));
        if (!block) return;
        Worker& w = workers[static_cast<size_t>(worker)];
        e.settle(w, *block, i0, i1, j0, j1, k0, k1, range, box);
        e.evaluate(w);
    });
    const long settled = e.exact;
    if (cancelled() || e.no_memory) {
        release();
        return false;
    }

    // A block of one sign whose neighbours all have the same sign has no
    // crossing edge and keeps no values; the others are stored, their points
    // with the block's sign.
    auto quiet = [&](long b) {
        const int x = static_cast<int>(b % out.bx), y = static_cast<int>(b / out.bx % out.by),
                  z = static_cast<int>(b / out.bx / out.by);
        const int8_t sign = out.sign[static_cast<size_t>(b)];
        if (sign == 0) return false;
        for (int dz = -1; dz <= 1; ++dz)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy, nz = z + dz;
                    // Beyond the lattice nothing is inside.
                    const int8_t other = nx < 0 || nx >= out.bx || ny < 0 || ny >= out.by || nz < 0 || nz >= out.bz
                                             ? -1
                                             : out.sign[(static_cast<size_t>(nz) * out.by + ny) * out.bx + nx];
                    if (other != sign) return false;
                }
        return true;
    };
    std::vector<uint8_t> unquiet(static_cast<size_t>(block_count), 0);
    parallel_for(block_count, threads, [&](long b, int) {
        const size_t at = static_cast<size_t>(b);
        if (out.blocks[at] || quiet(b)) return;
        unquiet[at] = 1;
    });
    parallel_for(block_count, threads, [&](long b, int) {
        const size_t at = static_cast<size_t>(b);
        if (!unquiet[at] || e.no_memory) return;
        ValueBlock* block = e.store(at);
        if (!block) return;
        int i0, i1, j0, j1, k0, k1;
        e.extent(b, &i0, &i1, &j0, &j1, &k0, &k1);
        e.fill_sign(*block, i0, i1, j0, j1, k0, k1, out.sign[at] > 0);
    });
    if (e.no_memory) {
        release();
        return false;
    }

    // Points on or next to a crossing edge that only have a sign: only in
    // stored blocks.
    auto for_block_points = [&](long b, const auto& visit) {
        int i0, i1, j0, j1, k0, k1;
        e.extent(b, &i0, &i1, &j0, &j1, &k0, &k1);
        for_points_of(i0, i1, j0, j1, k0, k1, visit);
    };
    parallel_for(block_count, threads, [&](long b, int) {
        ValueBlock* block = out.blocks[static_cast<size_t>(b)].get();
        if (!block) return;
        for_block_points(b, [&](int i, int j, int k) {
            const int at = FrameValues::local(i, j, k);
            block->outside[at] = block->value[at] < 0 || on_lattice_border(lattice, i, j, k);
        });
    });
    // Whether any of the 14 neighbours of (i, j, k) differs from flag
    // (read through get), inside the lattice.
    auto any_neighbour = [&](int i, int j, int k, uint8_t flag, const auto& get) {
        for (const LatticeOffset& o : DIRECTION_OFFSET) {
            const int a = i + o.di, c = j + o.dj, d = k + o.dk;
            if (a < 0 || a >= out.lx || c < 0 || c >= out.ly || d < 0 || d >= out.lz) continue;
            if (get(a, c, d) != flag) return true;
        }
        return false;
    };
    auto outside = [&](int i, int j, int k) -> uint8_t { return e.outside_at(i, j, k); };
    parallel_for(block_count, threads, [&](long b, int) {
        ValueBlock* block = out.blocks[static_cast<size_t>(b)].get();
        if (!block) return;
        for_block_points(b, [&](int i, int j, int k) {
            const int at = FrameValues::local(i, j, k);
            block->crossing[at] = any_neighbour(i, j, k, block->outside[at], outside);
        });
    });
    auto crossing = [&](int i, int j, int k) -> uint8_t { return frame_crossing(out, i, j, k); };
    parallel_for(block_count, threads, [&](long b, int worker) {
        ValueBlock* block = out.blocks[static_cast<size_t>(b)].get();
        if (!block) return;
        Worker& w = workers[static_cast<size_t>(worker)];
        for_block_points(b, [&](int i, int j, int k) {
            const int at = FrameValues::local(i, j, k);
            if (block->state[at] == EXACT) return;
            if (block->crossing[at] || any_neighbour(i, j, k, 0, crossing)) e.add(w, *block, i, j, k);
        });
        e.evaluate(w);
    });
    if (cancelled()) {
        release();
        return false;
    }
    if (stats) {
        stats->points = static_cast<long>((out.lx + 1) / 2) * out.ly * out.lz;  // positions of a row's parity
        stats->exact = e.exact;
        stats->exact_afterwards = e.exact - settled;
        stats->blocks = block_count;
        stats->stored_blocks = 0;
        for (const auto& block : out.blocks) stats->stored_blocks += block != nullptr;
    }
    return true;
}

}  // namespace kestrane
