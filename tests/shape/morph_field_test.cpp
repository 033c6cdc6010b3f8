#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "shape/correspondence.h"
#include "shape/distance_transform.h"
#include "shape/morph_field.h"
#include "shape/sphere_extraction.h"
#include "shape_support.h"

using namespace kestrane;

// Counts heap allocations while enabled, to show that sampling allocates nothing.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

// Every plain form is replaced, so that all of them pair with free. GCC
// cannot see that pairing and warns about malloc beside delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (counting) ++allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

class MorphFieldTest : public ShapeTest {};

TEST_F(MorphFieldTest, BlendTruncatesEachSignedByteAndKeepsTheSecondFlag)
{
    uint32_t a = make_colour(31, 63, 0xfd, 9), b = make_colour(0, 10, 0, 200);
    uint32_t half = blend_colour(0.5, a, b);
    EXPECT_EQ(colour_byte(half, 0), 15);   // 15.5
    EXPECT_EQ(colour_byte(half, 1), 36);   // 36.5
    EXPECT_EQ(colour_byte(half, 2), -1);   // -1.5 read as signed, toward zero
    EXPECT_EQ(colour_flag(half), 200);
    EXPECT_EQ(blend_colour(0, a, b), b);
    EXPECT_EQ(blend_colour(1, a, b), make_colour(31, 63, 0xfd, 200));
    EXPECT_EQ(colour_byte(blend_colour(0.9, make_colour(1, 0, 0), make_colour(0, 0, 0)), 0), 0);
    // A non-number keeps the second colour rather than giving garbage.
    EXPECT_EQ(blend_colour(NAN, a, b), b);
}

TEST_F(MorphFieldTest, SampleColourInterpolatesWithTruncationAndTheFirstCornersFlag)
{
    make_volume(0, 6, 6, 6, 0, make_colour(0, 0, 0, 1));
    voxel(0, 2, 2, 2).colour = make_colour(10, 20, 30, 7);
    voxel(0, 3, 2, 2).colour = make_colour(21, 41, 0, 8);
    EXPECT_EQ(sample_colour(0, 2, 2, 2), make_colour(10, 20, 30, 7));
    EXPECT_EQ(sample_colour(0, 2.5, 2, 2), make_colour(15, 30, 15, 7));
    // Each step truncates: a quarter along y of that halfway colour.
    EXPECT_EQ(sample_colour(0, 2.5, 2.25, 2), make_colour(11, 22, 11, 7));
    EXPECT_EQ(sample_colour(0, 3, 2, 2), make_colour(21, 41, 0, 8));
    // Outside the inner box: projected along the line from its centre.
    voxel(0, 1, 2, 2).colour = make_colour(5, 5, 5, 3);
    // (-10, 2.5, 2.5) is on the centre line and lands on (1, 2.5, 2.5): 5
    // halves to 2 along y and to 1 along z.
    EXPECT_EQ(sample_colour(0, -10, 2.5, 2.5), make_colour(1, 1, 1, 3));
    EXPECT_EQ(sample_colour(1, 2, 2, 2), blank_colour());  // no grid
}

// A capsule source and the same capsule moved along x as target.
void moved_capsules(double shift)
{
    make_capsule(0, 31, 8, 12, 15, 15, 5, make_colour(31, 0, 0));
    distance_transform(0);
    make_capsule(1, 31, 8 + shift, 12 + shift, 15, 15, 5, make_colour(0, 0, 31));
    distance_transform(1);
    ASSERT_EQ(extract_spheres(0), 0);
    ASSERT_EQ(extract_spheres(1), 0);
}

TEST_F(MorphFieldTest, FirstAndLastFramesAreTheSourceAndTargetFields)
{
    moved_capsules(8);
    app.vectors.push_back(CorrespondenceVector{{10, 15, 15}, {19, 16, 14}});
    ASSERT_EQ(correspond_spheres(), 0);
    for (bool quick : {false, true}) {
        app.quick_morph = quick;
        for (Vector3 p : {Vector3{10, 15, 15}, Vector3{3.3, 7.25, 20.5}, Vector3{-4, 15, 40}, Vector3{29, 29, 29}}) {
            uint32_t colour;
            EXPECT_EQ(morph_sample(p, 0, &colour), sample_distance(0, p.x, p.y, p.z));
            EXPECT_EQ(colour, sample_colour(0, p.x, p.y, p.z));
            EXPECT_EQ(morph_sample(p, 1, &colour), sample_distance(1, p.x, p.y, p.z));
            EXPECT_EQ(colour, sample_colour(1, p.x, p.y, p.z));
        }
    }
}

