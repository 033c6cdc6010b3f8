// The direction tables must agree with the lattice geometry they encode.
#include <gtest/gtest.h>

#include <cstdlib>

#include "surface/lattice_tables.h"

namespace {

LatticeOffset difference(int a, int b)
{
    const LatticeOffset& x = DIRECTION_OFFSET[a];
    const LatticeOffset& y = DIRECTION_OFFSET[b];
    return {int8_t(y.di - x.di), int8_t(y.dj - x.dj), int8_t(y.dk - x.dk)};
}

bool is_direction(LatticeOffset o)
{
    for (const LatticeOffset& d : DIRECTION_OFFSET)
        if (d.di == o.di && d.dj == o.dj && d.dk == o.dk) return true;
    return false;
}

bool adjacent(int a, int b) { return RING_MASK[a] & (1u << b); }

TEST(LatticeTables, DirectionsComeInOppositePairsOfTheRightLength)
{
    for (int d = 0; d < DIRECTION_COUNT; ++d) {
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        const LatticeOffset& p = DIRECTION_OFFSET[opposite_direction(d)];
        EXPECT_EQ(o.di, -p.di);
        EXPECT_EQ(o.dj, -p.dj);
        EXPECT_EQ(o.dk, -p.dk);
        EXPECT_EQ((o.di + o.dj + o.dk) % 2, 0) << d;
        double length2 = o.di * o.di + o.dj * o.dj * 0.5 + o.dk * o.dk;
        EXPECT_DOUBLE_EQ(length2, LONG_DIRECTION[d] ? 2.0 : 1.5) << d;
        // Backward directions lead to points sampled earlier: a lower slice,
        // or the same slice and a lower row.
        bool earlier = o.dk < 0 || (o.dk == 0 && o.dj < 0);
        EXPECT_EQ(earlier, d < BACKWARD_DIRECTIONS) << d;
    }
}

TEST(LatticeTables, RingMaskJoinsExactlyTheNeighbouringDirections)
{
    for (int a = 0; a < DIRECTION_COUNT; ++a) {
        EXPECT_EQ(RING_MASK[a] & ~ALL_DIRECTIONS, 0);
        for (int b = 0; b < DIRECTION_COUNT; ++b)
            EXPECT_EQ(adjacent(a, b), a != b && is_direction(difference(a, b))) << a << " " << b;
    }
}

}  // namespace
