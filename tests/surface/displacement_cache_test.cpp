// The cache of displacements and box shifts: what is kept comes back, what
// does not fit the budget is not kept, and a cache serves only its lattice.
#include "surface/displacement_cache.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

LatticeField lattice(int lx, int ly, int lz)
{
    LatticeField f;
    f.lx = lx, f.ly = ly, f.lz = lz, f.resolution = 1;
    return f;
}

BoxShift shift_of(float v)
{
    BoxShift s;
    for (int side = 0; side < 2; ++side)
        for (int a = 0; a < 3; ++a) s.lo[side][a] = -v, s.hi[side][a] = v + a;
    return s;
}

TEST(DisplacementCache, GivesBackWhatItKeptAndOnlyThat)
{
    auto cache = make_displacement_cache(lattice(20, 17, 9), 1 << 20);
    ASSERT_TRUE(cache);
    EXPECT_EQ(displacement_block(*cache, 19, 16, 8), 3 * 3 * 2 - 1);  // the last of 3 x 3 x 2 blocks
    EXPECT_EQ(block_entry(9, 10, 15), ((7 * 8) + 2) * 4 + 0);
    const int entries[3] = {0, 5, BLOCK_POINTS - 1};
    const Vector3 source[3] = {{1, 2, 3}, {4, 5, 6}, {-1e300, 0, 1e-300}}, target[3] = {{7, 8, 9}, {0, 0, 0}, {3, 2, 1}};
    EXPECT_TRUE(keep_displacements(*cache, 4, entries, source, target, 3));
    const int asked[4] = {5, 7, BLOCK_POINTS - 1, 0};
    Vector3 s[4], t[4];
    uint8_t found[4];
    kept_displacements(*cache, 4, asked, 4, s, t, found);
    EXPECT_EQ(found[0] + found[1] * 2 + found[2] * 4 + found[3] * 8, 1 + 4 + 8);
    EXPECT_EQ(s[0].x, 4);
    EXPECT_EQ(t[0].x, 0);
    EXPECT_EQ(s[2].x, -1e300);
    EXPECT_EQ(s[2].z, 1e-300);
    EXPECT_EQ(t[3].z, 9);
    // Another block keeps nothing of it.
    kept_displacements(*cache, 5, asked, 4, s, t, found);
    EXPECT_EQ(found[0] + found[1] + found[2] + found[3], 0);
}

TEST(DisplacementCache, KeepsNothingBeyondItsBudget)
{
    const LatticeField l = lattice(16, 16, 16);
    EXPECT_FALSE(make_displacement_cache(l, 10));  // not even the table
    const int64_t table = 8 * (sizeof(void*) + 2 + sizeof(BoxShift));
    auto cache = make_displacement_cache(l, table + sizeof(DisplacementBlock) + 2 * 2 * sizeof(Vector3));
    ASSERT_TRUE(cache);
    const int entries[3] = {1, 2, 3};
    const Vector3 v[3] = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
    EXPECT_FALSE(keep_displacements(*cache, 0, entries, v, v, 3));  // two fit
    EXPECT_TRUE(cache_full(*cache));
    Vector3 s[3], t[3];
    uint8_t found[3];
    kept_displacements(*cache, 0, entries, 3, s, t, found);
    EXPECT_EQ(found[0] + found[1] + found[2], 2);
    EXPECT_FALSE(found[2]);
    // A block it cannot make keeps no box either.
    keep_box_shift(*cache, 1, 5, shift_of(1));
    BoxShift back;
    EXPECT_FALSE(kept_box_shift(*cache, 1, 5, &back));
}