TEST_F(MorphFieldTest, WithoutVectorsOrLinksBothVariantsCrossDissolve)
{
    moved_capsules(6);  // spheres extracted but never linked
    for (bool quick : {false, true}) {
        app.quick_morph = quick;
        for (double t : {0.1, 0.5, 0.75}) {
            for (Vector3 p : {Vector3{12, 15, 15}, Vector3{15.5, 14.25, 16}, Vector3{-1, 3, 3}}) {
                int16_t s = sample_distance(0, p.x, p.y, p.z), g = sample_distance(1, p.x, p.y, p.z);
                uint32_t colour;
                EXPECT_EQ(morph_sample(p, t, &colour), static_cast<int16_t>(std::trunc((1 - t) * s + t * g)));
                EXPECT_EQ(colour, blend_colour(t, sample_colour(1, p.x, p.y, p.z), sample_colour(0, p.x, p.y, p.z)));
            }
        }
    }
}

TEST_F(MorphFieldTest, SphereDisplacementIsTheWeightedMeanOfLinkedShifts)
{
    make_volume(0, 12, 12, 12, 44);
    Vector3 d;
    EXPECT_EQ(sphere_displacement(0, {5, 5, 5}, 176, &d), 0);  // no spheres
    EXPECT_EQ(d.x, 0);
    app.volumes[0].spheres = {{5, 5, 5, 44, 1}, {8, 5, 5, 44, 0}};
    app.volumes[0].sphere_shift = {{2, -1, 0.5}, {100, 100, 100}};
    app.volumes[0].sphere_count = 2;
    EXPECT_EQ(sphere_displacement(0, {6, 5, 5}, 100, &d), 1);
    EXPECT_DOUBLE_EQ(d.x, 2);
    EXPECT_DOUBLE_EQ(d.y, -1);
    EXPECT_DOUBLE_EQ(d.z, 0.5);
    // Two linked: q on the first one's surface at depth 0 has e = 0 there.
    app.volumes[0].spheres[1].linked = 1;
    app.volumes[0].sphere_shift[1] = {4, 0, 0};
    EXPECT_EQ(sphere_displacement(0, {7, 5, 5}, 0, &d), 1);
    double w1 = 1 / (0.0 + 100), w2 = 1 / (22.0 * 22 + 100);  // e = 44 - 44, e = 22 - 44
    EXPECT_NEAR(d.x, (2 * w1 + 4 * w2) / (w1 + w2), 1e-12);
    // None linked: nothing moves.
    app.volumes[0].spheres[0].linked = app.volumes[0].spheres[1].linked = 0;
    EXPECT_EQ(sphere_displacement(0, {7, 5, 5}, 0, &d), 0);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 0);
}

TEST_F(MorphFieldTest, LinkedSpheresCarryTheShapeAlongUnlessMorphingIsQuick)
{
    // Halfway between two capsules 10 voxels apart a cross-dissolve is thin;
    // the sphere-based morph has the whole moved capsule there.
    moved_capsules(10);
    ASSERT_EQ(correspond_spheres(), 0);
    Vector3 middle{15, 15, 15};
    uint32_t colour;
    app.quick_morph = true;
    int16_t quick = morph_sample(middle, 0.5, &colour);
    app.quick_morph = false;
    int16_t spheres = morph_sample(middle, 0.5, &colour);
    EXPECT_GT(spheres, 4 * 22 * 3);
    EXPECT_GT(spheres, quick + 4 * 22 * 2);

    // Quick morphing reads no sphere data: wild shifts on every sphere leave
    // it a plain cross-dissolve.
    for (int v = 0; v < 2; ++v)
        for (size_t i = 0; i < app.volumes[v].spheres.size(); ++i) {
            app.volumes[v].spheres[i].linked = 1;
            app.volumes[v].sphere_shift[i] = {50, -50, 50};
        }
    Vector3 p{12, 15, 15};
    int16_t dissolve = static_cast<int16_t>(
        std::trunc(0.5 * sample_distance(0, p.x, p.y, p.z) + 0.5 * sample_distance(1, p.x, p.y, p.z)));
    EXPECT_NE(morph_sample(p, 0.5, &colour), dissolve);
    app.quick_morph = true;
    EXPECT_EQ(morph_sample(p, 0.5, &colour), dissolve);
}

TEST_F(MorphFieldTest, SamplingAllocatesNothing)
{
    moved_capsules(6);
    app.vectors.push_back(CorrespondenceVector{{10, 15, 15}, {16, 15, 15}});
    ASSERT_EQ(correspond_spheres(), 0);
    long total = 0;
    uint32_t colour;
    for (bool quick : {false, true}) {
        app.quick_morph = quick;
        allocations = 0;
        counting = true;
        for (double t : {0.0, 0.3, 1.0})
            for (double x = -2; x < 33; x += 3.7) total += morph_sample({x, 15.5, 14}, t, &colour);
        counting = false;
        EXPECT_EQ(allocations.load(), 0) << (quick ? "quick" : "spheres");
    }
    EXPECT_NE(total, 0);
}

}  // namespace
