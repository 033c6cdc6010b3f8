#include "surface/frame_values.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "base/lattice_geometry.h"
#include "base/parallel.h"
#include "shape/field_value.h"
#include "shape/morph_bounds.h"
#include "surface/crossing_bits.h"

namespace kestrane {
namespace {

// A middle frame at 128 points: of 215 k exact values 72 k end a crossing
// edge, all within 260 units and all but 166 within 150; 103 k lie beyond.
std::atomic<int> colours_now_within{150};

// Which colours an evaluation works out: all of them, none yet (left until
// the crossings are known: only the ends of crossing edges give colours to
// the mesh), or those of the points that end a crossing edge.
enum ColourNeed { ALL_COLOURS, COLOURS_LATER, CROSSING_COLOURS };
constexpr int BLOCK = VALUE_BLOCK;  // lattice positions per side of the blocks first bounded
static_assert(64 % (BLOCK / 2) == 0, "a block's row of points lies in one word of row bits");
// How near the surface (in distance units, 22 a voxel) a point must be for
// its displacement to be kept once the cache is half full.
constexpr int KEPT_WITHIN = 400;

// One thread's scratch for exact evaluations.
struct Worker {
    MorphBatch batch;
    std::vector<Vector3> points;
    std::vector<size_t> slots;
    std::vector<int> entries;  // in the block: the displacement cache's and the colours' places
    std::vector<int> entries_kept;
    std::vector<Vector3> source, target;
    std::vector<uint8_t> found;
    std::vector<Vector3> missing_points, missing_source, missing_target;
    std::vector<int> missing;  // of the points collected, those whose displacements were computed
    std::vector<int16_t> values;
    std::vector<uint32_t> colours;
    std::vector<std::array<int, 3>> listed;  // points of the block left for ranges of their own
    std::vector<Vector3> block_points;
    std::vector<FieldRange> ranges;
    PointRangeScratch range_scratch;
    std::vector<std::array<int, 3>> screened;  // points of a half tried by one side's term
    std::vector<double> parts;
    std::vector<Vector3> moved, others;
    // Per side tried first, the points its term left uncertain, waiting for
    // the other side's.
    struct Rest {
        std::vector<int> entries;
        std::vector<double> parts;
        std::vector<Vector3> moved, others;
    } rest[2];
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
    int colours_within = 150;
    std::atomic<long> exact{0}, afterwards{0};
    std::atomic<bool> no_memory{false};  // a block of colours could not be had

    // Whether the value of the point at `entry` of block b has been worked
    // out (else it holds a sign).
    bool computed(long b, int entry) const
    {
        const int16_t* page = out.value_blocks[static_cast<size_t>(b)].get();
        if (!page) return false;
        const int16_t v = page[entry];
        return v != SIGN_ONLY_VALUE && v != -SIGN_ONLY_VALUE;
    }
    // Block b's values, written by one thread at a time (the one on b).
    int16_t* page(long b)
    {
        int16_t* values = value_page(out, static_cast<size_t>(b));
        if (!values) no_memory = true;
        return values;
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
    // keeps, the others computed (listed in w.missing).
    void displacements(Worker& w, long b)
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
                w.missing.push_back(m);
                w.missing_points.push_back(w.points[m]);
            }
        const int missing = static_cast<int>(w.missing.size());
        if (missing == 0) return;
        w.missing_source.resize(w.missing.size());
        w.missing_target.resize(w.missing.size());
        morph_displacements(frame, w.missing_points.data(), missing, w.missing_source.data(), w.missing_target.data(),
                            w.batch);
        for (int next = 0; next < missing; ++next) {
            const size_t m = static_cast<size_t>(w.missing[static_cast<size_t>(next)]);
            w.source[m] = w.missing_source[static_cast<size_t>(next)];
            w.target[m] = w.missing_target[static_cast<size_t>(next)];
        }
    }

