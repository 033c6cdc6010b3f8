#include "base/vector3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrane;

namespace {

void expect_vector(Vector3 v, double x, double y, double z)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(Vector3Test, Arithmetic)
{
    expect_vector(vec_cross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
    expect_vector(vec_cross({0, 1, 0}, {1, 0, 0}), 0, 0, -1);
    EXPECT_EQ(vec_dot({1, 2, 3}, {4, -5, 6}), 12.0);
    expect_vector(vec_sub({1, 2, 3}, {0.5, 4, -3}), 0.5, -2, 6);
    expect_vector(vec_add_scaled({1.25, -2, 3e-300}, {7, 8, 9}, 0.0), 1.25, -2, 3e-300);
    expect_vector(vec_add_scaled({1, 1, 1}, {2, 0, -1}, 0.5), 2, 1, 0.5);
}

TEST(Vector3Test, NormaliseKeepsZeroAndTinyVectorsSound)
{
    Vector3 n = vec_normalise({3, 0, 4});
    EXPECT_DOUBLE_EQ(n.x, 0.6);
    EXPECT_DOUBLE_EQ(n.z, 0.8);
    // The zero vector has no direction: it stays zero rather than NaN.
    expect_vector(vec_normalise({0, 0, 0}), 0, 0, 0);
    // Small vectors still normalise (their squares must stay above underflow).
    EXPECT_DOUBLE_EQ(vec_normalise({1e-100, 0, 0}).x, 1.0);
}

TEST(Vector3Test, Direction16TruncatesAndRefusesNonNumbers)
{
    auto expect_direction = [](Vector3 v, int x, int y, int z) {
        Direction16 d = vec_to_direction16(v);
        EXPECT_EQ(d.x, x);
        EXPECT_EQ(d.y, y);
        EXPECT_EQ(d.z, z);
    };
    expect_direction({3, 0, 4}, 19200, 0, 25600);
    expect_direction({1, 1, 1}, 18475, 18475, 18475);
    expect_direction({-1, -1, -1}, -18475, -18475, -18475);  // toward zero
    expect_direction({0, -5, 0}, 0, -32000, 0);
    expect_direction({0, 0, 0}, 0, 0, 0);
    EXPECT_EQ(vec_to_direction16({std::numeric_limits<double>::quiet_NaN(), 1, 0}).y, 0);
    EXPECT_EQ(vec_to_direction16({std::numeric_limits<double>::infinity(), 0, 0}).x, 0);
}

}  // namespace
