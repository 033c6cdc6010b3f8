#pragma once
// The growing mesh of a walk: vertices and triangles in blocks that are
// never moved, with a hard limit on their number.
#include <cstdint>
#include <memory>

#include "base/vector3.h"
#include "surface/mesh.h"

namespace kestrane {
// A mesh grows in blocks of a fixed size so that nothing is copied while a
// frame is built. The table is terminated by its first empty entry, so at
// most 31 of its 32 blocks are used.
constexpr int BLOCK_TABLE_SIZE = 32;
constexpr int MAX_BLOCKS = BLOCK_TABLE_SIZE - 1;

template <typename Item>
struct BlockList {
    std::unique_ptr<Item[]> blocks[BLOCK_TABLE_SIZE];
    int32_t count = 0;
    int32_t block_size = 1;

    Item& operator[](int32_t n) { return blocks[n / block_size][n % block_size]; }
    const Item& operator[](int32_t n) const { return blocks[n / block_size][n % block_size]; }
};

struct MeshBlocks {
    BlockList<MeshVertex> vertex_blocks;
    BlockList<MeshTriangle> triangle_blocks;
};

enum AppendStatus {
    APPEND_DONE = 0,
    APPEND_NO_MEMORY = 1,  // a new block could not be allocated
    APPEND_LIST_FULL = 2,  // all 31 blocks are in use
};

// Empties both lists and sets their block sizes (at least 1 item each).
void reset_mesh_blocks(MeshBlocks& blocks, int64_t vertex_block_size, int64_t triangle_block_size);
// Appends a vertex; the position is truncated toward zero to mesh units.
// Returns an AppendStatus.
int add_mesh_vertex(MeshBlocks& blocks, Vector3 position, Direction16 normal, uint32_t colour);
// Appends the triangle unless two of its indices are equal (a collapsed
// triangle, dropped with success).
int add_mesh_triangle(MeshBlocks& blocks, int32_t first, int32_t second, int32_t third);
// Frees every block of both lists and sets both counts to 0.
void free_mesh_blocks(MeshBlocks& blocks);

}  // namespace kestrane
