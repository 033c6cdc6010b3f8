#include "surface/lattice_walk.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "base/worker_signals.h"

#include "surface/coincident_vertices.h"
#include "surface/frame_values.h"
#include "surface/lattice_reads.h"
#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"
#include "surface/mesh_blocks.h"
#include "surface/mesh_soundness.h"
#include "surface/walk_parts.h"

namespace kestrane {
namespace {

struct Walk {
    const LatticeField& field;
    LatticeState lattice;
    // Iterations before this one (a part's lead-in) place vertices but emit
    // no triangles.
    int emit_from = 0;
};

void sample_point(Walk& w, int i, int j, int k)
{
    SampleRecord& r = w.lattice.record(i, j);
    r.previous_value = r.value;
    r.previous_colour = r.colour;
    r.previous_position = r.position;
    const LatticeField& f = w.field;
    const Vector3 x{static_cast<double>(i * f.resolution), static_cast<double>(j * f.resolution) * LATTICE_Y_FACTOR,
                    static_cast<double>(k * f.resolution)};
    r.position = lattice_position(f, i, j, k);
    r.crossing_flags = 0;
    uint32_t colour = 0;
    r.value = f.sample(f.context, i, j, k, x, &colour);
    const bool near = !f.near_surface || f.near_surface(f.context, i, j, k);
    // Border points count as outside, so that no surface ends at the border
    // (open or self-intersecting input, a shape touching the margin).
    if (r.value >= 0 && on_lattice_border(f, i, j, k)) r.value = -1;
    r.colour = colour;
    if (near) mark_crossings(w.lattice, i, j, k);
}

// Whether an edge from point (i, j, k) may cross the surface.
bool may_cross(const LatticeField& f, int i, int j, int k)
{
    return !f.near_surface || f.near_surface(f.context, i, j, k);
}

void keep_as_previous(SampleRecord& r)
{
    r.previous_value = r.value;
    r.previous_colour = r.colour;
    r.previous_position = r.position;
}

// The edge vertices and tetrahedra of point (i, j - 1, k - 1), once the
// walk has sampled (i, j, k). Returns 0 or the walk's failure status.
int finish_point(LatticeState& l, int i, int j, int k, bool emit = true)
{
    int status = place_edge_vertices(l, i, j, k);
    if (status != APPEND_DONE) return status == APPEND_LIST_FULL ? LATTICE_POINTS_RAN_OUT : LATTICE_NO_POINT_MEMORY;
    if (k > 1 && emit) {
        status = emit_tetrahedra(l, i, j, k);
        if (status != APPEND_DONE)
            return status == APPEND_LIST_FULL ? LATTICE_TRIANGLES_RAN_OUT : LATTICE_NO_TRIANGLE_MEMORY;
    }
    return LATTICE_DONE;
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
            // A point with every neighbour on its own side has no edges and no
            // mixed tetrahedra.
            if (!may_cross(w.field, i, j - 1, k - 1)) continue;
            const int status = finish_point(l, i, j, k);
            if (status != LATTICE_DONE) return status;
        }
    }
    return LATTICE_DONE;
}

// Bits [first, first + 64) of a bitset, those beyond its end read 0.
uint64_t bits_from(const std::vector<uint64_t>& bits, size_t first)
{
    const size_t word = first >> 6;
    const unsigned offset = static_cast<unsigned>(first & 63);
    if (word >= bits.size()) return 0;
    uint64_t out = bits[word] >> offset;
    if (offset && word + 1 < bits.size()) out |= bits[word + 1] << (64 - offset);
    return out;
}

