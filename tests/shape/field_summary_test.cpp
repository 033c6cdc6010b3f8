#include <gtest/gtest.h>

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
