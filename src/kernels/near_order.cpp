#include "kernels/near_order.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "kernels/cluster_sums.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

// The nodes in an order in which near nodes lie together, from any
// cluster's point of view: each range is split in halves between two
// far-apart nodes of it, by how much nearer to the one than to the other
// each node is, until the ranges are small. A compact group of nodes then
// falls into a few ranges of the order.
std::vector<int> nodes_by_region(const State& s) {
    std::vector<int> order(std::size_t(s.n));
    for (int x = 0; x < s.n; ++x) order[x] = x;
    std::vector<double> nearer_to_a(std::size_t(s.n));
    std::vector<std::pair<int, int>> ranges{{0, s.n}};
    while (!ranges.empty()) {
        const int lo = ranges.back().first;
        const int hi = ranges.back().second;
        ranges.pop_back();
        if (hi - lo <= smallest_near_range) continue;
        auto farthest_from = [&](int from) {
            const float* row = s.dist[from];  // the matrix is symmetric
            int far = order[lo];
            for (int k = lo; k < hi; ++k) {
                if (row[order[k]] > row[far]) far = order[k];
            }
            return far;
        };
        const int a = farthest_from(order[lo]);
        const int b = farthest_from(a);
        for (int k = lo; k < hi; ++k) {
            const int x = order[k];
            const double by = double(s.dist[a][x]) - double(s.dist[b][x]);
            nearer_to_a[x] = by == by ? by : 0;  // infinities may give NaN, which would not order
        }
        const int middle = lo + (hi - lo) / 2;
        std::nth_element(order.begin() + lo, order.begin() + middle, order.begin() + hi,
                         [&](int x, int y) { return nearer_to_a[x] < nearer_to_a[y]; });
        ranges.push_back({lo, middle});
        ranges.push_back({middle, hi});
    }
    return order;
}

template <typename Cell>
void fill_copy(const State& s, SquareMatrix<Cell>& copy) {
    const std::vector<int>& node_at = s.caches.cluster_sums.near.node_at;
    for (int a = 0; a < s.n; ++a) {
        const float* row = s.dist[node_at[a]];
        Cell* out = copy[a];
        for (int b = 0; b < s.n; ++b) out[b] = Cell(row[node_at[b]]);
    }
}

}  // namespace

void build_near_order(State& s, bool whole_below_2_16) {
    NearOrder& near = s.caches.cluster_sums.near;
    const Tuning& tuning = s.tuning;
    const bool large = s.n > tuning.least_near_order_side && s.n <= tuning.largest_near_order_side;
    near.is_narrow = large && whole_below_2_16 && near.narrow.allocate(s.n);
    const bool copied = near.is_narrow || (large && near.copy.allocate(s.n));
    if (copied) {
        near.node_at = nodes_by_region(s);
    } else {
        near.node_at.resize(std::size_t(s.n));
        for (int x = 0; x < s.n; ++x) near.node_at[x] = x;
    }
    near.index.assign(std::size_t(s.n), 0);
    for (int a = 0; a < s.n; ++a) near.index[near.node_at[a]] = a;
    near.rows = near.is_narrow ? nullptr : copied ? &near.copy : &s.dist;
    s.taken.narrow_copy += near.is_narrow;
    s.taken.float_copy += copied && !near.is_narrow;
    if (near.is_narrow) {
        near.narrow.fault_in_rows(0, s.n);
        fill_copy(s, near.narrow);
    } else if (copied) {
        near.copy.fault_in_rows(0, s.n);
        fill_copy(s, near.copy);
    }
}

}  // namespace pmedian