// The row of the walk with a frame's worked-out values: the same steps in
// the same order as walk_row, at the points that end crossing edges alone
// (the others have no crossing flags to set and no edges; what the steps
// read of them comes from the values). Row (j, k) is sampled and row (j -
// 1, k - 1), of the same parity, finished.
int walk_crossing_row(Walk& w, int j, int k)
{
    LatticeState& l = w.lattice;
    const FrameValues& v = *w.field.values;
    const bool sampled = j < l.ly && k < l.lz, finished = j > 0 && k > 0;
    const int parity = (j + k) & 1;
    const size_t row = static_cast<size_t>(k) * l.ly + j, behind = row - l.ly - 1;
    for (int s0 = 0; s0 < v.half; s0 += 64) {
        const uint64_t in_row = v.half - s0 < 64 ? (uint64_t(1) << (v.half - s0)) - 1 : ~uint64_t(0);
        const uint64_t sample = sampled ? bits_from(v.crossing, row * v.half + s0) & in_row : 0;
        const uint64_t finish = finished ? bits_from(v.crossing, behind * v.half + s0) & in_row : 0;
        for (uint64_t left = sample | finish; left; left &= left - 1) {
            const int bit = __builtin_ctzll(left);
            const int i = 2 * (s0 + bit) + parity;
            if (sample >> bit & 1) {
                l.record(i, j).crossing_flags = 0;
                mark_crossings(l, i, j, k);
            }
            if (!(finish >> bit & 1)) continue;
            const int status = finish_point(l, i, j, k, k >= w.emit_from);
            if (status != LATTICE_DONE) return status;
        }
    }
    return LATTICE_DONE;
}

// Iterations [first, last) of the walk: iteration k samples slice k and
// finishes slice k - 1 (k = lz only finishes). Slices from report_from on
// are reported; a part records its counts.
int walk(Walk& w, int first, int last, int report_from, WalkPart* part = nullptr)
{
    LatticeState& l = w.lattice;
    for (int k = first; k < last; ++k) {
        if (part) part->vertices_at.push_back(l.blocks->vertex_blocks.count);
        for (int j = 0; j <= l.ly; ++j) {
            int status = w.field.values ? walk_crossing_row(w, j, k) : walk_row(w, j, k);
            if (status != LATTICE_DONE) return status;
        }
        if (w.field.cancel && *w.field.cancel) return LATTICE_CANCELLED;
        if (part && k >= w.emit_from) part->triangles_after.push_back(l.blocks->triangle_blocks.count);
        if (k >= report_from && k < l.lz && w.field.slice_done)
            w.field.slice_done(w.field.context, k, static_cast<long>(l.blocks->triangle_blocks.count));
    }
    if (part) part->vertices_at.push_back(l.blocks->vertex_blocks.count);
    return LATTICE_DONE;
}

struct FreeRecords {
    void operator()(SampleRecord* p) const { std::free(p); }
};
using RecordBuffer = std::unique_ptr<SampleRecord[], FreeRecords>;

int64_t vertex_block_size(const LatticeField& f) { return static_cast<int64_t>(f.lx) * f.ly * f.lz / 32; }

// Not joined: the caller walks the lattice in one go.
constexpr int PARTS_NOT_JOINED = -1;

