// A volume split into packed distances and colour tiles reads voxel for
// voxel what its 6-byte voxels read.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "base/colour.h"
#include "base/volume_field.h"

using namespace kestrane;

namespace {

bool outer(int x, int y, int z, int nx, int ny, int nz)
{
    return x == 0 || y == 0 || z == 0 || x == nx - 1 || y == ny - 1 || z == nz - 1;
}

// A grid whose size is not a whole number of tiles, blank on its outer
// layer as a transformed volume is, one colour inside except in a ball of
// mixed colours and a single voxel of another colour.
std::vector<Voxel> mixed_grid(int nx, int ny, int nz)
{
    std::mt19937 random(7);
    std::vector<Voxel> voxels(static_cast<size_t>(nx) * ny * nz);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                Voxel& v = voxels[(static_cast<size_t>(z) * ny + y) * nx + x];
                v.distance = static_cast<int16_t>(static_cast<int>(random() % 64001) - 32000);
                const bool ball = (x - 5) * (x - 5) + (y - 6) * (y - 6) + (z - 4) * (z - 4) < 16;
                v.colour = ball ? make_colour(random() % 32, random() % 64, random() % 32, random() % 2)
                                : make_colour(3, 40, 7);
                if (outer(x, y, z, nx, ny, nz)) v.colour = blank_colour();
            }
    voxels[(static_cast<size_t>(nz - 2) * ny + ny - 2) * nx + nx - 2].colour = blank_colour();
    return voxels;
}

TEST(VolumeField, ReadsWhatItsVoxelsRead)
{
    const int nx = 19, ny = 13, nz = 10;
    std::vector<Voxel> voxels = mixed_grid(nx, ny, nz);
    const VoxelGrid grid{voxels.data(), nx, ny, nz};
    VolumeField field;
    // Packed, as a grid this small is by default, and in tiles.
    for (const int64_t tiled_from : {TILED_FROM_VOXELS, int64_t(0)}) {
        ASSERT_TRUE(split_voxels(grid, &field, false, tiled_from));
        const FieldView split = field_view(field), whole = field_of(grid);
        EXPECT_EQ(split.tiles(), tiled_from == 0);
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x) {
                    const size_t i = grid.index(x, y, z);
                    ASSERT_EQ(split.distance(i), whole.distance(i)) << x << " " << y << " " << z;
                    ASSERT_EQ(split.colour(x, y, z), whole.colour(x, y, z)) << x << " " << y << " " << z;
                    ASSERT_EQ(whole.colour(x, y, z), static_cast<uint32_t>(voxels[i].colour));
                }
        // 3 x 2 x 2 tiles: the ball's tiles and the odd voxel's hold colours.
        EXPECT_EQ(field.colours.uniform.size(), 12u);
        const size_t own = tiles_with_own_colours(field.colours);
        EXPECT_GE(own, 2u);
        EXPECT_LT(own, 12u);
        // Random distances spread too wide for a byte in every tile of 4:
        // each keeps them whole beside its offsets.
        const int64_t distance_tiles = 5 * 4 * 3;
        const int64_t distances = tiled_from == 0 ? distance_tiles * (64 + 4 + 64 * 2) : int64_t(nx) * ny * nz * 2;
        EXPECT_EQ(field.tiles.wide.size(), tiled_from == 0 ? size_t(distance_tiles) * 64 : 0u);
        EXPECT_EQ(volume_field_bytes(field),
                  distances + 12 * int64_t(sizeof(uint32_t) + sizeof(void*)) + int64_t(own) * 512 * 4);
    }
    // One colour inside a blank outer layer: no tile keeps colours. An
    // outer voxel of another colour is kept in its tile.
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                grid.at(x, y, z).colour = outer(x, y, z, nx, ny, nz) ? blank_colour() : make_colour(1, 2, 3);
    ASSERT_TRUE(split_voxels(grid, &field));
    EXPECT_EQ(tiles_with_own_colours(field.colours), 0u);
    EXPECT_EQ(field_view(field).colour(nx - 1, 0, nz - 1), blank_colour());
    EXPECT_EQ(field_view(field).colour(nx - 2, 1, nz - 2), make_colour(1, 2, 3));
    grid.at(nx - 1, 5, 3).colour = make_colour(1, 2, 3);
    ASSERT_TRUE(split_voxels(grid, &field));
    EXPECT_EQ(tiles_with_own_colours(field.colours), 1u);
    EXPECT_EQ(field_view(field).colour(nx - 1, 5, 3), make_colour(1, 2, 3));
    EXPECT_EQ(field_view(field).colour(nx - 1, 6, 3), blank_colour());
}

// A large grid split giving its memory back makes the same field, and its
// voxels' pages are gone (read again, they are the system's fresh zeros).
TEST(VolumeField, ALargeGridGivesItsMemoryBackAsItIsSplit)
{
    const int nx = 260, ny = 240, nz = 190;
    const size_t count = size_t(nx) * ny * nz;
    ASSERT_GE(int64_t(count * sizeof(Voxel)), GIVE_BACK_BYTES);
    std::unique_ptr<Voxel[]> voxels(new Voxel[count]);
    const VoxelGrid grid{voxels.get(), nx, ny, nz};
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                Voxel& v = grid.at(x, y, z);
                const size_t i = grid.index(x, y, z);
                v.distance = static_cast<int16_t>(static_cast<int>((i * 2654435761u) >> 7 & 0x7fff) - 16000);
                v.colour = outer(x, y, z, nx, ny, nz) ? blank_colour()
                           : (x / 8 + y / 8 + z / 8) % 5 == 0 ? make_colour(x % 32, y % 64, z % 32)
                                                              : make_colour(3, 40, 7);
            }
    VolumeField kept, given;
    ASSERT_TRUE(split_voxels(grid, &kept));
    ASSERT_TRUE(split_voxels(grid, &given, true, 0));
    EXPECT_TRUE(kept.packed && given.tiles);
    const FieldView a = field_view(kept), b = field_view(given);
    for (size_t i = 0; i < count; ++i) ASSERT_EQ(a.distance(i), b.distance(i)) << i;
    for (int z = 0; z < nz; z += 3)
        for (int y = 0; y < ny; y += 2)
            for (int x = 0; x < nx; ++x) ASSERT_EQ(a.colour(x, y, z), b.colour(x, y, z)) << x << " " << y << " " << z;
    EXPECT_GT(tiles_with_own_colours(given.colours), 0u);
    const Voxel& middle = voxels[count / 2];
    EXPECT_EQ(middle.distance, 0);
    EXPECT_EQ(static_cast<uint32_t>(middle.colour), 0u);
}

TEST(VolumeField, NothingToSplitGivesAnEmptyView)
{
    VolumeField field;
    EXPECT_FALSE(split_voxels(VoxelGrid{}, &field));
    EXPECT_FALSE(field_view(field).present());
    EXPECT_EQ(volume_field_bytes(field), 0);
    EXPECT_FALSE(field_of(static_cast<const Voxel*>(nullptr), std::array<int16_t, 3>{4, 4, 4}.data()).present());
}

}  // namespace
