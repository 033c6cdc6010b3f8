// The crossings found a row of words at a time are those found point by
// point, on lattices from one point wide to rows of several words, with
// shapes, noise and the sign-only values, on one thread and on three.
#include "surface/crossing_bits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kestrane;

namespace {

void set_value(FrameValues& v, int i, int j, int k, int16_t value)
{
    value_page(v, v.block(i, j, k))[block_entry(i, j, k)] = value;
}

// A ball's values with noise, some points holding a sign alone, and some
// blocks one sign without a page of values.
FrameValues lattice_values(int lx, int ly, int lz, unsigned seed, double noise)
{
    FrameValues v;
    reset_frame_values(&v, lx, ly, lz);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const double cx = lx * unit(random), cy = ly * unit(random), cz = lz * unit(random);
    const double radius = 1 + 0.4 * std::min({lx, ly, lz}) * unit(random);
    std::vector<char> one_sign(v.block_sign.size());
    for (size_t b = 0; b < v.block_sign.size(); ++b)
        if ((one_sign[b] = unit(random) < 0.2)) v.block_sign[b] = unit(random) < 0.5 ? SIGN_ONLY_VALUE : -SIGN_ONLY_VALUE;
    for (int k = 0; k < lz; ++k)
        for (int j = 0; j < ly; ++j)
            for (int i = (j + k) & 1; i < lx; i += 2) {
                const double d = radius - std::sqrt((i - cx) * (i - cx) + (j - cy) * (j - cy) * 0.5 + (k - cz) * (k - cz));
                int value = static_cast<int>(d * 100);
                if (unit(random) < noise) value = -value - 1;
                if (unit(random) < 0.3) value = value < 0 ? -SIGN_ONLY_VALUE : SIGN_ONLY_VALUE;
                if (!one_sign[v.block(i, j, k)])
                    set_value(v, i, j, k, static_cast<int16_t>(std::max(-32767, std::min(32767, value))));
            }
    return v;
}

TEST(CrossingBits, RowsOfWordsFindWhatPointByPointFinds)
{
    const int sizes[][3] = {{1, 1, 1}, {2, 3, 1}, {1, 7, 5}, {5, 5, 5}, {9, 12, 7},
                            {64, 9, 6}, {127, 10, 5}, {128, 11, 4}, {131, 14, 6}, {260, 6, 5}};
    unsigned seed = 1;
    for (const auto& size : sizes)
        for (double noise : {0.0, 0.02, 0.5}) {
            FrameValues direct = lattice_values(size[0], size[1], size[2], seed, noise);
            RowBits near_direct;
            find_crossings_direct(direct, &near_direct);
            for (int threads : {1, 3}) {
                FrameValues fast = lattice_values(size[0], size[1], size[2], seed, noise);
                RowBits near;
                find_crossings(fast, threads, &near);
                SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1] << " x " << size[2] << ", noise "
                                                << noise << ", threads " << threads);
                EXPECT_EQ(fast.crossing, direct.crossing);
                EXPECT_EQ(near.words_per_row, near_direct.words_per_row);
                EXPECT_EQ(near.bits, near_direct.bits);
            }
            ++seed;
        }
}

TEST(CrossingBits, NearPointsAreTheCrossingOnesAndTheirNeighbours)
{
    // One point inside in the middle of a 9 x 12 x 9 lattice: it and its
    // 14 neighbours cross, and those and theirs are near.
    FrameValues v;
    reset_frame_values(&v, 9, 12, 9);
    set_value(v, 4, 6, 4, 50);
    RowBits near;
    find_crossings(v, 2, &near);
    long crossing = 0, near_count = 0;
    for (int k = 0; k < v.lz; ++k)
        for (int j = 0; j < v.ly; ++j)
            for (int i = (j + k) & 1; i < v.lx; i += 2) {
                crossing += point_crosses(v, i, j, k);
                near_count += near.test(v, i, j, k);
            }
    EXPECT_EQ(crossing, 15);
    EXPECT_TRUE(point_crosses(v, 4, 6, 4));
    EXPECT_TRUE(point_crosses(v, 4, 8, 4));   // two rows along y
    EXPECT_FALSE(point_crosses(v, 4, 6, 6));  // two slices along z: not a neighbour
    EXPECT_GT(near_count, crossing);
    EXPECT_TRUE(near.test(v, 4, 6, 6));
}

}  // namespace
