#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "shape/field_summary.h"

using namespace kestrane;

// Packed distances read a row at a time give what the voxel-by-voxel read
// gives, for every box of up to 9 voxels a side, the grid's last voxels
// (where a whole row's read would pass the end) among them.
TEST(FieldSummary, RowReadsOfPackedDistancesMatchVoxelReads)
{
    const int n[3] = {13, 7, 6};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<int16_t> distances(static_cast<size_t>(n[0]) * n[1] * n[2]);
    for (int16_t& d : distances) d = static_cast<int16_t>(value(random));
    FieldView field;
    field.distances = reinterpret_cast<const char*>(distances.data());
    field.stride = sizeof(int16_t);
    field.nx = n[0], field.ny = n[1], field.nz = n[2];
    long boxes = 0;
    for (int x0 = 0; x0 < n[0]; ++x0)
        for (int x1 = x0; x1 < n[0] && x1 - x0 < 9; ++x1)
            for (int y0 = 0; y0 < n[1]; y0 += 2)
                for (int y1 = y0; y1 < n[1]; ++y1)
                    for (int z0 = 0; z0 < n[2]; ++z0)
                        for (int z1 = z0; z1 < n[2]; z1 += 2) {
                            const int first[3] = {x0, y0, z0}, last[3] = {x1, y1, z1};
                            const FieldRange fast = voxel_range(field, first, last),
                                             direct = voxel_range_direct(field, first, last);
                            ASSERT_EQ(fast.lo, direct.lo) << x0 << " " << x1 << " " << y0 << " " << y1 << " " << z0;
                            ASSERT_EQ(fast.hi, direct.hi) << x0 << " " << x1 << " " << y0 << " " << y1 << " " << z0;
                            ++boxes;
                        }
    EXPECT_GT(boxes, 10000);
}

// A level's blocks read a row at a time give what the block-by-block read
// gives, for every box of up to 9 blocks a side (9 goes block by block),
// the level's last blocks (where a row's reads would pass the end) among
// them.
TEST(FieldSummary, RowReadsOfBlocksMatchBlockReads)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> value(-32768, 32767);
    long boxes = 0;
    for (const auto& dims : {std::array<int, 3>{11, 5, 4}, std::array<int, 3>{3, 2, 2}, std::array<int, 3>{9, 1, 1}}) {
        FieldLevel level;
        level.size = 4;
        for (int a = 0; a < 3; ++a) level.blocks[a] = dims[a];
        level.bounds.resize(2 * level.count());
        for (size_t b = 0; b < level.count(); ++b) {
            const int x = value(random), y = value(random);
            level.bounds[2 * b] = static_cast<int16_t>(std::min(x, y));
            level.bounds[2 * b + 1] = static_cast<int16_t>(std::max(x, y));
        }
        for (int x0 = 0; x0 < dims[0]; ++x0)
            for (int x1 = x0; x1 < dims[0] && x1 - x0 < 9; ++x1)
                for (int y0 = 0; y0 < dims[1]; ++y0)
                    for (int y1 = y0; y1 < dims[1]; ++y1)
                        for (int z0 = 0; z0 < dims[2]; ++z0)
                            for (int z1 = z0; z1 < dims[2]; ++z1) {
                                const int first[3] = {x0, y0, z0}, last[3] = {x1, y1, z1};
                                const FieldRange fast = block_range(level, first, last),
                                                 direct = block_range_direct(level, first, last);
                                ASSERT_EQ(fast.lo, direct.lo) << x0 << " " << x1 << " " << y0 << " " << y1 << " " << z0;
                                ASSERT_EQ(fast.hi, direct.hi) << x0 << " " << x1 << " " << y0 << " " << y1 << " " << z0;
                                ++boxes;
                            }
    }
    EXPECT_GT(boxes, 2000);
}
