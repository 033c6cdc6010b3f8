// The fast morph evaluation against its references, on random morphs: the
// vectorised sphere sums and the batch evaluation against sphere_displacement
// and morph_sample bit for bit on every path this processor runs, and the
// certified bounds against exact values.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "shape/field_summary.h"
#include "shape/linked_spheres.h"
#include "shape/morph_batch.h"
#include "shape/morph_bounds.h"
#include "shape/sphere_sums.h"
#include "shape_support.h"

using namespace kestrane;

namespace {

class FastMorphTest : public ShapeTest {
protected:
    std::mt19937 rng{20261209};

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

    // Two random ball volumes of n voxels a side, transformed, with spheres
    // linked (or random links and shifts), and maybe manual vectors.
    void random_morph(int n, bool quick, int vectors)
    {
        make_ball(0, n, uniform(n * 0.3, n * 0.5), uniform(n * 0.3, n * 0.6), n / 2.0, uniform(n * 0.15, n * 0.3),
                  random_colour(rng));
        const double r = uniform(n * 0.12, n * 0.25);
        make_capsule(1, n, n * 0.35, n * 0.6, uniform(n * 0.4, n * 0.6), n / 2.0, r, random_colour(rng));
        distance_transform(0);
        distance_transform(1);
        app.quick_morph = quick;
        app.locality = uniform(0.2, 0.8);
        for (int i = 0; i < vectors; ++i)
            app.vectors.push_back({{uniform(2, n - 3), uniform(2, n - 3), uniform(2, n - 3)},
                                   {uniform(2, n - 3), uniform(2, n - 3), uniform(2, n - 3)}});
        if (quick) return;
        // Extracted and linked spheres, then many more placed at random, some
        // unlinked, with shifts near and far, as real shapes with flat sides
        // and edits leave them.
        ASSERT_EQ(extract_spheres(0), 0);
        ASSERT_EQ(extract_spheres(1), 0);
        ASSERT_EQ(correspond_spheres(), 0);
        for (int v = 0; v < 2; ++v) {
            Volume& volume = app.volumes[v];
            const int extra = 40 + static_cast<int>(rng() % 80);
            for (int i = 0; i < extra; ++i) {
                const auto at = [&] { return static_cast<int16_t>(1 + rng() % (n - 2)); };
                volume.spheres.push_back(Sphere{at(), at(), at(), static_cast<int16_t>(1 + rng() % 150),
                                                static_cast<uint8_t>(rng() % 4 != 0)});
                volume.sphere_shift.push_back(rng() % 9 == 0 ? Vector3{uniform(-30, 30), uniform(-30, 30), uniform(-30, 30)}
                                                             : Vector3{uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)});
            }
            volume.sphere_count = static_cast<int32_t>(volume.spheres.size());
        }
    }

    Vector3 random_point(int n) { return {uniform(-3, n + 2), uniform(-3, n + 2), uniform(-3, n + 2)}; }
};

const SumsPath PATHS[] = {SumsPath::Plain, SumsPath::Sse2, SumsPath::Avx2, SumsPath::Avx512};

bool runs(SumsPath p) { return static_cast<int>(p) <= static_cast<int>(widest_sums_path()); }

TEST_F(FastMorphTest, VectorSumsEqualTheSphereLoopOnEveryPath)
{
    size_t spheres = 0;
    for (int trial = 0; trial < 6; ++trial) {
        random_morph(24, false, trial % 3);
        for (int side = 0; side < 2; ++side) {
            const SphereSet set = sphere_set(side);
            const LinkedSpheres linked = linked_spheres(set);
            spheres += linked.count;
            std::vector<Vector3> q(61);  // not a whole number of lane groups
            std::vector<int16_t> d(q.size());
            for (size_t k = 0; k < q.size(); ++k) {
                q[k] = random_point(24);
                d[k] = sample_distance(side, q[k].x, q[k].y, q[k].z);
            }
            for (SumsPath path : PATHS) {
                if (!runs(path)) continue;
                const SumsPath before = use_sums_path(path);
                std::vector<Vector3> fast(q.size());
                sphere_displacements(linked, q.data(), d.data(), static_cast<int>(q.size()), fast.data());
                use_sums_path(before);
                for (size_t k = 0; k < q.size(); ++k) {
                    Vector3 slow;
                    sphere_displacement(side, q[k], d[k], &slow);
                    ASSERT_EQ(std::memcmp(&slow, &fast[k], sizeof slow), 0)
                        << "trial " << trial << " side " << side << " path " << int(path) << " point " << k;
                }
            }
        }
        reset_globals();
    }
    EXPECT_GT(spheres, 300u);
}

