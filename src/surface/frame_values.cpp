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

// Which colours an evaluation works out: all of them, none yet (left until
// the crossings are known: only the ends of crossing edges give colours to
// the mesh), or those of the points that end a crossing edge.
enum ColourNeed { ALL_COLOURS, COLOURS_LATER, CROSSING_COLOURS };
constexpr int BLOCK = VALUE_BLOCK;  // lattice positions per side of the blocks first bounded

// One thread's scratch for exact evaluations.
struct Worker {
    MorphBatch batch;
    std::vector<Vector3> points;
    std::vector<size_t> slots;
    std::vector<int> entries;  // in the block: the displacement cache's and the colours' places
    std::vector<Vector3> source, target;
    std::vector<uint8_t> found;
    std::vector<Vector3> missing_points, missing_source, missing_target;
    std::vector<int> missing;
    std::vector<int16_t> values;
    std::vector<uint32_t> colours;
    std::vector<Vector3> block_points;
    std::vector<FieldRange> ranges;
    PointRangeScratch range_scratch;
};

struct Engine {
    const MorphFrame& frame;
    const LatticeField& lattice;
    FrameValues& out;
    MorphBoundsFrame bounds;
    bool bounded;  // without summaries every point is evaluated
    bool spheres;  // a sphere-based frame between the ends: points bounded one by one
    DisplacementCache* cache;  // null: every displacement computed afresh
    std::vector<int8_t> uniform;  // per block of BLOCK positions: settle's result
    // Per block: the bounding pass left the colours of its exact values for
    // later.
    std::vector<uint8_t> colours_later;
    std::atomic<long> exact{0}, afterwards{0};
    std::atomic<bool> no_memory{false};  // a block of colours could not be had

    // Whether the point's value has been worked out (else it holds a sign).
    bool computed(size_t slot) const
    {
        const int16_t v = out.value[slot];
        return v != SIGN_ONLY_VALUE && v != -SIGN_ONLY_VALUE;
    }
    bool crosses(size_t slot) const { return slot_crosses(out, slot); }

    // The voxel position of a point, as the walk computes it.
    Vector3 position(int i, int j, int k) const
    {
        const int r = lattice.resolution;
        return {static_cast<double>(i * r), static_cast<double>(j * r) * LATTICE_Y_FACTOR, static_cast<double>(k * r)};
    }

    void add(Worker& w, int i, int j, int k)
    {
        w.points.push_back(position(i, j, k));
        w.slots.push_back(out.index(i, j, k));
        w.entries.push_back(block_entry(i, j, k));
    }

    // The displacements of the collected points of block b: those the cache
    // keeps, the others computed and kept. False when some could not be kept.
    bool displacements(Worker& w, long b)
    {
        const int n = static_cast<int>(w.points.size());
        w.source.resize(w.points.size());
        w.target.resize(w.points.size());
        w.found.resize(w.points.size());
        kept_displacements(*cache, b, w.entries.data(), n, w.source.data(), w.target.data(), w.found.data());
        w.missing.clear();
        w.missing_points.clear();
        for (int m = 0; m < n; ++m)
            if (!w.found[m]) {
                w.missing.push_back(w.entries[m]);
                w.missing_points.push_back(w.points[m]);
            }
        const int missing = static_cast<int>(w.missing.size());
        if (missing == 0) return true;
        w.missing_source.resize(w.missing.size());
        w.missing_target.resize(w.missing.size());
        morph_displacements(frame, w.missing_points.data(), missing, w.missing_source.data(), w.missing_target.data(),
                            w.batch);
        const bool kept =
            keep_displacements(*cache, b, w.missing.data(), w.missing_source.data(), w.missing_target.data(), missing);
        for (int m = 0, next = 0; m < n; ++m)
            if (!w.found[m]) {
                w.source[m] = w.missing_source[next];
                w.target[m] = w.missing_target[next++];
            }
        return kept;
    }

    void clear(Worker& w)
    {
        w.points.clear();
        w.slots.clear();
        w.entries.clear();
    }

