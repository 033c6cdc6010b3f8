#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "shape/distance_transform.h"
#include "shape/sphere_candidates.h"

namespace kestrane {
// Choosing always takes the largest open candidate, first in list order on
// equal radii, and suppression only ever closes candidates. So visiting the
// candidates once by decreasing radius (stable) and taking every one still
// open gives the very choices of the rescanning method. Suppression looks
// only at grid cells that can hold a candidate closer than the reach: the
// chamfer length is at least 22 times the largest axis offset.

namespace {

struct CandidateGrid {
    int edge = 4;  // voxels per cell side
    int origin[3] = {0, 0, 0};
    int cells[3] = {1, 1, 1};
    std::vector<uint32_t> start;  // first entry of each cell in entries, plus the end
    std::vector<uint32_t> end;    // current end of each cell's live entries
    std::vector<uint32_t> entries;

    size_t cell_of(int x, int y, int z) const
    {
        int cx = (x - origin[0]) / edge, cy = (y - origin[1]) / edge, cz = (z - origin[2]) / edge;
        return (static_cast<size_t>(cz) * cells[1] + cy) * cells[0] + cx;
    }

    void build(const CandidateList& list)
    {
        int low[3] = {INT32_MAX, INT32_MAX, INT32_MAX}, high[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
        for (size_t i = 0; i < list.count; ++i) {
            const Sphere& c = list[i];
            const int p[3] = {c.x, c.y, c.z};
            for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], p[a]), high[a] = std::max(high[a], p[a]);
        }
        // Coarser cells for widely spread candidates, so that the grid stays
        // in proportion to the list.
        const size_t most_cells = std::max<size_t>(4096, 2 * list.count);
        for (;; edge *= 2) {
            for (int a = 0; a < 3; ++a) {
                origin[a] = low[a];
                cells[a] = (high[a] - low[a]) / edge + 1;
            }
            if (static_cast<size_t>(cells[0]) * cells[1] * cells[2] <= most_cells) break;
        }
        size_t total = static_cast<size_t>(cells[0]) * cells[1] * cells[2];
        start.assign(total + 1, 0);
        for (size_t i = 0; i < list.count; ++i) ++start[cell_of(list[i].x, list[i].y, list[i].z) + 1];
        for (size_t c = 0; c < total; ++c) start[c + 1] += start[c];
        end.assign(start.begin(), start.end() - 1);
        entries.resize(list.count);
        for (size_t i = 0; i < list.count; ++i) {
            const Sphere& c = list[i];
            entries[end[cell_of(c.x, c.y, c.z)]++] = static_cast<uint32_t>(i);
        }
    }

    // Cell range along one axis for centre p and reach h voxels (one voxel
    // of margin against rounding), clamped to the grid.
    void span(int axis, int p, double h, int* first, int* last) const
    {
        double low = std::floor((p - h - 1.0 - origin[axis]) / edge);
        double high = std::floor((p + h + 1.0 - origin[axis]) / edge);
        *first = static_cast<int>(std::max(0.0, low));
        *last = static_cast<int>(std::min(static_cast<double>(cells[axis] - 1), high));
    }

    void suppress_around(CandidateList& list, const Sphere& chosen, double reach)
    {
        int first[3], last[3];
        const int p[3] = {chosen.x, chosen.y, chosen.z};
        for (int a = 0; a < 3; ++a) span(a, p[a], reach / CHAMFER_FACE, &first[a], &last[a]);
        for (int cz = first[2]; cz <= last[2]; ++cz)
            for (int cy = first[1]; cy <= last[1]; ++cy)
                for (int cx = first[0]; cx <= last[0]; ++cx) {
                    size_t cell = (static_cast<size_t>(cz) * cells[1] + cy) * cells[0] + cx;
                    // Closed candidates leave the cell so later visits skip them.
                    uint32_t kept = start[cell];
                    for (uint32_t e = start[cell]; e < end[cell]; ++e) {
                        Sphere& c = list[entries[e]];
                        if (c.linked == CANDIDATE_OPEN &&
                            chamfer_length(c.x - chosen.x, c.y - chosen.y, c.z - chosen.z) < reach)
                            c.linked = CANDIDATE_SUPPRESSED;
                        if (c.linked == CANDIDATE_OPEN) entries[kept++] = entries[e];
                    }
                    end[cell] = kept;
                }
    }
};

}  // namespace

void select_spheres_grid(CandidateList& list, double locality)
{
    if (list.count == 0) return;
    std::vector<uint32_t> order;
    CandidateGrid grid;
    try {
        order.resize(list.count);
        grid.build(list);
    } catch (const std::bad_alloc&) {
        select_spheres_direct(list, locality);
        return;
    }
    for (size_t i = 0; i < list.count; ++i) order[i] = static_cast<uint32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&list](uint32_t a, uint32_t b) { return list[a].radius > list[b].radius; });
    for (uint32_t index : order) {
        Sphere& chosen = list[index];
        if (chosen.linked != CANDIDATE_OPEN) continue;
        chosen.linked = CANDIDATE_CHOSEN;
        double reach = chosen.radius * locality;
        // Nothing lies closer than a reach of zero or less (or not a number).
        if (reach > 0) grid.suppress_around(list, chosen, reach);
    }
}

}  // namespace kestrane
