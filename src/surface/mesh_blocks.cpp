#include "surface/mesh_blocks.h"

#include <cmath>
#include <new>

namespace kestrane {
namespace {

int32_t block_size_from(int64_t size)
{
    if (size < 1) return 1;
    if (size > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(size);
}

template <typename Item>
int reserve_slot(BlockList<Item>& list)
{
    if (list.count % list.block_size != 0) return APPEND_DONE;
    int32_t block = list.count / list.block_size;
    if (block >= MAX_BLOCKS) return APPEND_LIST_FULL;
    list.blocks[block].reset(new (std::nothrow) Item[list.block_size]);
    return list.blocks[block] ? APPEND_DONE : APPEND_NO_MEMORY;
}

template <typename Item>
void free_list(BlockList<Item>& list)
{
    for (auto& block : list.blocks) block.reset();
    list.count = 0;
}

// Mesh coordinates are 16-bit; a point beyond that range is held at its edge.
int16_t to_mesh_unit(double c)
{
    double t = std::trunc(c);
    if (!(t > -32768.0)) return t != t ? 0 : -32768;
    if (t > 32767.0) return 32767;
    return static_cast<int16_t>(t);
}

}  // namespace

void reset_mesh_blocks(MeshBlocks& blocks, int64_t vertex_block_size, int64_t triangle_block_size)
{
    free_mesh_blocks(blocks);
    blocks.vertex_blocks.block_size = block_size_from(vertex_block_size);
    blocks.triangle_blocks.block_size = block_size_from(triangle_block_size);
}

int add_mesh_vertex(MeshBlocks& blocks, Vector3 position, Direction16 normal, uint32_t colour)
{
    BlockList<MeshVertex>& list = blocks.vertex_blocks;
    int status = reserve_slot(list);
    if (status != APPEND_DONE) return status;
    list[list.count] = MeshVertex{to_mesh_unit(position.x), to_mesh_unit(position.y), to_mesh_unit(position.z),
                                  normal.x, normal.y, normal.z, colour};
    ++list.count;
    return APPEND_DONE;
}

int add_mesh_triangle(MeshBlocks& blocks, int32_t first, int32_t second, int32_t third)
{
    if (first == second || second == third || first == third) return APPEND_DONE;
    BlockList<MeshTriangle>& list = blocks.triangle_blocks;
    int status = reserve_slot(list);
    if (status != APPEND_DONE) return status;
    list[list.count] = MeshTriangle{{first, second, third}};
    ++list.count;
    return APPEND_DONE;
}

void free_mesh_blocks(MeshBlocks& blocks)
{
    free_list(blocks.vertex_blocks);
    free_list(blocks.triangle_blocks);
}

}  // namespace kestrane