// The walk over a frame's values in parts side by side (walk_parts.h), the
// first on the calling thread and reporting its slices as it goes, the
// others' slices reported once they are joined (*reported: the slices
// reported). Returns LATTICE_DONE with the joined mesh in the outputs,
// LATTICE_CANCELLED, or PARTS_NOT_JOINED.
int walk_in_parts(const LatticeField& field, const std::vector<int>& starts, SampleRecord* buffer,
                  const std::vector<int64_t>& kept_apart, bool regularise, bool report, int* reported,
                  std::vector<MeshVertex>& vertices, std::vector<MeshTriangle>& triangles,
                  std::vector<int64_t>& owners)
{
    const size_t count = starts.size();
    const size_t records = static_cast<size_t>(field.lx) * field.ly;
    const int64_t vertex_block = vertex_block_size(field);
    std::vector<WalkPart> parts(count);
    std::vector<RecordBuffer> buffers(count);
    for (size_t p = 0; p < count; ++p) {
        WalkPart& part = parts[p];
        part.first = p == 0 ? 0 : starts[p] - PART_LEAD_IN;
        part.emit_from = starts[p];
        part.last = p + 1 < count ? starts[p + 1] : field.lz + 1;
        reset_mesh_blocks(part.blocks, vertex_block, vertex_block * 2);
        if (p == 0) continue;
        buffers[p].reset(static_cast<SampleRecord*>(std::calloc(records, sizeof(SampleRecord))));
        if (!buffers[p]) return PARTS_NOT_JOINED;
    }
    auto run = [&](size_t p) {
        WalkPart& part = parts[p];
        Walk w{field, LatticeState{field.lx, field.ly, field.lz, p == 0 ? buffer : buffers[p].get(), &part.blocks,
                                   regularise}};
        w.lattice.direct = &field;
        w.lattice.kept_apart = &kept_apart;
        w.lattice.vertex_owner = regularise ? &part.owners : nullptr;
        w.emit_from = part.emit_from;
        try {
            part.status = walk(w, part.first, part.last, p == 0 && report ? 0 : INT_MAX, &part);
        } catch (const std::bad_alloc&) {
            part.status = LATTICE_NO_POINT_MEMORY;
        }
    };
    std::vector<std::thread> helpers;
    {
        const StopSignalsHeldBack held;
        for (size_t p = 1; p < count; ++p) {
            try {
                helpers.emplace_back(run, p);
            } catch (...) {
                break;  // no more threads: the calling thread walks the rest
            }
        }
    }
    run(0);
    for (size_t p = helpers.size() + 1; p < count; ++p) run(p);
    for (std::thread& t : helpers) t.join();
    if (report && parts[0].status == LATTICE_DONE) *reported = parts[0].last;
    for (const WalkPart& part : parts)
        if (part.status == LATTICE_CANCELLED) return LATTICE_CANCELLED;
    for (const WalkPart& part : parts)
        if (part.status != LATTICE_DONE) return PARTS_NOT_JOINED;
    buffers.clear();
    if (!join_walk_parts(parts, parts[0].blocks.vertex_blocks.block_size, parts[0].blocks.triangle_blocks.block_size,
                         vertices, triangles, owners))
        return PARTS_NOT_JOINED;
    if (report && field.slice_done) {
        long before = parts[0].blocks.triangle_blocks.count;
        for (size_t p = 1; p < count; ++p) {
            const WalkPart& part = parts[p];
            for (int k = part.emit_from; k < part.last && k < field.lz; ++k)
                field.slice_done(field.context, k, before + part.triangles_after[static_cast<size_t>(k - part.emit_from)]);
            before += part.blocks.triangle_blocks.count;
        }
        *reported = field.lz;
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

// Grouping a point's edges into one vertex can, rarely, join two sheets of
// the surface at one edge. After such a walk the points that grouped the
// vertices of every edge not used exactly twice (once each way) keep their
// edges apart, and the lattice is walked again: only their triangles change.
// Should that not settle it, plain tetrahedra (always sound) finish the frame.
constexpr int MOST_WALKS = 6;

bool keep_owners_apart(const std::vector<int32_t>& bad, const std::vector<int64_t>& owners,
                       std::vector<int64_t>& kept_apart)
{
    const size_t before = kept_apart.size();
    for (int32_t v : bad) {
        const int64_t owner = static_cast<size_t>(v) < owners.size() ? owners[static_cast<size_t>(v)] : -1;
        if (owner >= 0 && !std::binary_search(kept_apart.begin(), kept_apart.begin() + before, owner))
            kept_apart.push_back(owner);
    }
    if (kept_apart.size() == before) return false;
    std::sort(kept_apart.begin(), kept_apart.end());
    kept_apart.erase(std::unique(kept_apart.begin(), kept_apart.end()), kept_apart.end());
    return true;
}

int walk_until_sound(const LatticeField& field, SampleRecord* buffer, std::vector<MeshTriangle>& triangles,
                     std::vector<MeshVertex>& vertices)
{
    const int64_t records = static_cast<int64_t>(field.lx) * field.ly;
    const int64_t vertex_block = vertex_block_size(field);
    bool regularise = field.regularise;
    std::vector<int64_t> kept_apart, owners;
    WalkReport report;
    // Over a frame's values the walk may go in parts side by side.
    const std::vector<int> starts =
        field.values && field.threads > 1 ? walk_part_starts(*field.values, field.threads) : std::vector<int>{0};
    for (int attempt = 0;; ++attempt) {
        owners.clear();
        int reported = 0;
        int status = PARTS_NOT_JOINED;
        if (starts.size() > 1) {
            status = walk_in_parts(field, starts, buffer, kept_apart, regularise, attempt == 0, &reported, vertices,
                                   triangles, owners);
            if (status == LATTICE_CANCELLED) return status;
            if (status == LATTICE_DONE) report.parts = static_cast<int>(starts.size());
        }
        if (status != LATTICE_DONE) {
            MeshBlocks blocks;
            reset_mesh_blocks(blocks, vertex_block, vertex_block * 2);
            // With worked-out values a record is set as its point is visited.
            if (!field.values) std::fill(buffer, buffer + records, SampleRecord{});
            owners.clear();
            Walk w{field, LatticeState{field.lx, field.ly, field.lz, buffer, &blocks, regularise}};
            if (field.values) w.lattice.direct = &field;
            w.lattice.kept_apart = &kept_apart;
            w.lattice.vertex_owner = regularise ? &owners : nullptr;
            status = walk(w, 0, field.lz + 1, attempt == 0 ? reported : INT_MAX);
            if (status != LATTICE_DONE) return status;
            if (!copy_out(blocks.triangle_blocks, triangles)) return LATTICE_NO_TRIANGLE_ARRAY;
            if (!copy_out(blocks.vertex_blocks, vertices)) return LATTICE_NO_VERTEX_ARRAY;
        }
        if (!regularise) break;
        const std::vector<int32_t> bad = unsound_vertices(triangles);
        if (bad.empty()) break;
        ++report.extra_walks;
        if (attempt + 2 >= MOST_WALKS || !keep_owners_apart(bad, owners, kept_apart)) {
            regularise = false;
            report.plain = true;
        }
    }
    report.points_kept_apart = static_cast<long>(kept_apart.size());
    if (field.report) *field.report = report;
    return LATTICE_DONE;
}

}  // namespace

int64_t frame_mesh_triangles(int lx, int ly, int lz)
{
    const int64_t faces = 2 * (static_cast<int64_t>(lx) * ly + static_cast<int64_t>(ly) * lz +
                               static_cast<int64_t>(lz) * lx);
    return std::min(2 * faces, static_cast<int64_t>(lx) * ly * lz / 16);
}

int64_t lattice_walk_working_bytes(int lx, int ly, int lz, int threads)
{
    const int64_t records = static_cast<int64_t>(lx) * ly * std::max(threads, 1);
    const int64_t triangles = frame_mesh_triangles(lx, ly, lz);
    const int64_t mesh = triangles * static_cast<int64_t>(sizeof(MeshTriangle)) +
                         triangles / 2 * static_cast<int64_t>(sizeof(MeshVertex));
    return records * static_cast<int64_t>(sizeof(SampleRecord)) + 4 * mesh;
}

int triangulate_lattice(const LatticeField& field, SurfaceMesh* mesh)
{
    if (field.report) *field.report = WalkReport{};
    const bool empty = field.lx <= 0 || field.ly <= 0 || field.lz <= 0;
    const int64_t records = empty ? 0 : static_cast<int64_t>(field.lx) * field.ly;
    // Zeroed pages from the system: with worked-out values only the records
    // of crossing points are written, and the others' pages never touched.
    RecordBuffer buffer(
        static_cast<SampleRecord*>(std::calloc(static_cast<size_t>(records > 0 ? records : 1), sizeof(SampleRecord))));
    if (!buffer) return LATTICE_NO_BUFFER;

    std::vector<MeshTriangle> triangles;
    std::vector<MeshVertex> vertices;
    if (!empty) {
        int status;
        try {
            status = walk_until_sound(field, buffer.get(), triangles, vertices);
        } catch (const std::bad_alloc&) {
            status = LATTICE_NO_POINT_MEMORY;
        }
        if (status != LATTICE_DONE) {
            if (status == LATTICE_NO_VERTEX_ARRAY) mesh->triangles.clear();
            return status;
        }
    }
    if (field.walk_done) field.walk_done(field.context, static_cast<long>(triangles.size()));
    buffer.reset();
    mesh->vertices = std::move(vertices);
    mesh->triangles = std::move(triangles);
    long joined = 0;
    try {
        joined = join_coincident_vertices(*mesh);
    } catch (const std::bad_alloc&) {
        // The mesh is sound as it is; only its zero-area pairs stay.
    }
    if (field.report) field.report->vertices_joined = joined;
    return LATTICE_DONE;
}

}  // namespace kestrane