    // Keeps the displacements just computed, once the cache is half full
    // only those of points near enough to the surface to be worked out again
    // by the frames that follow: the first frames of a large lattice would
    // otherwise fill it with points far off that few frames read again.
    // False when some of them could not be kept.
    bool keep_near(Worker& w, long b)
    {
        int kept = 0;
        const bool roomy = cache->bytes.load(std::memory_order_relaxed) < cache->budget / 2;
        for (int m : w.missing) {
            const size_t at = static_cast<size_t>(m);
            if (!roomy && std::abs(w.values[at]) > KEPT_WITHIN) continue;
            w.entries_kept.resize(static_cast<size_t>(kept) + 1);
            w.missing_source[static_cast<size_t>(kept)] = w.source[at];
            w.missing_target[static_cast<size_t>(kept)] = w.target[at];
            w.entries_kept[static_cast<size_t>(kept++)] = w.entries[at];
        }
        return keep_displacements(*cache, b, w.entries_kept.data(), w.missing_source.data(), w.missing_target.data(),
                                  kept);
    }

    // Where settle splits block b into its halves (the second half of an
    // axis empty where the block is 2 or fewer positions wide there).
    struct Split {
        int lo[3], mid[3], hi[3];
    };
    Split split(long b) const
    {
        Split s;
        s.lo[0] = static_cast<int>(b % out.bx) * BLOCK;
        s.lo[1] = static_cast<int>(b / out.bx % out.by) * BLOCK;
        s.lo[2] = static_cast<int>(b / out.bx / out.by) * BLOCK;
        const int size[3] = {out.lx, out.ly, out.lz};
        for (int a = 0; a < 3; ++a) {
            s.hi[a] = std::min(s.lo[a] + BLOCK, size[a]);
            s.mid[a] = s.hi[a] - s.lo[a] > 2 ? (s.lo[a] + s.hi[a]) / 2 : s.hi[a];
        }
        return s;
    }

