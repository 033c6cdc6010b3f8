// A field whose distances are kept in tiles of a byte a voxel reads in every
// way what its 6-byte voxels read: single voxels, trilinear samples inside
// and beyond the box, the ranges of small boxes, the summaries and the
// sphere candidates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "base/volume_field.h"
#include "shape/distance_sampling.h"
#include "shape/distance_transform.h"
#include "shape/field_summary.h"
#include "shape/sphere_candidates.h"

using namespace kestrane;

namespace {

// Chamfer-like distances from two balls (a tile's spread fits a byte), with
// a few spikes that no chamfer field has (their tiles are kept whole), on a
// grid whose sides are not whole tiles.
std::vector<Voxel> two_balls(int nx, int ny, int nz)
{
    std::vector<Voxel> voxels(static_cast<size_t>(nx) * ny * nz);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                const double a = 9 - chamfer_length(x - 9.3, y - 8.1, z - 7.7) / CHAMFER_FACE;
                const double b = 6 - chamfer_length(x - 21.5, y - 12.2, z - 10.4) / CHAMFER_FACE;
                Voxel& v = voxels[(static_cast<size_t>(z) * ny + y) * nx + x];
                v.distance = static_cast<int16_t>(std::lround(CHAMFER_FACE * std::max(a, b)));
                v.colour = make_colour(x % 32, y % 64, z % 32);
            }
    voxels[(static_cast<size_t>(5) * ny + 6) * nx + 7].distance = 30000;
    voxels[(static_cast<size_t>(nz - 1) * ny + ny - 1) * nx + nx - 1].distance = -32000;
    return voxels;
}

}  // namespace

