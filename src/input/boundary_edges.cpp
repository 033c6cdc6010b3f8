#include "input/boundary_edges.h"

#include <algorithm>
#include <numeric>

namespace kestrane {
namespace {

uint64_t pair_key(uint32_t a, uint32_t b)
{
    if (a > b) std::swap(a, b);
    return (static_cast<uint64_t>(a) << 32) | b;
}

bool before(const Vector3& a, const Vector3& b)
{
    if (a.x != b.x) return a.x < b.x;
    if (a.y != b.y) return a.y < b.y;
    return a.z < b.z;
}

bool same(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

}  // namespace

void BoundaryEdges::begin_object() { end_object(); }

void BoundaryEdges::vertex(Vector3 position) { positions_.push_back(position); }

void BoundaryEdges::face(int32_t n, const int32_t* indices)
{
    if (!indices || n < 3) return;
    const auto vertex_count = static_cast<int64_t>(positions_.size());
    for (int32_t k = 0; k < n; ++k) {
        const int32_t a = indices[k];
        const int32_t b = indices[(k + 1) % n];
        if (a < 0 || b < 0 || a >= vertex_count || b >= vertex_count) continue;  // the reader refuses these
        edges_.push_back(pair_key(static_cast<uint32_t>(a), static_cast<uint32_t>(b)));
    }
}

void BoundaryEdges::end_object()
{
    if (!edges_.empty()) {
        // Each vertex stands for the first one at its position.
        std::vector<uint32_t> order(positions_.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return before(positions_[a], positions_[b]); });
        std::vector<uint32_t> same_as(positions_.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const bool repeat = i > 0 && same(positions_[order[i]], positions_[order[i - 1]]);
            same_as[order[i]] = repeat ? same_as[order[i - 1]] : order[i];
        }
        size_t kept = 0;
        for (uint64_t e : edges_) {
            const uint32_t a = same_as[e >> 32];
            const uint32_t b = same_as[e & 0xffffffffu];
            if (a != b) edges_[kept++] = pair_key(a, b);  // an edge of length 0 bounds nothing
        }
        edges_.resize(kept);
        std::sort(edges_.begin(), edges_.end());
        for (size_t i = 0; i < edges_.size();) {
            size_t j = i + 1;
            while (j < edges_.size() && edges_[j] == edges_[i]) ++j;
            if (j - i == 1) ++count_;
            i = j;
        }
    }
    std::vector<Vector3>().swap(positions_);
    std::vector<uint64_t>().swap(edges_);
}

long BoundaryEdges::count()
{
    end_object();
    return count_;
}

}  // namespace kestrane