    // Where every lattice point of a half of block b has its displacement
    // among those collected, the half's shift from them.
    void keep_points_shifts(Worker& w, long b)
    {
        const unsigned kept = points_shifts_kept(*cache, b);
        if (kept == (1u << INNER_BOXES) - 1) return;
        const Split s = split(b);
        int count[INNER_BOXES] = {}, points[INNER_BOXES] = {};
        for (int k = s.lo[2]; k < s.hi[2]; ++k)
            for (int j = s.lo[1]; j < s.hi[1]; ++j)
                for (int i = s.lo[0] + ((s.lo[0] + j + k) & 1); i < s.hi[0]; i += 2)
                    ++points[(i >= s.mid[0]) + 2 * (j >= s.mid[1]) + 4 * (k >= s.mid[2])];
        double lo[INNER_BOXES][2][3], hi[INNER_BOXES][2][3];
        const size_t n = w.entries.size();
        for (size_t m = 0; m < n; ++m) {
            const int e = w.entries[m];
            const int j = s.lo[1] + e / (BLOCK / 2) % BLOCK, k = s.lo[2] + e / (BLOCK / 2) / BLOCK;
            const int i = s.lo[0] + e % (BLOCK / 2) * 2 + ((s.lo[0] + j + k) & 1);
            const int c = (i >= s.mid[0]) + 2 * (j >= s.mid[1]) + 4 * (k >= s.mid[2]);
            if (kept >> c & 1) continue;
            const Vector3* d[2] = {&w.source[m], &w.target[m]};
            for (int side = 0; side < 2; ++side) {
                const double v[3] = {d[side]->x, d[side]->y, d[side]->z};
                for (int a = 0; a < 3; ++a) {
                    if (count[c] == 0 || v[a] < lo[c][side][a]) lo[c][side][a] = v[a];
                    if (count[c] == 0 || v[a] > hi[c][side][a]) hi[c][side][a] = v[a];
                }
            }
            ++count[c];
        }
        for (int c = 0; c < INNER_BOXES; ++c) {
            if (count[c] == 0 || count[c] != points[c]) continue;
            BoxShift shift;
            for (int side = 0; side < 2; ++side)
                for (int a = 0; a < 3; ++a)
                    outward_floats(lo[c][side][a], hi[c][side][a], &shift.lo[side][a], &shift.hi[side][a]);
            keep_points_shift(*cache, b, 1 + c, shift);
        }
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
        for (int side = 0; side < 2; ++side)
            if (!w.rest[side].entries.empty()) finish_screened(w, b, side);
        const int n = static_cast<int>(w.points.size());
        if (n == 0) return;
        w.values.resize(w.points.size());
        w.colours.resize(w.points.size());
        int16_t* values = page(b);
        if (!values) {
            clear(w);
            return;
        }
        if (!cache) {
            morph_samples(frame, w.points.data(), n, w.values.data(), w.colours.data(), w.batch);
            for (int m = 0; m < n; ++m) {
                values[w.entries[m]] = w.values[m];
                store_colour(b, w.entries[m], w.colours[m]);
            }
            exact += n;
            clear(w);
            return;
        }
        displacements(w, b);
        morph_displaced_values(frame, w.points.data(), w.source.data(), w.target.data(), n, w.values.data());
        keep_points_shifts(w, b);
        const bool kept = keep_near(w, b);
        if (need == COLOURS_LATER && !kept) need = ALL_COLOURS;
        for (int m = 0; m < n; ++m) values[w.entries[m]] = w.values[m];
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
        if (!cache) {
            // Afresh: the values again, and their colours.
            w.values.resize(w.points.size());
            w.colours.resize(w.points.size());
            morph_samples(frame, w.points.data(), n, w.values.data(), w.colours.data(), w.batch);
            for (int m = 0; m < n; ++m) store_colour(b, w.entries[m], w.colours[m]);
            clear(w);
            return;
        }
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
    // the cache numbers them), from the box's shift the cache keeps when it
    // has it; the shift used in *shift.
    FieldRange box_range(long b, int box, const PointBox& points, BoxShift* shift)
    {
        if (box == 0) {
            // A block whose sign holds at every time is settled once for
            // the sequence: first by every sphere's shift, then, once the
            // cache keeps it, by the block's own.
            AllTimes known = all_times(*cache, b);
            if (known == ALL_TIMES_UNTRIED) known = settle_all_times(b, points, bounds.any_shift, known);
            if (known == ALL_TIMES_NOT_BY_ANY_SHIFT && kept_box_shift(*cache, b, 0, shift))
                known = settle_all_times(b, points, *shift, known);
            if (known == ALL_TIMES_OUTSIDE) return {-FIELD_LIMIT, -1};
            if (known == ALL_TIMES_INSIDE) return {0, FIELD_LIMIT};
        }
        if (kept_box_shift(*cache, b, box, shift)) return shifted_range(bounds, points, *shift);
        if (box == 0) {
            // Far from both surfaces every sphere's shift at once settles
            // the block; its own shift waits for a frame that needs it.
            *shift = bounds.any_shift;
            const FieldRange any = shifted_range(bounds, points, *shift);
            if (any.hi < 0 || any.lo >= 0) return any;
        }
        *shift = box_shift(bounds, points);
        keep_box_shift(*cache, b, box, *shift);
        return shifted_range(bounds, points, *shift);
    }

    // What the shift proves of block b's sign at every time, kept.
    AllTimes settle_all_times(long b, const PointBox& points, const BoxShift& shift, AllTimes tried)
    {
        const FieldRange range = all_times_range(bounds, points, shift);
        const AllTimes known = range.hi < 0    ? ALL_TIMES_OUTSIDE
                               : range.lo >= 0 ? ALL_TIMES_INSIDE
                               : tried == ALL_TIMES_UNTRIED ? ALL_TIMES_NOT_BY_ANY_SHIFT
                                                            : ALL_TIMES_NOT_BY_OWN_SHIFT;
        keep_all_times(*cache, b, known);
        return known;
    }

    // Where the cache keeps (or can keep) the points' displacements of block
    // b, the points of an uncertain box of the smallest size are evaluated
    // exactly; so are those of an uncertain half of a frame without a cache
    // (below a half every box's bound would cost a pass over the spheres).
    // Else, in a block the full cache does not keep, a point's own range
    // costs about its displacement and is worth it.
    bool halving(long b) const
    {
        return !spheres || !cache || !cache_full(*cache) || block_kept(*cache, b);
    }

    // The points of [i0, i1) x [j0, j1) x [k0, k1): one sign for all when the
    // bounds prove it, else halves, and at the smallest size exact values
    // (collected in w) or, where they cost a displacement each, ranges of
    // their own first. With the cache a box smaller than a half is bounded
    // from the shift of the box it lies in (valid for every point of that
    // box): two distance reads, where a shift of its own would cost a pass
    // over the spheres.
    // Returns the sign given to every point (with the border rule: inside
    // only away from the lattice's border), or 0.
    int8_t settle(Worker& w, long b, int box, const BoxShift* inherited, int i0, int i1, int j0, int j1, int k0,
                  int k1, int smallest = 2)
    {
        const Vector3 lo = position(i0, j0, k0), hi = position(i1 - 1, j1 - 1, k1 - 1);
        const PointBox points{{lo.x, lo.y, lo.z}, {hi.x, hi.y, hi.z}};
        const bool cached = bounded && spheres && cache;
        // A box of the smallest size whose points' displacements are kept
        // costs less to evaluate than to bound: its few points take two
        // trilinear reads each, its bound dozens of voxels a field, and most
        // such boxes stay uncertain anyway. Where a displacement would cost
        // a pass over the spheres, the bound is worth it.
        if (cached && box < 0 && halving(b) && i1 - i0 <= smallest && j1 - j0 <= smallest && k1 - k0 <= smallest &&
            points_kept(b, i0, i1, j0, j1, k0, k1)) {
            add_points(w, i0, i1, j0, j1, k0, k1);
            return 0;
        }
        BoxShift shift;
        FieldRange range{-FIELD_LIMIT, FIELD_LIMIT};
        bool screen = false;  // a half without a cache, its sides' reads in `reads`
        FieldRange reads[2];
        if (cached) {
            // A half the cache cannot keep takes the block's shift.
            if (box < 0 || (box > 0 && !halving(b))) {
                shift = *inherited;
                range = shifted_range(bounds, points, shift);
            } else {
                range = box_range(b, box, points, &shift);
            }
        } else if (bounded && spheres && box > 0) {
            // First the block's shift (two reads), then the half's own (a
            // pass over the spheres), its reads kept to bound its points'
            // terms.
            range = shifted_range(bounds, points, *inherited);
            if (!(range.hi < 0 || range.lo >= 0)) {
                shift = box_shift(bounds, points);
                range = shifted_range(bounds, points, shift, reads);
                screen = true;
            }
        } else if (bounded && spheres) {
            // The block's own shift, kept for its halves.
            range = shifted_range(bounds, points, bounds.any_shift);
            if (!(range.hi < 0 || range.lo >= 0)) {
                shift = box_shift(bounds, points);
                range = shifted_range(bounds, points, shift);
            }
        } else if (bounded) {
            range = morph_range(bounds, points);
        }
        if (range.hi < 0 || range.lo >= 0) {
            const int16_t sign = range.hi < 0 ? -SIGN_ONLY_VALUE : SIGN_ONLY_VALUE;
            if (box == 0) {
                // The whole block: one sign, no page.
                out.block_sign[static_cast<size_t>(b)] = sign;
            } else if (int16_t* values = page(b)) {
                // A row's points lie in consecutive entries.
                for (int k = k0; k < k1; ++k)
                    for (int j = j0; j < j1; ++j) {
                        const int first = i0 + ((i0 + j + k) & 1), last = i1 - 1 - ((i1 - 1 + j + k) & 1);
                        if (first > last) continue;
                        std::fill(values + block_entry(first, j, k), values + block_entry(last, j, k) + 1, sign);
                    }
            }
            if (sign < 0) return -1;
            const bool touches_border = i0 == 0 || i1 >= out.lx - 1 || j0 <= 1 || j1 >= out.ly - 2 || k0 == 0 ||
                                        k1 >= out.lz - 1;
            return touches_border ? 0 : 1;
        }
        if (bounded && !cached && !halving(b)) {
            w.listed.clear();
            list_points(w, i0, i1, j0, j1, k0, k1);
            settle_listed(w, b, points);
            return 0;
        }
        if (!bounded || (i1 - i0 <= smallest && j1 - j0 <= smallest && k1 - k0 <= smallest)) {
            // Collected for one batch per block (the caller evaluates them).
            if (bounded && !halving(b))
                list_points(w, i0, i1, j0, j1, k0, k1);
            else if (screen)
                screen_points(w, b, reads, i0, i1, j0, j1, k0, k1);
            else
                add_points(w, i0, i1, j0, j1, k0, k1);
            return 0;
        }
        // Where the displacements are kept a half is evaluated whole until
        // the cache has its points' shift, which then bounds its smaller
        // boxes tightly.
        unsigned tight = ~0u;
        if (box == 0) {
            w.listed.clear();
            if (cached && halving(b)) tight = points_shifts_kept(*cache, b);
            if (bounded && spheres && !cache) tight = 0;
        }
        const int im = i1 - i0 > 2 ? (i0 + i1) / 2 : i1, jm = j1 - j0 > 2 ? (j0 + j1) / 2 : j1,
                  km = k1 - k0 > 2 ? (k0 + k1) / 2 : k1;
        const int is[3] = {i0, im, i1}, js[3] = {j0, jm, j1}, ks[3] = {k0, km, k1};
        for (int c = 0; c < 8; ++c) {
            const int a = c & 1, y = (c >> 1) & 1, d = (c >> 2) & 1;
            const int inner = box == 0 ? 1 + c : -1;
            if (is[a] < is[a + 1] && js[y] < js[y + 1] && ks[d] < ks[d + 1])
                settle(w, b, inner, &shift, is[a], is[a + 1], js[y], js[y + 1], ks[d], ks[d + 1],
                       box == 0 && !(tight >> c & 1) ? BLOCK / 2 : smallest);
        }
        // The block's points left uncertain, ranged with its spheres.
        if (box == 0 && !w.listed.empty()) settle_listed(w, b, points);
        return 0;
    }

    bool points_kept(long b, int i0, int i1, int j0, int j1, int k0, int k1) const
    {
        int entries[BLOCK_POINTS], n = 0;
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) entries[n++] = block_entry(i, j, k);
        return displacements_kept(*cache, b, entries, n);
    }