// What the arrays hold, their room included, stays within the budget, and
// the budget is used to its end.
TEST(DisplacementCache, ItsArraysHoldNoMoreThanTheBudget)
{
    const LatticeField l = lattice(16, 16, 16);
    const int64_t table = 8 * (sizeof(void*) + 2 + sizeof(BoxShift)), point = 2 * sizeof(Vector3);
    auto cache = make_displacement_cache(l, table + sizeof(DisplacementBlock) + 40 * point);
    ASSERT_TRUE(cache);
    int entries[10];
    Vector3 v[10];
    int kept = 0, calls = 0;
    for (bool all = true; all; ++calls) {
        for (int m = 0; m < 10; ++m) {
            entries[m] = calls * 10 + m;
            v[m] = {double(entries[m]), 0, 0};
        }
        all = keep_displacements(*cache, 0, entries, v, v, 10);
        const DisplacementBlock& block = *cache->blocks[0].load();
        kept = static_cast<int>(block.source.size());
        EXPECT_LE(table + int64_t(sizeof(DisplacementBlock)) + int64_t(block.source.capacity()) * point, cache->budget);
        EXPECT_EQ(cache->bytes.load(), table + int64_t(sizeof(DisplacementBlock)) + int64_t(block.source.capacity()) * point);
    }
    EXPECT_EQ(kept, 40);
    EXPECT_EQ(calls, 5);  // four calls kept all ten, the fifth none
    Vector3 s[10], t[10];
    uint8_t found[10];
    for (int m = 0; m < 10; ++m) entries[m] = 30 + m;
    kept_displacements(*cache, 0, entries, 10, s, t, found);
    for (int m = 0; m < 10; ++m) EXPECT_TRUE(found[m] && s[m].x == 30 + m) << m;
}

TEST(DisplacementCache, KeepsTheShiftOfEveryBoxApart)
{
    auto cache = make_displacement_cache(lattice(16, 16, 16), 1 << 20);
    ASSERT_TRUE(cache);
    BoxShift back;
    for (int box : {0, 1, 5, INNER_BOXES}) {
        EXPECT_FALSE(kept_box_shift(*cache, 3, box, &back)) << box;
        keep_box_shift(*cache, 3, box, shift_of(static_cast<float>(box)));
    }
    for (int box : {0, 1, 5, INNER_BOXES}) {
        ASSERT_TRUE(kept_box_shift(*cache, 3, box, &back)) << box;
        EXPECT_EQ(back.lo[1][2], -box);
        EXPECT_EQ(back.hi[0][1], box + 1);
    }
    EXPECT_FALSE(kept_box_shift(*cache, 3, 2, &back));
    EXPECT_FALSE(kept_box_shift(*cache, 2, 0, &back));
    keep_box_shift(*cache, 3, INNER_BOXES + 1, shift_of(1));  // past the numbering: not kept
    EXPECT_FALSE(kept_box_shift(*cache, 3, INNER_BOXES + 1, &back));
}

TEST(DisplacementCache, AHalfsShiftFromItsPointsStaysOverABoundsShift)
{
    auto cache = make_displacement_cache(lattice(16, 16, 16), 1 << 20);
    ASSERT_TRUE(cache);
    BoxShift back;
    EXPECT_EQ(points_shifts_kept(*cache, 2), 0u);
    keep_box_shift(*cache, 2, 3, shift_of(9));
    keep_points_shift(*cache, 2, 3, shift_of(1));
    keep_points_shift(*cache, 2, INNER_BOXES, shift_of(2));
    keep_box_shift(*cache, 2, 3, shift_of(9));  // a later, looser one is not kept
    EXPECT_EQ(points_shifts_kept(*cache, 2), (1u << 2) | (1u << (INNER_BOXES - 1)));
    ASSERT_TRUE(kept_box_shift(*cache, 2, 3, &back));
    EXPECT_EQ(back.lo[0][0], -1);
    ASSERT_TRUE(kept_box_shift(*cache, 2, INNER_BOXES, &back));
    EXPECT_EQ(back.hi[1][2], 4);
    keep_points_shift(*cache, 2, 0, shift_of(5));  // the whole block has none from its points
    EXPECT_EQ(points_shifts_kept(*cache, 2), (1u << 2) | (1u << (INNER_BOXES - 1)));
}

TEST(DisplacementCache, ServesOnlyTheLatticeItWasMadeFor)
{
    auto cache = make_displacement_cache(lattice(20, 17, 9), 1 << 20);
    ASSERT_TRUE(cache);
    EXPECT_TRUE(cache_serves(*cache, lattice(20, 17, 9)));
    EXPECT_FALSE(cache_serves(*cache, lattice(20, 17, 10)));
    LatticeField coarser = lattice(20, 17, 9);
    coarser.resolution = 2;
    EXPECT_FALSE(cache_serves(*cache, coarser));
    EXPECT_FALSE(make_displacement_cache(lattice(0, 17, 9), 1 << 20));
}

}  // namespace
