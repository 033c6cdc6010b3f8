#include "surface/lattice_walk.h"

#include <memory>
#include <new>

#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"
#include "surface/mesh_blocks.h"

namespace {

struct Walk {
    const LatticeField& field;
    LatticeState lattice;
    MeshBlocks blocks;
};

void sample_point(Walk& w, int i, int j, int k)
{
    SampleRecord& r = w.lattice.record(i, j);
    r.previous_value = r.value;
    r.previous_colour = r.colour;
    r.previous_position = r.position;
    const LatticeField& f = w.field;
    double y = static_cast<double>(j * f.resolution) * LATTICE_Y_FACTOR;
    Vector3 x{static_cast<double>(i * f.resolution), y, static_cast<double>(k * f.resolution)};
    r.position = {(x.x - f.cx) * 64, (y - f.cy) * 64, (x.z - f.cz) * 64};
    r.crossing_flags = 0;
    uint32_t colour = 0;
    r.value = f.sample(f.context, i, j, k, x, &colour);
    r.colour = colour;
    mark_crossings(w.lattice, i, j, k);
}

void keep_as_previous(SampleRecord& r)
{
    r.previous_value = r.value;
    r.previous_colour = r.colour;
    r.previous_position = r.position;
}

// One row of the walk at slice k (k = lz: the closing pass, which samples
// nothing). Returns 0 or the walk's failure status.
int walk_row(Walk& w, int j, int k)
{
    LatticeState& l = w.lattice;
    bool closing = k == l.lz;
    for (int i = (j + k) & 1; i < l.lx; i += 2) {
        if (j < l.ly) {
            if (closing)
                keep_as_previous(l.record(i, j));
            else
                sample_point(w, i, j, k);
        }
        if (j > 0 && k > 0) {
            int status = place_edge_vertices(l, i, j, k);
            if (status != APPEND_DONE)
                return status == APPEND_LIST_FULL ? LATTICE_POINTS_RAN_OUT : LATTICE_NO_POINT_MEMORY;
            if (k > 1) {
                status = emit_tetrahedra(l, i, j);
                if (status != APPEND_DONE)
                    return status == APPEND_LIST_FULL ? LATTICE_TRIANGLES_RAN_OUT : LATTICE_NO_TRIANGLE_MEMORY;
            }
        }
    }
    return LATTICE_DONE;
}

int walk(Walk& w)
{
    LatticeState& l = w.lattice;
    for (int k = 0; k <= l.lz; ++k) {
        for (int j = 0; j <= l.ly; ++j) {
            int status = walk_row(w, j, k);
            if (status != LATTICE_DONE) return status;
        }
        if (k < l.lz && w.field.slice_done)
            w.field.slice_done(w.field.context, k, static_cast<long>(w.blocks.triangle_blocks.count));
    }
    return LATTICE_DONE;
}

template <typename Item>
bool copy_out(const BlockList<Item>& list, std::vector<Item>& out)
{
    try {
        out.assign(static_cast<size_t>(list.count), Item{});
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    for (int32_t n = 0; n < list.count; ++n) out[static_cast<size_t>(n)] = list[n];
    return true;
}

}  // namespace

int64_t lattice_walk_working_bytes(int lx, int ly, int lz)
{
    const int64_t records = static_cast<int64_t>(lx) * ly;
    const int64_t points = records * lz;
    return records * static_cast<int64_t>(sizeof(SampleRecord)) + points / 32 * static_cast<int64_t>(sizeof(MeshVertex)) +
           points / 32 * 2 * static_cast<int64_t>(sizeof(MeshTriangle));
}

int triangulate_lattice(const LatticeField& field, SurfaceMesh* mesh)
{
    Walk w{field, LatticeState{}, MeshBlocks{}};
    bool empty = field.lx <= 0 || field.ly <= 0 || field.lz <= 0;
    int64_t records = empty ? 0 : static_cast<int64_t>(field.lx) * field.ly;
    std::unique_ptr<SampleRecord[]> buffer(new (std::nothrow) SampleRecord[records > 0 ? records : 1]());
    if (!buffer) return LATTICE_NO_BUFFER;

    int64_t points = records * (empty ? 0 : field.lz);
    reset_mesh_blocks(w.blocks, points / 32, points / 32 * 2);
    w.lattice = LatticeState{field.lx, field.ly, field.lz, buffer.get(), &w.blocks, field.regularise};

    if (!empty) {
        int status = walk(w);
        if (status != LATTICE_DONE) {
            free_mesh_blocks(w.blocks);
            return status;
        }
    }
    if (field.walk_done) field.walk_done(field.context, static_cast<long>(w.blocks.triangle_blocks.count));
    buffer.reset();

    if (!copy_out(w.blocks.vertex_blocks, mesh->vertices)) {
        mesh->triangles.clear();
        free_mesh_blocks(w.blocks);
        return LATTICE_NO_VERTEX_ARRAY;
    }
    w.blocks.vertex_blocks = BlockList<MeshVertex>{};
    if (!copy_out(w.blocks.triangle_blocks, mesh->triangles)) {
        free_mesh_blocks(w.blocks);
        return LATTICE_NO_TRIANGLE_ARRAY;
    }
    free_mesh_blocks(w.blocks);
    return LATTICE_DONE;
}