    void add_points(Worker& w, int i0, int i1, int j0, int j1, int k0, int k1)
    {
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) add(w, i, j, k);
    }

    void list_points(Worker& w, int i0, int i1, int j0, int j1, int k0, int k1)
    {
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) w.listed.push_back({i, j, k});
    }

    // The points of a half of block b in a frame without a cache, each by
    // one side's term first: the side whose read over the half is the wider
    // (weighed by its share of the blend), so that the other's bound leaves
    // the least doubt. Where that term and the half's bound on the other
    // side's read prove the sign, the point takes it without the other
    // side's spheres (most points of such a half); the others wait for it.
    void screen_points(Worker& w, long b, const FieldRange reads[2], int i0, int i1, int j0, int j1, int k0, int k1)
    {
        int16_t* values = page(b);
        if (!values) return;
        const double t = frame.t;
        const int known = (1 - t) * (reads[0].hi - reads[0].lo) >= t * (reads[1].hi - reads[1].lo) ? 0 : 1;
        w.screened.clear();
        w.block_points.clear();
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j)
                for (int i = i0 + ((i0 + j + k) & 1); i < i1; i += 2) {
                    w.screened.push_back({i, j, k});
                    w.block_points.push_back(position(i, j, k));
                }
        const int n = static_cast<int>(w.block_points.size());
        w.parts.resize(w.block_points.size());
        w.moved.resize(w.block_points.size());
        w.others.resize(w.block_points.size());
        morph_side_parts(frame, known, w.block_points.data(), n, w.parts.data(), w.moved.data(), w.others.data(),
                         w.batch);
        Worker::Rest& rest = w.rest[known];
        for (int m = 0; m < n; ++m) {
            const size_t at = static_cast<size_t>(m);
            const std::array<int, 3>& p = w.screened[at];
            const FieldRange range = blend_with_read(t, known, w.parts[at], reads[1 - known]);
            const int entry = block_entry(p[0], p[1], p[2]);
            if (range.hi < 0 || range.lo >= 0) {
                values[entry] = range.lo >= 0 ? SIGN_ONLY_VALUE : -SIGN_ONLY_VALUE;
            } else {
                rest.entries.push_back(entry);
                rest.parts.push_back(w.parts[at]);
                rest.moved.push_back(w.moved[at]);
                rest.others.push_back(w.others[at]);
            }
        }
    }

    // Where a frame without a cache works out a colour with the value: a
    // point further from the surface seldom ends a crossing edge, and its
    // colour then costs a pass over the spheres again.
    bool colour_now(int16_t value) const { return std::abs(value) <= colours_within * lattice.resolution; }

    // The exact values of the points screen_points left for them, all of
    // block b, from the terms of side `known`, and the colours of those near
    // the surface; the others' wait for the crossings (colours_later).
    void finish_screened(Worker& w, long b, int known)
    {
        Worker::Rest& rest = w.rest[known];
        const int n = static_cast<int>(rest.entries.size());
        w.values.resize(rest.entries.size());
        w.colours.resize(rest.entries.size());
        w.target.resize(rest.entries.size());
        if (int16_t* values = page(b)) {
            morph_other_parts(frame, known, rest.parts.data(), rest.others.data(), n, w.values.data(),
                              w.target.data(), w.batch);
            int near = 0;
            for (int m = 0; m < n; ++m) {
                values[rest.entries[m]] = w.values[m];
                if (!colour_now(w.values[m])) continue;
                rest.entries[near] = rest.entries[m];
                rest.moved[near] = rest.moved[m];
                w.target[near++] = w.target[m];
            }
            if (near < n) colours_later[static_cast<size_t>(b)] = 1;
            // Source first: the other side's points are the source's when
            // the target's term was known.
            const Vector3* source = known == 0 ? rest.moved.data() : w.target.data();
            const Vector3* target = known == 0 ? w.target.data() : rest.moved.data();
            morph_colours_between(frame, source, target, near, w.colours.data());
            for (int m = 0; m < near; ++m) store_colour(b, rest.entries[m], w.colours[m]);
            exact += n;
        }
        rest.entries.clear();
        rest.parts.clear();
        rest.moved.clear();
        rest.others.clear();
    }

    // Point by point with the spheres cut for block b's box: a sign where
    // the point's own range proves it, else an exact value.
    void settle_listed(Worker& w, long b, const PointBox& box)
    {
        int16_t* values = page(b);
        if (!values) {
            w.listed.clear();
            return;
        }
        w.block_points.clear();
        for (const std::array<int, 3>& p : w.listed) w.block_points.push_back(position(p[0], p[1], p[2]));
        const int n = static_cast<int>(w.block_points.size());
        w.ranges.resize(w.block_points.size());
        block_point_ranges(bounds, box, w.block_points.data(), n, w.ranges.data(), w.range_scratch);
        for (int m = 0; m < n; ++m) {
            const FieldRange& range = w.ranges[static_cast<size_t>(m)];
            const std::array<int, 3>& p = w.listed[static_cast<size_t>(m)];
            if (range.hi < 0 || range.lo >= 0)
                values[block_entry(p[0], p[1], p[2])] = range.lo >= 0 ? SIGN_ONLY_VALUE : -SIGN_ONLY_VALUE;
            else
                add(w, p[0], p[1], p[2]);
        }
        w.listed.clear();
    }

};

}  // namespace