    // Exact values of the points collected in w, all of block b, with the
    // colours asked for. A colour left for later needs the point's
    // displacement kept; without it the colour is worked out now.
    void evaluate(Worker& w, long b, ColourNeed need = ALL_COLOURS)
    {
        const int n = static_cast<int>(w.points.size());
        if (n == 0) return;
        w.values.resize(w.points.size());
        w.colours.resize(w.points.size());
        if (!cache) {
            morph_samples(frame, w.points.data(), n, w.values.data(), w.colours.data(), w.batch);
            for (int m = 0; m < n; ++m) {
                out.value[w.slots[m]] = w.values[m];
                store_colour(b, w.entries[m], w.colours[m]);
            }
            exact += n;
            clear(w);
            return;
        }
        const bool kept = displacements(w, b);
        if (need == COLOURS_LATER && !kept) need = ALL_COLOURS;
        morph_displaced_values(frame, w.points.data(), w.source.data(), w.target.data(), n, w.values.data());
        for (int m = 0; m < n; ++m) out.value[w.slots[m]] = w.values[m];
        exact += n;
        if (need == COLOURS_LATER) {
            colours_later[static_cast<size_t>(b)] = 1;
        } else {
            // Only those that need one: the others' slots are left out.
            int c = 0;
            for (int m = 0; m < n; ++m)
                if (need == ALL_COLOURS || crosses(w.slots[m])) {
                    w.points[c] = w.points[m];
                    w.slots[c] = w.slots[m];
                    w.entries[c] = w.entries[m];
                    w.source[c] = w.source[m];
                    w.target[c++] = w.target[m];
                }
            morph_displaced_colours(frame, w.points.data(), w.source.data(), w.target.data(), c, w.colours.data());
            for (int m = 0; m < c; ++m) store_colour(b, w.entries[m], w.colours[m]);
        }
        clear(w);
    }

    // The colours of the collected points of block b, whose values are in
    // and whose displacements the cache keeps.
    void colour(Worker& w, long b)
    {
        const int n = static_cast<int>(w.points.size());
        if (n == 0) return;
        w.source.resize(w.points.size());
        w.target.resize(w.points.size());
        w.found.resize(w.points.size());
        w.colours.resize(w.points.size());
        kept_displacements(*cache, b, w.entries.data(), n, w.source.data(), w.target.data(), w.found.data());
        for (int m = 0; m < n; ++m)  // kept when the value was worked out; never otherwise, but then afresh
            if (!w.found[m]) morph_displacements(frame, &w.points[m], 1, &w.source[m], &w.target[m], w.batch);
        morph_displaced_colours(frame, w.points.data(), w.source.data(), w.target.data(), n, w.colours.data());
        for (int m = 0; m < n; ++m) store_colour(b, w.entries[m], w.colours[m]);
        clear(w);
    }

    // Block b's colours are set by one thread at a time (the one on b).
    void store_colour(long b, int entry, uint32_t colour)
    {
        std::unique_ptr<uint32_t[]>& page = out.colour_blocks[static_cast<size_t>(b)];
        if (!page) {
            page.reset(new (std::nothrow) uint32_t[BLOCK_POINTS]());
            if (!page) {
                no_memory = true;
                return;
            }
        }
        page[entry] = colour;
    }

    // The range over box `box` of block b (0 the block, 1 + c its half c, as
    // the cache numbers them; -1 smaller), from the box's shift the cache
    // keeps when it has it.
    FieldRange box_range(long b, int box, const PointBox& points)
    {
        BoxShift shift;
        if (box >= 0 && kept_box_shift(*cache, b, box, &shift)) return shifted_range(bounds, points, shift);
        shift = box_shift(bounds, points);
        if (box >= 0) keep_box_shift(*cache, b, box, shift);
        return shifted_range(bounds, points, shift);
    }

    // Where the cache keeps (or can keep) the points' displacements of block
    // b, an uncertain box is halved and its points evaluated exactly at the
    // smallest size; else a point's range costs about its displacement and
    // is worth it.
    bool halving(long b) const
    {
        return !spheres || (cache && (!cache_full(*cache) || block_kept(*cache, b)));
    }

