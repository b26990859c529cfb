#include "near_order.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pmedian {

namespace {

// Below this side the matrix stays in the caches; above the upper one a
// second copy would cost more memory than it saves time.
constexpr int least_side = 1024;
constexpr int largest_side = 16384;

struct Place {
    int cluster;
    int bordering;  // the cluster of its second-nearest median
    float margin;   // distance to its median less that to the second
    int node;
};

std::vector<int> nodes_by_region(const State& s, const std::vector<int>& cluster_of) {
    std::vector<Place> places(std::size_t(s.n));
    for (int x = 0; x < s.n; ++x) {
        const float* row = s.dist[x];  // the matrix is symmetric
        const int own = cluster_of[x];
        int bordering = own;
        float second = INF_DIST;
        for (int c = 0; c < s.p; ++c) {
            if (c != own && row[s.vc[c].median] < second) {
                second = row[s.vc[c].median];
                bordering = c;
            }
        }
        places[x] = {own, bordering, row[s.vc[own].median] - second, x};
    }
    std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
        if (a.cluster != b.cluster) return a.cluster < b.cluster;
        if (a.bordering != b.bordering) return a.bordering < b.bordering;
        if (a.margin != b.margin) return a.margin < b.margin;
        return a.node < b.node;
    });
    std::vector<int> order(std::size_t(s.n));
    for (int a = 0; a < s.n; ++a) order[a] = places[a].node;
    return order;
}

template <typename Cell>
void fill_copy(const State& s, SquareMatrix<Cell>& copy) {
    const std::vector<int>& node_at = s.cluster_sums.near.node_at;
    for (int a = 0; a < s.n; ++a) {
        const float* row = s.dist[node_at[a]];
        Cell* out = copy[a];
        for (int b = 0; b < s.n; ++b) out[b] = Cell(row[node_at[b]]);
    }
}

}  // namespace

void build_near_order(State& s, const std::vector<int>& cluster_of, bool whole_below_2_16) {
    NearOrder& near = s.cluster_sums.near;
    const bool large = s.n > least_side && s.n <= largest_side;
    near.is_narrow = large && whole_below_2_16 && near.narrow.allocate(s.n);
    const bool copied = near.is_narrow || (large && near.copy.allocate(s.n));
    if (copied) {
        near.node_at = nodes_by_region(s, cluster_of);
    } else {
        near.node_at.resize(std::size_t(s.n));
        for (int x = 0; x < s.n; ++x) near.node_at[x] = x;
    }
    near.index.assign(std::size_t(s.n), 0);
    for (int a = 0; a < s.n; ++a) near.index[near.node_at[a]] = a;
    near.rows = near.is_narrow ? nullptr : copied ? &near.copy : &s.dist;
    if (near.is_narrow) {
        fill_copy(s, near.narrow);
    } else if (copied) {
        fill_copy(s, near.copy);
    }
}

}  // namespace pmedian