TEST_F(FastMorphTest, BatchSamplesEqualMorphSampleBitForBit)
{
    for (int trial = 0; trial < 8; ++trial) {
        random_morph(22, trial % 4 == 3, trial % 3);
        const MorphInputs in = inputs();
        for (double t : {0.0, 1.0, 0.37, 1.0 / 3, uniform(0, 1)}) {
            const MorphFrame frame = morph_frame(in, t);
            std::vector<Vector3> p(37);
            for (Vector3& x : p) x = random_point(22);
            std::vector<int16_t> values(p.size());
            std::vector<uint32_t> colours(p.size());
            MorphBatch scratch;
            for (SumsPath path : PATHS) {
                if (!runs(path)) continue;
                const SumsPath before = use_sums_path(path);
                morph_samples(frame, p.data(), static_cast<int>(p.size()), values.data(), colours.data(), scratch);
                use_sums_path(before);
                for (size_t k = 0; k < p.size(); ++k) {
                    uint32_t colour;
                    ASSERT_EQ(values[k], morph_sample(p[k], t, &colour)) << trial << " t " << t << " k " << k;
                    ASSERT_EQ(colours[k], colour) << trial << " t " << t << " k " << k;
                }
            }
        }
        reset_globals();
    }
}

// The weights' bounds run in vector lanes of every width too: each path
// gives the same shifts, so the settled signs never depend on the processor.
TEST_F(FastMorphTest, BoxShiftsEqualOnEveryPath)
{
    for (int trial = 0; trial < 3; ++trial) {
        random_morph(22, false, 0);
        const MorphInputs in = inputs();
        const FieldSummary summaries[2] = {summarise_field(field(0)), summarise_field(field(1))};
        const MorphFrame frame = morph_frame(in, 0.5);
        const MorphBoundsFrame bounds = morph_bounds_frame(in, summaries, frame.linked, 0.5);
        for (int b = 0; b < 30; ++b) {
            const Vector3 c = random_point(22);
            const double size = uniform(0, 6);
            const PointBox box{{c.x, c.y, c.z}, {c.x + size, c.y + size, c.z + size * 0.5}};
            const SumsPath before = use_sums_path(SumsPath::Sse2);
            const BoxShift reference = box_shift(bounds, box);
            for (SumsPath path : PATHS) {
                if (!runs(path)) continue;
                use_sums_path(path);
                const BoxShift shift = box_shift(bounds, box);
                EXPECT_EQ(0, std::memcmp(&shift, &reference, sizeof shift)) << "path " << static_cast<int>(path);
            }
            use_sums_path(before);
        }
        reset_globals();
    }
}

