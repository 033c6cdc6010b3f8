#include "input/vector3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Vector3Test, CrossDotAndDifference)
{
    Vector3 c = vec_cross({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(c.x, 0.0);
    EXPECT_EQ(c.y, 0.0);
    EXPECT_EQ(c.z, 1.0);
    c = vec_cross({0, 1, 0}, {1, 0, 0});
    EXPECT_EQ(c.z, -1.0);
    EXPECT_EQ(vec_dot({1, 2, 3}, {4, -5, 6}), 12.0);
    Vector3 d = vec_sub({1, 2, 3}, {0.5, 4, -3});
    EXPECT_EQ(d.x, 0.5);
    EXPECT_EQ(d.y, -2.0);
    EXPECT_EQ(d.z, 6.0);
}

TEST(Vector3Test, AddScaled)
{
    Vector3 a{1.25, -2, 3e-300};
    Vector3 same = vec_add_scaled(a, {7, 8, 9}, 0.0);
    EXPECT_EQ(same.x, a.x);
    EXPECT_EQ(same.y, a.y);
    EXPECT_EQ(same.z, a.z);
    Vector3 moved = vec_add_scaled({1, 1, 1}, {2, 0, -1}, 0.5);
    EXPECT_EQ(moved.x, 2.0);
    EXPECT_EQ(moved.y, 1.0);
    EXPECT_EQ(moved.z, 0.5);
}

TEST(Vector3Test, NormaliseAndZeroVector)
{
    Vector3 n = vec_normalise({3, 0, 4});
    EXPECT_DOUBLE_EQ(n.x, 0.6);
    EXPECT_DOUBLE_EQ(n.z, 0.8);
    // The zero vector has no direction: it stays zero rather than NaN.
    Vector3 z = vec_normalise({0, 0, 0});
    EXPECT_EQ(z.x, 0.0);
    EXPECT_EQ(z.y, 0.0);
    EXPECT_EQ(z.z, 0.0);
    // Small vectors still normalise (their squares must stay above underflow).
    Vector3 tiny = vec_normalise({1e-100, 0, 0});
    EXPECT_DOUBLE_EQ(tiny.x, 1.0);
}

TEST(Vector3Test, Direction16)
{
    Direction16 d = vec_to_direction16({3, 0, 4});
    EXPECT_EQ(d.x, 19200);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 25600);
    d = vec_to_direction16({1, 1, 1});
    EXPECT_EQ(d.x, 18475);
    EXPECT_EQ(d.y, 18475);
    EXPECT_EQ(d.z, 18475);
    d = vec_to_direction16({-1, -1, -1});  // truncation toward zero
    EXPECT_EQ(d.x, -18475);
    d = vec_to_direction16({0, -5, 0});
    EXPECT_EQ(d.y, -32000);
    d = vec_to_direction16({0, 0, 0});
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 0);
    d = vec_to_direction16({std::numeric_limits<double>::quiet_NaN(), 1, 0});
    EXPECT_EQ(d.y, 0);
    d = vec_to_direction16({std::numeric_limits<double>::infinity(), 0, 0});
    EXPECT_EQ(d.x, 0);
}

}  // namespace