    // The points of [i0, i1) x [j0, j1) x [k0, k1): one sign for all when the
    // bounds prove it, else halves, and exact values (collected in w) at the
    // smallest size.
    // Returns the sign given to every point (with the border rule: inside
    // only away from the lattice's border), or 0.
    int8_t settle(Worker& w, long b, int box, int i0, int i1, int j0, int j1, int k0, int k1)
    {
        const Vector3 lo = position(i0, j0, k0), hi = position(i1 - 1, j1 - 1, k1 - 1);
        const PointBox points{{lo.x, lo.y, lo.z}, {hi.x, hi.y, hi.z}};
        const FieldRange range = !bounded          ? FieldRange{-FIELD_LIMIT, FIELD_LIMIT}
                                 : spheres && cache ? box_range(b, box, points)
                                                    : morph_range(bounds, points);
        if (range.hi < 0 || range.lo >= 0) {
            const int16_t sign = range.hi < 0 ? -SIGN_ONLY_VALUE : SIGN_ONLY_VALUE;
            // A row's points lie in consecutive slots.
            for (int k = k0; k < k1; ++k)
                for (int j = j0; j < j1; ++j) {
                    const int first = i0 + ((i0 + j + k) & 1), last = i1 - 1 - ((i1 - 1 + j + k) & 1);
                    if (first > last) continue;
                    const size_t a = out.index(first, j, k), z = out.index(last, j, k) + 1;
                    std::fill(out.value.begin() + static_cast<long>(a), out.value.begin() + static_cast<long>(z), sign);
                }
            if (sign < 0) return -1;
            const bool touches_border = i0 == 0 || i1 >= out.lx - 1 || j0 <= 1 || j1 >= out.ly - 2 || k0 == 0 ||
                                        k1 >= out.lz - 1;
            return touches_border ? 0 : 1;
        }
        if (bounded && !halving(b)) {
            settle_points(w, i0, i1, j0, j1, k0, k1, points);
            return 0;
        }
        // With kept displacements an exact value costs less than a box's
        // first bound, so boxes are halved only once.
        const int smallest = cache ? BLOCK / 2 : 2;
        if (!bounded || (i1 - i0 <= smallest && j1 - j0 <= smallest && k1 - k0 <= smallest)) {
            // Collected for one batch per block (the caller evaluates them).
            for (int k = k0; k < k1; ++k)
                for (int j = j0; j < j1; ++j)
                    for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) add(w, i, j, k);
            return 0;
        }
        const int im = i1 - i0 > 2 ? (i0 + i1) / 2 : i1, jm = j1 - j0 > 2 ? (j0 + j1) / 2 : j1,
                  km = k1 - k0 > 2 ? (k0 + k1) / 2 : k1;
        const int is[3] = {i0, im, i1}, js[3] = {j0, jm, j1}, ks[3] = {k0, km, k1};
        for (int c = 0; c < 8; ++c) {
            const int a = c & 1, y = (c >> 1) & 1, d = (c >> 2) & 1;
            const int inner = box == 0 ? 1 + c : -1;
            if (is[a] < is[a + 1] && js[y] < js[y + 1] && ks[d] < ks[d + 1])
                settle(w, b, inner, is[a], is[a + 1], js[y], js[y + 1], ks[d], ks[d + 1]);
        }
        return 0;
    }

    void set_sign(size_t at, bool inside) { out.value[at] = inside ? SIGN_ONLY_VALUE : -SIGN_ONLY_VALUE; }

    // Point by point with the spheres cut for the block: a sign where the
    // point's own range proves it, else an exact value.
    void settle_points(Worker& w, int i0, int i1, int j0, int j1, int k0, int k1, const PointBox& box)
    {
        w.block_points.clear();
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) w.block_points.push_back(position(i, j, k));
        const int n = static_cast<int>(w.block_points.size());
        w.ranges.resize(w.block_points.size());
        block_point_ranges(bounds, box, w.block_points.data(), n, w.ranges.data(), w.range_scratch);
        int m = 0;
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2, ++m) {
                    const FieldRange& range = w.ranges[static_cast<size_t>(m)];
                    if (range.hi < 0 || range.lo >= 0)
                        set_sign(out.index(i, j, k), range.lo >= 0);
                    else
                        add(w, i, j, k);
                }
    }

};

}  // namespace

int64_t frame_values_working_bytes(int lx, int ly, int lz)
{
    // Counted as if every block had colours: the most a frame can hold.
    const int64_t slots = static_cast<int64_t>((lx + 1) / 2) * ly * lz;
    return slots * static_cast<int64_t>(sizeof(int16_t) + sizeof(uint32_t)) + (slots + 63) / 64 * 8;
}

