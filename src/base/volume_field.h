#pragma once
// A finished volume's field as the frames read it: the 16-bit distances
// packed (2 bytes a voxel) or, for a large grid, in tiles of a byte a voxel
// (distance_tiles.h), and the colours in tiles, instead of the 6-byte voxels
// the conversion and the distance transform work in. A view of it reads
// exactly what a view of the voxels it was split from reads.
#include <cstdint>
#include <memory>

#include "base/distance_tiles.h"
#include "base/voxel_grid.h"

namespace kestrane {
struct VolumeField {
    // Packed distances read fastest; tiled ones take half the memory, which
    // counts only for large grids.
    std::unique_ptr<int16_t[]> packed;
    DistanceTiles tiles;
    ColourTiles colours;
    int nx = 0, ny = 0, nz = 0;
    bool present() const { return packed || tiles; }
};

// Grids of at least this many voxels keep their distances in tiles.
constexpr int64_t TILED_FROM_VOXELS = int64_t(1) << 25;

// The field of the grid's voxels; false (and an empty field, the voxels as
// they were) when memory runs out. With give_back, a large grid's memory
// goes back to the system as its distances are copied, so the voxels and
// the field are not held whole together: once it succeeds the voxels are
// gone (their array is only to be freed).
// tiled_from: the voxels from which the distances are tiled.
bool split_voxels(const VoxelGrid& grid, VolumeField* field, bool give_back = false,
                  int64_t tiled_from = TILED_FROM_VOXELS);
// Grids of at least this many bytes give their memory back in the split.
constexpr int64_t GIVE_BACK_BYTES = int64_t(64) << 20;

// A view of the field; an empty view when it has no distances.
FieldView field_view(const VolumeField& field);

// Tiles holding colours of their own, and the bytes the field holds.
size_t tiles_with_own_colours(const ColourTiles& tiles);
int64_t volume_field_bytes(const VolumeField& field);

}  // namespace kestrane