void reset_frame_values(FrameValues* values, int lx, int ly, int lz)
{
    FrameValues& v = *values;
    v.lx = lx;
    v.ly = ly;
    v.lz = lz;
    v.half = (lx + 1) / 2;
    v.bx = (lx + VALUE_BLOCK - 1) / VALUE_BLOCK;
    v.by = (ly + VALUE_BLOCK - 1) / VALUE_BLOCK;
    const size_t blocks = static_cast<size_t>(v.bx) * v.by * ((lz + VALUE_BLOCK - 1) / VALUE_BLOCK);
    const size_t slots = static_cast<size_t>(v.half) * ly * lz;
    v.value_blocks.clear();
    v.value_blocks.resize(blocks);
    v.block_sign.assign(blocks, -SIGN_ONLY_VALUE);
    v.colour_blocks.clear();
    v.colour_blocks.resize(blocks);
    v.crossing.assign((slots + 63) / 64, 0);
}

int16_t* value_page(FrameValues& values, size_t block)
{
    std::unique_ptr<int16_t[]>& page = values.value_blocks[block];
    if (!page) {
        page.reset(new (std::nothrow) int16_t[BLOCK_POINTS]);
        if (page) std::fill(page.get(), page.get() + BLOCK_POINTS, values.block_sign[block]);
    }
    return page.get();
}

