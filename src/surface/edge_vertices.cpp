#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "shape/morph_field.h"
#include "surface/lattice_reads.h"
#include "surface/lattice_tables.h"
#include "surface/marching_tetrahedra.h"

namespace kestrane {
namespace {

constexpr double PI = 3.14159265358979323846;

struct Neighbourhood {
    int16_t value[DIRECTION_COUNT];
    uint32_t colour[DIRECTION_COUNT];
    Vector3 position[DIRECTION_COUNT];
    int32_t* slot[DIRECTION_COUNT];
};

// Directions 3..6 lie in the slice below: their records already hold the
// next sample there, so the point wanted is the previous one.
bool in_slice_below(int d) { return d >= 3 && d <= 6; }

void gather(LatticeState& lattice, int column, int row, int slice, uint16_t valid, Neighbourhood& n)
{
    SampleRecord& own = lattice.record(column, row);
    for (int d = 0; d < DIRECTION_COUNT; ++d) {
        if (!(valid & (1u << d))) continue;
        const LatticeOffset& o = DIRECTION_OFFSET[d];
        SampleRecord& r = lattice.record(column + o.di, row + o.dj);
        if (lattice.direct) {
            const LatticeField& f = *lattice.direct;
            const int i = column + o.di, j = row + o.dj, k = slice + o.dk;
            n.value[d] = worked_out_value(f, i, j, k);
            n.colour[d] = worked_out_colour(f, i, j, k);
            n.position[d] = lattice_position(f, i, j, k);
        } else if (in_slice_below(d)) {
            n.value[d] = r.previous_value;
            n.colour[d] = r.previous_colour;
            n.position[d] = r.previous_position;
        } else {
            n.value[d] = r.value;
            n.colour[d] = r.colour;
            n.position[d] = r.position;
        }
        n.slot[d] = d < BACKWARD_DIRECTIONS ? &own.edge_vertex[d] : &r.edge_vertex[d - 7];
    }
}

uint16_t flood_fill(uint16_t set, int start)
{
    uint16_t visited = static_cast<uint16_t>(1u << start);
    uint16_t frontier = visited;
    while (frontier) {
        uint16_t reached = 0;
        for (int d = 0; d < DIRECTION_COUNT; ++d)
            if (frontier & (1u << d)) reached |= RING_MASK[d];
        frontier = reached & set & ~visited;
        visited |= frontier;
    }
    return visited;
}

int lowest_direction(uint16_t set)
{
    int d = 0;
    while (!(set & (1u << d))) ++d;
    return d;
}

int direction_count(uint16_t set)
{
    int n = 0;
    for (; set; set &= set - 1) ++n;
    return n;
}

bool is_outside(int value) { return value < 0; }

// One link edge with both ends unassigned between two assigned apexes: the
// clustered vertex would cut across it unless one end is on the point's side
// and farther from the surface than an apex.
bool link_edge_forbids(uint16_t edge, uint16_t apex, int16_t point_value, const int16_t values[14])
{
    int a = lowest_direction(edge), b = lowest_direction(edge & (edge - 1));
    int c = lowest_direction(apex), d = lowest_direction(apex & (apex - 1));
    auto near_or_across = [&](int x) {
        int v = values[x];
        return is_outside(v) != is_outside(point_value) ||
               (std::abs(v) <= std::abs(values[c]) && std::abs(v) <= std::abs(values[d]));
    };
    return near_or_across(a) && near_or_across(b);
}

struct EdgeEstimate {
    Vector3 normal;  // unit, towards decreasing values
    double weight;   // feature weight, 0 on flat ground
    Vector3 crossing;
    uint32_t colour;
};

EdgeEstimate estimate_edge(const Neighbourhood& n, uint16_t valid, int k, Vector3 p, int16_t vp, uint32_t colour_p)
{
    EdgeEstimate out;
    Vector3 e = vec_sub(n.position[k], p);
    double length = std::sqrt(vec_dot(e, e));
    Vector3 u = vec_normalise(e);
    Vector3 sum = u;
    double dv_edge = static_cast<double>(vp) - n.value[k];

    const RingPairs& pairs = RING_PAIRS[k];
    Vector3 hinge[3];
    double opening[3];
    int kept = 0;
    for (int i = 0; i < pairs.count; ++i) {
        int members[2] = {pairs.a[i], pairs.b[i]};
        double slope[2] = {0, 0};
        Vector3 across[2] = {{0, 0, 0}, {0, 0, 0}};
        bool present[2];
        for (int m = 0; m < 2; ++m) {
            int x = members[m];
            present[m] = (valid & (1u << x)) != 0;
            if (!present[m]) continue;
            Vector3 g = vec_sub(n.position[x], p);
            double c = vec_dot(u, g);
            double dv = static_cast<double>(vp) - n.value[x];
            slope[m] = (dv * length / dv_edge - c) / std::sqrt(vec_dot(g, g) - c * c);
            across[m] = vec_normalise(vec_add_scaled(g, u, -c));
        }
        if (!present[0] && !present[1]) continue;
        Vector3 t;
        if (present[0] && present[1]) {
            t = across[0];
            sum = vec_add_scaled(sum, t, (slope[0] - slope[1]) / pairs.count);
            double s = std::sin((PI - std::atan(slope[0]) - std::atan(slope[1])) / 2);
            opening[kept] = s * s;
        } else {
            int m = present[0] ? 0 : 1;
            t = across[m];
            sum = vec_add_scaled(sum, t, 2 * slope[m] / pairs.count);
            opening[kept] = 1.0;
        }
        hinge[kept++] = vec_cross(u, t);
    }

    Vector3 normal = vec_normalise(sum);
    if (n.value[k] > vp) normal = {-normal.x, -normal.y, -normal.z};
    double c = vec_dot(u, normal);
    double weight = 0;
    for (int i = 0; i < kept; ++i) {
        double h = vec_dot(hinge[i], normal);
        double ratio = h == 0 ? 1.0 : c * c / (c * c + h * h);
        double candidate = std::sqrt(ratio / opening[i] - 1);
        if (candidate > weight) weight = candidate;  // false for a NaN
    }
    out.normal = normal;
    out.weight = weight < FEATURE_WEIGHT_LIMIT ? weight : FEATURE_WEIGHT_LIMIT;

    double t = (vp - ISO_LEVEL) / dv_edge;
    out.crossing = vec_add_scaled(p, e, t);
    out.colour = blend_colour(t, n.colour[k], colour_p);
    return out;
}

bool kept_apart(const LatticeState& lattice, int64_t key)
{
    return lattice.kept_apart && std::binary_search(lattice.kept_apart->begin(), lattice.kept_apart->end(), key);
}

int colour_strength(uint32_t colour)
{
    int r = static_cast<int8_t>(colour & 0xff);
    int g = static_cast<int8_t>((colour >> 8) & 0xff);
    int b = static_cast<int8_t>((colour >> 16) & 0xff);
    return r * r + g * g + b * b;
}

}  // namespace

uint16_t valid_directions(const LatticeState& lattice, int column, int row, int slice)
{
    // Each border removes the directions that leave the lattice there; a
    // lattice only a few points wide may touch several borders at once.
    uint16_t mask = ALL_DIRECTIONS;
    if (column == 0) mask &= 0x3b5b;
    if (column == lattice.lx - 1) mask &= 0x2df6;
    if (row == 0) mask &= 0x1fe8;
    if (row == 1) mask &= 0x3ffd;
    if (row == lattice.ly - 2) mask &= 0x3eff;
    if (row == lattice.ly - 1) mask &= 0x343f;
    if (slice == 0) mask &= 0x3f87;
    if (slice == lattice.lz - 1) mask &= 0x03ff;
    return mask;
}

int cluster_groups(uint16_t assigned, uint16_t valid, int16_t point_value, const int16_t neighbour_values[14],
                   uint16_t groups[14])
{
    if (assigned == 0 || assigned == ALL_DIRECTIONS) return 0;
    uint16_t unassigned = ALL_DIRECTIONS & ~assigned;
    uint16_t reached = flood_fill(unassigned, lowest_direction(unassigned));
    if (reached != unassigned || direction_count(reached) < 3) return 0;

    int count = 0;
    for (uint16_t rest = assigned; rest; ++count) {
        groups[count] = flood_fill(rest, lowest_direction(rest));
        rest &= ~groups[count];
    }
    if (count >= 2) return count;

    for (const LinkEdge& link : LINK_EDGES) {
        if ((link.edge & unassigned) != link.edge || (link.apex & assigned) != link.apex) continue;
        // Tetrahedra beyond the lattice's border are never triangulated.
        if ((link.edge & valid) != link.edge) continue;
        if (link_edge_forbids(link.edge, link.apex, point_value, neighbour_values)) return 0;
    }
    return 1;
}

int place_edge_vertices(LatticeState& lattice, int column, int row_plus_one, int slice_plus_one)
{
    int row = row_plus_one - 1, slice = slice_plus_one - 1;
    SampleRecord& own = lattice.record(column, row);
    uint16_t valid = valid_directions(lattice, column, row, slice);
    uint16_t assigned = own.crossing_flags & valid;
    if (assigned == 0) return 0;

    Neighbourhood n{};
    gather(lattice, column, row, slice, valid, n);
    Vector3 p = own.position;
    int16_t vp = own.value;
    uint32_t colour_p = own.colour;
    if (lattice.direct) {
        const LatticeField& f = *lattice.direct;
        p = lattice_position(f, column, row, slice);
        vp = worked_out_value(f, column, row, slice);
        colour_p = worked_out_colour(f, column, row, slice);
    }

    EdgeEstimate edge[DIRECTION_COUNT];
    for (int k = 0; k < DIRECTION_COUNT; ++k)
        if (assigned & (1u << k)) edge[k] = estimate_edge(n, valid, k, p, vp, colour_p);

    MeshBlocks& blocks = *lattice.blocks;
    uint16_t groups[DIRECTION_COUNT];
    const int64_t key = lattice.point_key(column, row, slice);
    int group_count = lattice.regularise && !kept_apart(lattice, key)
                          ? cluster_groups(assigned, valid, vp, n.value, groups)
                          : 0;

    if (group_count == 0) {
        for (int k = 0; k < DIRECTION_COUNT; ++k) {
            if (!(assigned & (1u << k))) continue;
            *n.slot[k] = blocks.vertex_blocks.count;
            int status = add_mesh_vertex(blocks, edge[k].crossing, vec_to_direction16(edge[k].normal), edge[k].colour);
            if (status != APPEND_DONE) return status;
            if (lattice.vertex_owner) lattice.vertex_owner->push_back(-1);
        }
        return 0;
    }

    for (int g = 0; g < group_count; ++g) {
        Vector3 position{0, 0, 0}, normal{0, 0, 0};
        double total = 0;
        int strongest = -1;
        for (int k = 0; k < DIRECTION_COUNT; ++k) {
            if (!(groups[g] & (1u << k))) continue;
            *n.slot[k] = blocks.vertex_blocks.count;
            double w = edge[k].weight + WEIGHT_FLOOR;
            position = vec_add_scaled(position, edge[k].crossing, w);
            normal = vec_add_scaled(normal, edge[k].normal, w);
            total += w;
            if (strongest < 0 || colour_strength(edge[k].colour) > colour_strength(edge[strongest].colour))
                strongest = k;
        }
        position = {position.x / total, position.y / total, position.z / total};
        int status = add_mesh_vertex(blocks, position, vec_to_direction16(normal), edge[strongest].colour);
        if (status != APPEND_DONE) return status;
        if (lattice.vertex_owner) lattice.vertex_owner->push_back(key);
    }
    return 0;
}

}  // namespace kestrane
