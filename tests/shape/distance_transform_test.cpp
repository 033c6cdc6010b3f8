#include <cstring>
#include <vector>

#include "shape/distance_sweeps.h"
#include "shape/distance_transform.h"
#include "shape/row_scan.h"
#include "shape_support.h"

using namespace kestrane;

namespace {

class DistanceTransformTest : public ShapeTest {};

void expect_single_voxel_spread(int16_t far_value, int sign)
{
    make_volume(0, 7, 7, 7, far_value);
    voxel(0, 3, 3, 3).distance = 22;
    distance_transform(0);
    EXPECT_EQ(voxel(0, 3, 3, 3).distance, 22);
    EXPECT_EQ(voxel(0, 2, 3, 3).distance, sign * 44);
    EXPECT_EQ(voxel(0, 3, 4, 3).distance, sign * 44);
    EXPECT_EQ(voxel(0, 3, 3, 2).distance, sign * 44);
    EXPECT_EQ(voxel(0, 4, 4, 3).distance, sign * 53);
    EXPECT_EQ(voxel(0, 3, 2, 4).distance, sign * 53);
    EXPECT_EQ(voxel(0, 2, 4, 2).distance, sign * 60);
    EXPECT_EQ(voxel(0, 4, 4, 4).distance, sign * 60);
    EXPECT_EQ(voxel(0, 5, 3, 3).distance, sign * 66);
}

TEST_F(DistanceTransformTest, SingleVoxelSpreadsChamferDistancesKeepingSigns)
{
    expect_single_voxel_spread(-FAR_DISTANCE, -1);
    expect_single_voxel_spread(FAR_DISTANCE, 1);
}

TEST_F(DistanceTransformTest, OuterLayerIsFarOutsideAndWhiteWhateverWasThere)
{
    make_volume(0, 6, 5, 7, 123, make_colour(4, 5, 6, 7));
    voxel(0, 2, 2, 3).distance = 0;
    distance_transform(0);
    for (int z = 0; z < 7; ++z)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                bool outer = x == 0 || x == 5 || y == 0 || y == 4 || z == 0 || z == 6;
                if (!outer) continue;
                EXPECT_EQ(voxel(0, x, y, z).distance, -FAR_DISTANCE);
                EXPECT_EQ(colour_at(0, x, y, z), blank_colour());
            }
    // The outer layer is far, not a surface: inside voxels measure to the zero.
    EXPECT_EQ(voxel(0, 1, 1, 1).distance, 38 + 22);
    EXPECT_EQ(voxel(0, 2, 2, 3).distance, 0);
    EXPECT_EQ(voxel(0, 3, 2, 3).distance, 22);
}

TEST_F(DistanceTransformTest, OwnValueWinsTiesAndKeepsItsColour)
{
    // One interior row: x = 1..3 at y = z = 1.
    const uint32_t red = make_colour(31, 0, 0), green = make_colour(0, 63, 0), blue = make_colour(0, 0, 31);
    make_volume(0, 5, 3, 3);
    voxel(0, 1, 1, 1) = Voxel{0, red};
    voxel(0, 2, 1, 1) = Voxel{22, green};
    voxel(0, 3, 1, 1) = Voxel{-FAR_DISTANCE, blue};
    distance_transform(0);
    EXPECT_EQ(voxel(0, 1, 1, 1).distance, 0);
    EXPECT_EQ(colour_at(0, 1, 1, 1), red);
    EXPECT_EQ(voxel(0, 2, 1, 1).distance, 22);  // ties with 0 + 22 from x = 1
    EXPECT_EQ(colour_at(0, 2, 1, 1), green);
    EXPECT_EQ(voxel(0, 3, 1, 1).distance, -44);
    EXPECT_EQ(colour_at(0, 3, 1, 1), green);
}

TEST_F(DistanceTransformTest, EarlierNeighbourWinsTiesWithItsColour)
{
    // One interior slice of 3 x 3; worked through by hand.
    const uint32_t red = make_colour(31, 0, 0), blue = make_colour(0, 0, 31), black = make_colour(0, 0, 0);
    make_volume(0, 5, 5, 3, -FAR_DISTANCE, black);
    voxel(0, 1, 2, 1) = Voxel{0, red};
    voxel(0, 2, 1, 1) = Voxel{0, blue};
    distance_transform(0);
    struct Expected {
        int x, y;
        int16_t distance;
        uint32_t colour;
    } expected[] = {
        {1, 1, -22, blue}, {2, 1, 0, blue},  {3, 1, -22, blue},  // (1,1): backward tie x+1 over y+1
        {1, 2, 0, red},    {2, 2, -22, red}, {3, 2, -31, blue},  // (2,2): forward tie x-1 over y-1
        {1, 3, -22, red},  {2, 3, -31, red}, {3, 3, -53, red},   // (3,3): x-1 over y-1 and x-1,y-1
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(voxel(0, e.x, e.y, 1).distance, e.distance) << e.x << "," << e.y;
        EXPECT_EQ(colour_at(0, e.x, e.y, 1), e.colour) << e.x << "," << e.y;
    }
}

// Fills a grid in one of several ways that stress different parts of the sweeps.
void fill_random(std::vector<Voxel>& grid, std::mt19937& rng, int pattern)
{
    static const int16_t tie_values[] = {0, 22, 31, 38, 44, 53, 60, 62, 66, FAR_DISTANCE};
    for (Voxel& v : grid) {
        int16_t d;
        int sign = rng() % 2 ? 1 : -1;
        switch (pattern) {
        case 0:  // scan-converted look: a few near values among far ones
        case 4:
            d = static_cast<int16_t>(sign * (rng() % 8 == 0 ? int(rng() % 60) : FAR_DISTANCE));
            break;
        case 1:  // many equal candidates
            d = static_cast<int16_t>(sign * tie_values[rng() % 10]);
            break;
        case 2:  // anything the fast path accepts
            d = static_cast<int16_t>(int(rng() % 65459) - 32729);
            break;
        default:  // the whole 16-bit range, which the direct sweeps wrap
            d = static_cast<int16_t>(rng() & 0xffff);
            break;
        }
        v = Voxel{d, random_colour(rng)};
    }
    // Near values with one wrapping value of each sign midway.
    if (pattern == 4) {
        grid[grid.size() / 2].distance = 32767;
        grid[grid.size() / 3].distance = -32768;
    }
}