int use_colours_now_within(int units) { return colours_now_within.exchange(units); }

int64_t frame_values_working_bytes(int lx, int ly, int lz)
{
    const int64_t slots = static_cast<int64_t>((lx + 1) / 2) * ly * lz;
    // The crossing bits, and beside them while the crossings are found two
    // bits a slot in rows.
    const int64_t row_words = static_cast<int64_t>(ly) * lz * (((lx + 1) / 2 + 63) / 64);
    const int64_t bits = (slots + 63) / 64 * 8 + 2 * row_words * 8;
    // Colours only in the blocks the mesh goes through, counted as one for
    // every 32 triangles of the frame's estimated mesh (a block the surface
    // crosses holds about a hundred).
    const int64_t blocks = static_cast<int64_t>((lx + VALUE_BLOCK - 1) / VALUE_BLOCK) *
                           ((ly + VALUE_BLOCK - 1) / VALUE_BLOCK) * ((lz + VALUE_BLOCK - 1) / VALUE_BLOCK);
    const int64_t coloured = std::min(blocks, frame_mesh_triangles(lx, ly, lz) / 32 + 1);
    // Values of their own in twice as many: the blocks beside those the
    // surface crosses, and between the two sides' surfaces, hold some too
    // (armadillo to bunny00: 57% of the blocks at 128 points, 37% at 256).
    const int64_t paged = std::min(blocks, 2 * coloured);
    const int64_t colour_bytes = BLOCK_POINTS * static_cast<int64_t>(sizeof(uint32_t));
    const int64_t value_bytes = BLOCK_POINTS * static_cast<int64_t>(sizeof(int16_t));
    // Per block: its tables' entries (two pointers and a sign).
    const int64_t tables = blocks * static_cast<int64_t>(2 * sizeof(void*) + sizeof(int16_t));
    return bits + tables + coloured * colour_bytes + paged * value_bytes;
}