// Every exact value at points of a box lies in the box's range, and in each
// point's own range.
TEST_F(FastMorphTest, BoundsHoldEveryExactValue)
{
    long certain = 0, checked = 0, all_times_certain = 0, screened = 0;
    for (int trial = 0; trial < 10; ++trial) {
        random_morph(22, trial % 3 == 2, trial % 2);
        const MorphInputs in = inputs();
        const FieldSummary summaries[2] = {summarise_field(field(0)), summarise_field(field(1))};
        for (double t : {0.0, 1.0, 0.25, uniform(0, 1)}) {
            const MorphFrame frame = morph_frame(in, t);
            const MorphBoundsFrame bounds = morph_bounds_frame(in, summaries, frame.linked, t);
            PointRangeScratch scratch;
            for (int b = 0; b < 40; ++b) {
                const Vector3 c = random_point(22);
                const double size = uniform(0, b % 2 ? 1.5 : 6);
                const PointBox box{{c.x, c.y, c.z}, {c.x + size, c.y + size * 0.7, c.z + size}};
                const FieldRange range = morph_range(bounds, box);
                certain += range.hi < 0 || range.lo >= 0;
                std::vector<Vector3> points;
                for (int k = 0; k < 12; ++k)
                    points.push_back({uniform(box.lo[0], box.hi[0]), uniform(box.lo[1], box.hi[1]),
                                      uniform(box.lo[2], box.hi[2])});
                points.push_back({box.lo[0], box.lo[1], box.lo[2]});
                points.push_back({box.hi[0], box.hi[1], box.hi[2]});
                std::vector<FieldRange> own(points.size());
                const bool spheres = !in.quick_morph && t != 0.0 && t != 1.0;
                if (spheres)
                    block_point_ranges(bounds, box, points.data(), static_cast<int>(points.size()), own.data(), scratch);
                // Without manual vectors a box's shift holds at every time,
                // and so do the ranges over all times from it.
                const bool every_time = spheres && in.vectors.count == 0;
                FieldRange all[2] = {};
                BoxShift shift{};
                if (every_time) {
                    shift = box_shift(bounds, box);
                    all[0] = all_times_range(bounds, box, shift);
                    all[1] = all_times_range(bounds, box, bounds.any_shift);
                    all_times_certain += all[0].hi < 0 || all[0].lo >= 0;
                }
                // A point's term of either side with the box's bound on the
                // other side's read holds its value too, vectors or not; the
                // other side's term then finishes the value and colour.
                std::vector<double> parts[2];
                std::vector<int16_t> finished[2];
                std::vector<uint32_t> finished_colours[2];
                FieldRange reads[2] = {};
                if (spheres) {
                    MorphBatch batch;
                    const int n = static_cast<int>(points.size());
                    shifted_range(bounds, box, every_time ? shift : box_shift(bounds, box), reads);
                    for (int known = 0; known < 2; ++known) {
                        std::vector<Vector3> moved(points.size()), others(points.size()), moved_others(points.size());
                        parts[known].resize(points.size());
                        finished[known].resize(points.size());
                        finished_colours[known].resize(points.size());
                        morph_side_parts(frame, known, points.data(), n, parts[known].data(), moved.data(),
                                         others.data(), batch);
                        morph_other_parts(frame, known, parts[known].data(), others.data(), n, finished[known].data(),
                                          moved_others.data(), batch);
                        morph_colours_between(frame, known == 0 ? moved.data() : moved_others.data(),
                                              known == 0 ? moved_others.data() : moved.data(), n,
                                              finished_colours[known].data());
                    }
                }
                const double other_t = uniform(0.001, 0.999);
                for (size_t k = 0; k < points.size(); ++k) {
                    uint32_t colour;
                    const int v = morph_sample(points[k], t, &colour);
                    ASSERT_LE(range.lo, v) << trial << " t " << t;
                    ASSERT_GE(range.hi, v) << trial << " t " << t;
                    if (spheres) {
                        ASSERT_LE(own[k].lo, v) << trial << " t " << t << " point " << k;
                        ASSERT_GE(own[k].hi, v) << trial << " t " << t << " point " << k;
                        for (int known = 0; known < 2; ++known) {
                            ASSERT_EQ(v, finished[known][k]) << trial << " t " << t << " point " << k << " " << known;
                            ASSERT_EQ(colour, finished_colours[known][k]) << trial << " t " << t << " point " << k;
                            const FieldRange blend = blend_with_read(t, known, parts[known][k], reads[1 - known]);
                            ASSERT_LE(blend.lo, v) << trial << " t " << t << " point " << k << " " << known;
                            ASSERT_GE(blend.hi, v) << trial << " t " << t << " point " << k << " " << known;
                            screened += blend.hi < 0 || blend.lo >= 0;
                        }
                    }
                    if (every_time) {
                        // The box's shift holds every point's own displacements.
                        Vector3 moved[2];
                        MorphBatch batch;
                        morph_displacements(frame, &points[k], 1, &moved[0], &moved[1], batch);
                        for (int side = 0; side < 2; ++side) {
                            const double d[3] = {moved[side].x, moved[side].y, moved[side].z};
                            for (int a = 0; a < 3; ++a) {
                                ASSERT_LE(shift.lo[side][a], d[a]) << trial << " side " << side << " axis " << a;
                                ASSERT_GE(shift.hi[side][a], d[a]) << trial << " side " << side << " axis " << a;
                            }
                        }
                        const int other = morph_sample(points[k], other_t, &colour);
                        for (const FieldRange& r : all) {
                            ASSERT_LE(r.lo, v) << trial << " t " << t;
                            ASSERT_GE(r.hi, v) << trial << " t " << t;
                            ASSERT_LE(r.lo, other) << trial << " t " << other_t;
                            ASSERT_GE(r.hi, other) << trial << " t " << other_t;
                        }
                    }
                    ++checked;
                }
            }
        }
        reset_globals();
    }
    // The bounds decide something: a good share of boxes get one sign.
    EXPECT_GT(certain, 200);
    EXPECT_GT(all_times_certain, 3);
    EXPECT_GT(screened, 1000);
    EXPECT_GT(checked, 20000);
}

}  // namespace