TEST(TiledDistances, ReadLikeTheirVoxels)
{
    const int nx = 31, ny = 22, nz = 19;
    std::vector<Voxel> voxels = two_balls(nx, ny, nz);
    const VoxelGrid grid{voxels.data(), nx, ny, nz};
    VolumeField field;
    ASSERT_TRUE(split_voxels(grid, &field, false, 0));
    const FieldView tiled = field_view(field), whole = field_of(grid);
    ASSERT_TRUE(tiled.tiles());
    // Both spikes' tiles are wide, the others a byte a voxel.
    EXPECT_EQ(field.tiles.wide.size(), 2u * DISTANCE_TILE_ENTRIES);

    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                ASSERT_EQ(tiled.distance_at(x, y, z), whole.distance_at(x, y, z)) << x << " " << y << " " << z;

    std::mt19937 random(11);
    std::uniform_real_distribution<double> px(-3, nx + 3), py(-3, ny + 3), pz(-3, nz + 3);
    for (int k = 0; k < 20000; ++k) {
        const double x = px(random), y = py(random), z = pz(random);
        ASSERT_EQ(sample_distance(tiled, x, y, z), sample_distance(whole, x, y, z)) << x << " " << y << " " << z;
    }
    // Whole tiles, parts of tiles and wide tiles in the boxes, up to 20
    // voxels a side (beyond what the tiles' spans hold).
    std::uniform_int_distribution<int> start(0, nx - 1), side(0, 19);
    for (int k = 0; k < 20000; ++k) {
        int first[3], last[3];
        const int n[3] = {nx, ny, nz};
        for (int a = 0; a < 3; ++a) {
            first[a] = start(random) % n[a];
            last[a] = std::min(first[a] + side(random), n[a] - 1);
        }
        const FieldRange a = voxel_range(tiled, first, last), b = voxel_range_direct(whole, first, last);
        ASSERT_EQ(a.lo, b.lo) << first[0] << " " << first[1] << " " << first[2];
        ASSERT_EQ(a.hi, b.hi) << first[0] << " " << first[1] << " " << first[2];
    }

    // The tiles' ranges are the summary's blocks of 4 and the coarser
    // blocks follow from them; a box's range holds every read in it and is
    // as tight as the voxels' summary gives (which reads blocks of 2 where
    // the tiled one reads its tiles).
    const FieldSummary s = summarise_field(tiled), w = summarise_field(whole);
    EXPECT_EQ(s.shell_greatest, w.shell_greatest);
    ASSERT_EQ(s.levels.size() + 1, w.levels.size());
    for (size_t l = 0; l < s.levels.size(); ++l) {
        const FieldLevel &a = s.levels[l], &b = w.levels[l + 1];
        ASSERT_EQ(a.size, b.size);
        ASSERT_EQ(a.count(), b.count());
        EXPECT_TRUE(std::equal(a.data(), a.data() + 2 * a.count(), b.data())) << a.size;
    }
    ASSERT_EQ(blocks_of_four(s), &s.levels[0]);
    std::uniform_real_distribution<double> width(0, 24);
    for (int k = 0; k < 5000; ++k) {
        PointBox box;
        const double lo[3] = {px(random), py(random), pz(random)};
        for (int a = 0; a < 3; ++a) box.lo[a] = lo[a], box.hi[a] = lo[a] + width(random);
        const FieldRange a = distance_range(s, box), b = distance_range(w, box);
        ASSERT_TRUE(a.lo >= b.lo && a.hi <= b.hi) << k;
        for (int m = 0; m < 20; ++m) {
            const double x = box.lo[0] + (box.hi[0] - box.lo[0]) * m / 19.0,
                         y = box.lo[1] + (box.hi[1] - box.lo[1]) * (m % 7) / 6.0,
                         z = box.lo[2] + (box.hi[2] - box.lo[2]) * (m % 5) / 4.0;
            const int d = sample_distance(tiled, x, y, z);
            ASSERT_TRUE(d >= a.lo && d <= a.hi) << k << " " << m;
        }
    }

    CandidateList from_tiles, from_voxels;
    ASSERT_TRUE(scan_candidates(tiled, from_tiles));
    ASSERT_TRUE(scan_candidates(whole, from_voxels));
    ASSERT_EQ(from_tiles.count, from_voxels.count);
    EXPECT_GT(from_tiles.count, 0u);
    for (size_t i = 0; i < from_tiles.count; ++i) {
        const Sphere &a = from_tiles[i], &b = from_voxels[i];
        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.radius == b.radius) << i;
    }
}

// A lattice point's read (whole voxels along x and z) along y alone gives
// the trilinear read's value in every layout, at the inner box's edges and
// beyond it too; other points go the full way.
TEST(TiledDistances, ReadsOnWholeXAndZEqualTheTrilinearReads)
{
    const int nx = 31, ny = 22, nz = 19;
    std::vector<Voxel> voxels = two_balls(nx, ny, nz);
    const VoxelGrid grid{voxels.data(), nx, ny, nz};
    VolumeField tiled, packed;
    ASSERT_TRUE(split_voxels(grid, &tiled, false, 0));
    ASSERT_TRUE(split_voxels(grid, &packed, false, int64_t{1} << 40));
    const FieldView views[3] = {field_view(tiled), field_view(packed), field_of(grid)};
    ASSERT_TRUE(views[0].tiles());
    ASSERT_FALSE(views[1].tiles());
    std::mt19937 random(5);
    std::uniform_real_distribution<double> py(-2, ny + 2), any(-2, nx + 2);
    for (const FieldView& view : views)
        for (int z = -1; z <= nz; ++z)
            for (int x = -1; x <= nx; ++x)
                for (int k = 0; k < 6; ++k) {
                    const double y = k == 0 ? 1.0 : k == 1 ? ny - 2.0 : py(random);
                    ASSERT_EQ(sample_distance_whole_xz(view, x, y, z), sample_distance(view, x, y, z))
                        << x << " " << y << " " << z;
                    const double ax = any(random);
                    ASSERT_EQ(sample_distance_whole_xz(view, ax, y, z), sample_distance(view, ax, y, z));
                }
}