bool compute_frame_values(const MorphFrame& frame, const FieldSummary* summaries, const LatticeField& lattice,
                          int threads, FrameValues* values, FrameValueStats* stats, const std::atomic<bool>* cancel,
                          DisplacementCache* displacements)
{
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    FrameValues& out = *values;
    out.lx = lattice.lx;
    out.ly = lattice.ly;
    out.lz = lattice.lz;
    out.half = (lattice.lx + 1) / 2;
    const size_t slots = static_cast<size_t>(out.half) * out.ly * out.lz;
    static const FieldSummary none[2];
    const bool spheres = !frame.inputs->quick_morph && frame.t != 0.0 && frame.t != 1.0;
    const bool cached = spheres && displacements && displacements_shared(*frame.inputs) &&
                        cache_serves(*displacements, lattice);
    Engine e{frame, lattice, out, morph_bounds_frame(*frame.inputs, summaries ? summaries : none, frame.linked, frame.t),
             summaries != nullptr, spheres, cached ? displacements : nullptr, {}, {}, {}, {}, {}};
    // Blocks of BLOCK positions a side, bounded and settled.
    const int bx = (out.lx + BLOCK - 1) / BLOCK, by = (out.ly + BLOCK - 1) / BLOCK, bz = (out.lz + BLOCK - 1) / BLOCK;
    out.bx = bx;
    out.by = by;
    try {
        // The bounding pass gives every point a value or a sign: what the
        // arrays held before does not matter.
        out.value.resize(slots);
        out.colour_blocks.clear();
        out.colour_blocks.resize(static_cast<size_t>(bx) * by * bz);
        out.crossing.assign((slots + 63) / 64, 0);
        e.uniform.assign(static_cast<size_t>(bx) * by * bz, 0);
        e.colours_later.assign(static_cast<size_t>(bx) * by * bz, 0);
    } catch (const std::bad_alloc&) {
        out.value.clear();
        out.crossing.clear();
        out.colour_blocks.clear();
        return false;
    }

    std::vector<Worker> workers(static_cast<size_t>(std::max(threads, 1)));
    parallel_for(static_cast<long>(bx) * by * bz, threads, [&](long b, int worker) {
        if (cancelled()) return;
        const int i = static_cast<int>(b % bx) * BLOCK, j = static_cast<int>(b / bx % by) * BLOCK,
                  k = static_cast<int>(b / bx / by) * BLOCK;
        Worker& w = workers[static_cast<size_t>(worker)];
        e.uniform[static_cast<size_t>(b)] = e.settle(w, b, 0, i, std::min(i + BLOCK, out.lx), j,
                                                     std::min(j + BLOCK, out.ly), k, std::min(k + BLOCK, out.lz));
        e.evaluate(w, b, COLOURS_LATER);
    });
    const long settled = e.exact;
    if (cancelled()) return false;

    // Points on or next to a crossing edge that only have a sign. A block
    // whose neighbourhood of blocks all took one sign whole has none.
    auto quiet = [&](long b) {
        const int x = static_cast<int>(b % bx), y = static_cast<int>(b / bx % by), z = static_cast<int>(b / bx / by);
        const int8_t sign = e.uniform[static_cast<size_t>(b)];
        if (sign == 0) return false;
        for (int dz = -1; dz <= 1; ++dz)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy, nz = z + dz;
                    // Beyond the lattice nothing is inside.
                    const int8_t other = nx < 0 || nx >= bx || ny < 0 || ny >= by || nz < 0 || nz >= bz
                                             ? -1
                                             : e.uniform[(static_cast<size_t>(nz) * by + ny) * bx + nx];
                    if (other != sign) return false;
                }
        return true;
    };
    auto for_points = [&](long b, const auto& visit) {
        const int i0 = static_cast<int>(b % bx) * BLOCK, j0 = static_cast<int>(b / bx % by) * BLOCK,
                  k0 = static_cast<int>(b / bx / by) * BLOCK;
        const int i1 = std::min(i0 + BLOCK, out.lx), j1 = std::min(j0 + BLOCK, out.ly), k1 = std::min(k0 + BLOCK, out.lz);
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) visit(i, j, k);
    };
    const long block_count = static_cast<long>(bx) * by * bz;
    // Inside the lattice the neighbours of (i, j, k) are at fixed slot
    // offsets (which depend on the parity of i); only points by the border
    // need their bounds checked.
    long slot_offset[2][DIRECTION_COUNT];  // by the parity of i
    for (int parity = 0; parity < 2; ++parity)
        for (int d = 0; d < DIRECTION_COUNT; ++d) {
            const LatticeOffset& o = DIRECTION_OFFSET[d];
            const int i = parity + 2;  // any interior i of this parity
            slot_offset[parity][d] = (static_cast<long>(o.dk) * out.ly + o.dj) * out.half + (i + o.di) / 2 - i / 2;
        }
    // A point is outside on the lattice's border or below zero; an edge
    // crosses where its ends differ.
    auto outside = [&](int i, int j, int k) {
        return on_lattice_border(lattice, i, j, k) || out.value[out.index(i, j, k)] < 0;
    };
    auto crosses = [&](int i, int j, int k) {
        const size_t at = out.index(i, j, k);
        // No neighbour of these is on the border: their signs tell.
        if (i >= 2 && i <= out.lx - 3 && j >= 4 && j <= out.ly - 5 && k >= 2 && k <= out.lz - 3) {
            const bool side = out.value[at] < 0;
            const long* offset = slot_offset[i & 1];
            for (int d = 0; d < DIRECTION_COUNT; ++d)
                if ((out.value[static_cast<size_t>(static_cast<long>(at) + offset[d])] < 0) != side) return true;
            return false;
        }
        const bool side = outside(i, j, k);
        for (const LatticeOffset& o : DIRECTION_OFFSET) {
            const int a = i + o.di, c = j + o.dj, d = k + o.dk;
            if (a < 0 || a >= out.lx || c < 0 || c >= out.ly || d < 0 || d >= out.lz) continue;
            if (outside(a, c, d) != side) return true;
        }
        return false;
    };
    auto neighbour_crosses = [&](int i, int j, int k) {
        const size_t at = out.index(i, j, k);
        if (i >= 1 && i <= out.lx - 2 && j >= 2 && j <= out.ly - 3 && k >= 1 && k <= out.lz - 2) {
            const long* offset = slot_offset[i & 1];
            for (int d = 0; d < DIRECTION_COUNT; ++d)
                if (e.crosses(static_cast<size_t>(static_cast<long>(at) + offset[d]))) return true;
            return false;
        }
        for (const LatticeOffset& o : DIRECTION_OFFSET) {
            const int a = i + o.di, c = j + o.dj, d = k + o.dk;
            if (a < 0 || a >= out.lx || c < 0 || c >= out.ly || d < 0 || d >= out.lz) continue;
            if (e.crosses(out.index(a, c, d))) return true;
        }
        return false;
    };
    // The bits of a word belong to the points of several blocks.
    std::vector<uint64_t>& crossing = out.crossing;
    parallel_for(block_count, threads, [&](long b, int) {
        if (quiet(b)) return;
        for_points(b, [&](int i, int j, int k) {
            if (!crosses(i, j, k)) return;
            const size_t at = out.index(i, j, k);
            __atomic_fetch_or(&crossing[at >> 6], uint64_t(1) << (at & 63), __ATOMIC_RELAXED);
        });
    });
    parallel_for(block_count, threads, [&](long b, int worker) {
        if (quiet(b)) return;
        Worker& w = workers[static_cast<size_t>(worker)];
        // First the colours the bounding pass left for later, of the ends of
        // crossing edges: until this block's values below are in, the
        // points it worked out are the only ones with values.
        if (e.colours_later[static_cast<size_t>(b)]) {
            for_points(b, [&](int i, int j, int k) {
                const size_t at = out.index(i, j, k);
                if (e.computed(at) && e.crosses(at)) e.add(w, i, j, k);
            });
            e.colour(w, b);
        }
        for_points(b, [&](int i, int j, int k) {
            const size_t at = out.index(i, j, k);
            if (e.computed(at)) return;
            if (e.crosses(at) || neighbour_crosses(i, j, k)) e.add(w, i, j, k);
        });
        e.evaluate(w, b, CROSSING_COLOURS);
    });
    if (cancelled() || e.no_memory) return false;
    if (stats) {
        stats->points = static_cast<long>(slots);
        stats->exact = e.exact;
        stats->exact_afterwards = e.exact - settled;
    }
    return true;
}

}  // namespace kestrane