TEST_F(DistanceTransformTest, RowSweepsMatchDirectSweepsBitForBit)
{
    // Rows shorter than, equal to and several times one 32-voxel block.
    const int sizes[][3] = {{3, 3, 3},  {4, 3, 5},   {5, 5, 5},  {17, 9, 6},
                            {34, 20, 7}, {70, 3, 9}, {9, 40, 4}, {131, 5, 4}};
    std::mt19937 rng(12345);
    // Both ways of scanning along a row: the vector one where the processor
    // has it, and the plain one.
    for (bool vector_scan : {true, false}) {
    for (int pattern = 0; pattern < 5; ++pattern)
        for (const auto& size : sizes)
            for (int round = 0; round < 3; ++round) {
                std::vector<Voxel> direct(static_cast<size_t>(size[0]) * size[1] * size[2]);
                fill_random(direct, rng, pattern);
                std::vector<Voxel> fast = direct;
                direct_distance_transform(direct.data(), size[0], size[1], size[2]);
                fast_distance_transform(fast.data(), size[0], size[1], size[2], vector_scan);
                ASSERT_EQ(std::memcmp(direct.data(), fast.data(), direct.size() * sizeof(Voxel)), 0)
                    << "pattern " << pattern << " size " << size[0] << "x" << size[1] << "x" << size[2]
                    << (vector_scan ? " vector" : " plain") << " scan";
            }
    }
}

TEST_F(DistanceTransformTest, ChamferLengthSortsAbsoluteOffsets)
{
    EXPECT_DOUBLE_EQ(chamfer_length(1, 1, 1), 38);
    EXPECT_DOUBLE_EQ(chamfer_length(1, 1, 0), 31);
    EXPECT_DOUBLE_EQ(chamfer_length(-2, 0, 0), 44);
    EXPECT_DOUBLE_EQ(chamfer_length(0.5, -3, 1), 22 * 3 + 9 * 1 + 7 * 0.5);
    EXPECT_DOUBLE_EQ(chamfer_length(0, 0, -1), 22);
}

TEST_F(DistanceTransformTest, SampleDistanceInsideTheInnerBox)
{
    make_volume(0, 7, 7, 7, -FAR_DISTANCE);
    voxel(0, 3, 3, 3).distance = 10;
    voxel(0, 4, 3, 3).distance = 20;
    voxel(0, 2, 2, 2).distance = 9000;
    voxel(0, 2, 2, 3).distance = -9000;
    EXPECT_EQ(sample_distance(0, 3, 3, 3), 40);
    EXPECT_EQ(sample_distance(0, 3.5, 3, 3), 60);
    EXPECT_EQ(sample_distance(0, 3.25, 3, 3), 50);
    EXPECT_EQ(sample_distance(0, 2, 2, 2), 31999);   // 36000 limited
    EXPECT_EQ(sample_distance(0, 2, 2, 3), -31999);
    EXPECT_EQ(sample_distance(0, 2, 2, 2.5), 0);
    // Upper edge of the box reads the outer layer with weight 0.
    voxel(0, 5, 5, 5).distance = -7;
    EXPECT_EQ(sample_distance(0, 5, 5, 5), -28);
}

TEST_F(DistanceTransformTest, SampleDistanceOutsideProjectsOntoTheBox)
{
    make_volume(0, 7, 7, 7, 100);
    voxel(0, 1, 3, 3).distance = 50;
    // x = -1 on the line through the box centre lands on x = 1.
    EXPECT_EQ(sample_distance(0, -1, 3, 3), 4 * (50 - 44));
    EXPECT_EQ(sample_distance(0, -0.5, 3, 3), 4 * (50 - 33));
    voxel(0, 5, 3, 3).distance = 7;
    EXPECT_EQ(sample_distance(0, 9, 3, 3), 4 * (7 - 88));
    // Far away the limit holds.
    voxel(0, 1, 3, 3).distance = -8000;
    EXPECT_EQ(sample_distance(0, -1, 3, 3), -31999);
    // Off the centre line the point moves along the line from the centre:
    // (-5, 7, 3) has u = (-2, 1, 0) and lands on (1, 4, 3).
    voxel(0, 1, 4, 3).distance = 300;
    EXPECT_EQ(sample_distance(0, -5, 7, 3), 4 * (300 - (22 * 6 + 9 * 3)));
}

TEST_F(DistanceTransformTest, SampleDistanceHasDefinedResultsWithoutAGrid)
{
    EXPECT_EQ(sample_distance(0, 1, 1, 1), -31999);
    make_volume(0, 5, 5, 5, 40);
    EXPECT_EQ(sample_distance(0, NAN, 2, 2), -31999);
    EXPECT_EQ(sample_distance(0, 2, INFINITY, 2), -31999);
    // A grid three voxels thick has a one-voxel inner box.
    make_volume(1, 3, 3, 3, 40);
    EXPECT_EQ(sample_distance(1, 1, 1, 1), 160);
    EXPECT_EQ(sample_distance(1, 2, 1, 1), 4 * (40 - 22));
    distance_transform(1);
    EXPECT_EQ(sample_distance(1, 1, 1, 1), 160);
}

}  // namespace