bool compute_frame_values(const MorphFrame& frame, const FieldSummary* summaries, const LatticeField& lattice,
                          int threads, FrameValues* values, FrameValueStats* stats, const std::atomic<bool>* cancel,
                          DisplacementCache* displacements)
{
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    FrameValues& out = *values;
    const size_t slots = static_cast<size_t>((lattice.lx + 1) / 2) * lattice.ly * lattice.lz;
    static const FieldSummary none[2];
    const bool spheres = !frame.inputs->quick_morph && frame.t != 0.0 && frame.t != 1.0;
    const bool cached = spheres && displacements && displacements_shared(*frame.inputs) &&
                        cache_serves(*displacements, lattice);
    Engine e{frame, lattice, out, morph_bounds_frame(*frame.inputs, summaries ? summaries : none, frame.linked, frame.t),
             summaries != nullptr, spheres, cached ? displacements : nullptr, {}, {}, colours_now_within.load(), {},
             {}, {}};
    // Blocks of BLOCK positions a side, bounded and settled.
    const int bx = (lattice.lx + BLOCK - 1) / BLOCK, by = (lattice.ly + BLOCK - 1) / BLOCK,
              bz = (lattice.lz + BLOCK - 1) / BLOCK;
    try {
        reset_frame_values(&out, lattice.lx, lattice.ly, lattice.lz);
        e.uniform.assign(static_cast<size_t>(bx) * by * bz, 0);
        e.colours_later.assign(static_cast<size_t>(bx) * by * bz, 0);
    } catch (const std::bad_alloc&) {
        out = FrameValues{};
        return false;
    }

    std::vector<Worker> workers(static_cast<size_t>(std::max(threads, 1)));
    parallel_for(static_cast<long>(bx) * by * bz, threads, [&](long b, int worker) {
        if (cancelled()) return;
        const int i = static_cast<int>(b % bx) * BLOCK, j = static_cast<int>(b / bx % by) * BLOCK,
                  k = static_cast<int>(b / bx / by) * BLOCK;
        Worker& w = workers[static_cast<size_t>(worker)];
        e.uniform[static_cast<size_t>(b)] = e.settle(w, b, 0, nullptr, i, std::min(i + BLOCK, out.lx), j,
                                                     std::min(j + BLOCK, out.ly), k, std::min(k + BLOCK, out.lz));
        e.evaluate(w, b, COLOURS_LATER);
    });
    const long settled = e.exact;
    if (cancelled() || e.no_memory) return false;

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
    RowBits near;
    // The points of block b that near marks, in the order of for_points: a
    // block's row of points is a few bits of one word.
    auto for_near_points = [&](long b, const auto& visit) {
        const int i0 = static_cast<int>(b % bx) * BLOCK, j0 = static_cast<int>(b / bx % by) * BLOCK,
                  k0 = static_cast<int>(b / bx / by) * BLOCK;
        const int i1 = std::min(i0 + BLOCK, out.lx), j1 = std::min(j0 + BLOCK, out.ly), k1 = std::min(k0 + BLOCK, out.lz);
        for (int k = k0; k < k1; ++k)
            for (int j = j0; j < j1; ++j) {
                const int parity = (j + k) & 1, first = i0 + parity;
                if (first >= i1) continue;
                const int s0 = first / 2, s1 = (i1 - 1 - ((i1 - 1 + j + k) & 1)) / 2;
                const uint64_t word = near.bits[(static_cast<size_t>(k) * out.ly + j) * near.words_per_row + s0 / 64];
                uint64_t marked = word >> (s0 & 63) & ((uint64_t{2} << (s1 - s0)) - 1);
                for (; marked; marked &= marked - 1) visit(2 * (s0 + __builtin_ctzll(marked)) + parity, j, k);
            }
    };
    const long block_count = static_cast<long>(bx) * by * bz;
    try {
        find_crossings(out, threads, &near);
    } catch (const std::bad_alloc&) {
        return false;
    }
    parallel_for(block_count, threads, [&](long b, int worker) {
        if (quiet(b)) return;
        Worker& w = workers[static_cast<size_t>(worker)];
        // First the colours the bounding pass left for later, of the ends of
        // crossing edges: until this block's values below are in, the
        // points it worked out are the only ones with values.
        if (e.colours_later[static_cast<size_t>(b)]) {
            const int16_t* values = out.value_blocks[static_cast<size_t>(b)].get();
            for_points(b, [&](int i, int j, int k) {
                const size_t at = out.index(i, j, k);
                const int entry = block_entry(i, j, k);
                // Without a cache those near the surface have theirs.
                if (e.crosses(at) && e.computed(b, entry) && (e.cache || !e.colour_now(values[entry])))
                    e.add(w, i, j, k);
            });
            e.colour(w, b);
        }
        for_near_points(b, [&](int i, int j, int k) {
            if (!e.computed(b, block_entry(i, j, k))) e.add(w, i, j, k);
        });
        e.evaluate(w, b, CROSSING_COLOURS);
    });
    if (cancelled() || e.no_memory) return false;
    if (stats) {
        stats->points = static_cast<long>(slots);
        stats->exact = e.exact;
        stats->exact_afterwards = e.exact - settled;
        stats->blocks = static_cast<long>(out.value_blocks.size());
        stats->value_blocks = static_cast<long>(
            std::count_if(out.value_blocks.begin(), out.value_blocks.end(), [](const auto& page) { return page != nullptr; }));
    }
    return true;
}

}  // namespace kestrane
