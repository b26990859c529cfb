#include "kernels/nearest_medians.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

#include "kernels/vector_clones.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

// Node v's nearest median from its list of nearest nodes, when the list
// settles it: the first median met, and of the medians at that same
// distance the lowest cluster, provided the distance is below the list's
// last, so that no node beyond the list ties. Far fewer reads than its row.
bool nearest_in_list(const State& s, int v, const std::vector<int>& cluster_of_median, float& nearest, int& cluster) {
    const CandidateLists& lists = s.caches.candidates;
    const CandidateLists::Entry* list = lists.row(v);
    const int width = lists.width;
    int k = 0;
    while (k < width && cluster_of_median[list[k].node] < 0) ++k;
    if (k == width || !(list[k].dist < lists.farthest[v])) return false;
    nearest = list[k].dist;
    cluster = cluster_of_median[list[k].node];
    for (++k; k < width && list[k].dist == nearest; ++k) {
        const int c = cluster_of_median[list[k].node];
        if (c >= 0 && c < cluster) cluster = c;
    }
    return true;
}

// The rows of the medians of clusters c .. c + count - 1 offered to every
// node, one after the other, in one pass: branch-free, so it vectorises
// (kept out of line, where the compiler keeps the pointers apart), and each
// node's nearest and cluster are read and written once for them all. A
// strict comparison keeps the first of equal distances.
template <int count>
[[gnu::noinline]] VECTOR_CLONES void offer_rows(const std::array<const float*, count>& rows, int c,
                                                float* __restrict nearest, int* __restrict cluster, int n) {
    for (int v = 0; v < n; ++v) {
        float kept = nearest[v];
        int kept_cluster = cluster[v];
        for (int k = 0; k < count; ++k) {
            const float d = rows[k][v];
            kept_cluster = d < kept ? c + k : kept_cluster;
            kept = d < kept ? d : kept;
        }
        nearest[v] = kept;
        cluster[v] = kept_cluster;
    }
}

// Median c's row offered to every node after other clusters' rows, in any
// order: an equal distance goes to the lower cluster.
[[gnu::noinline]] VECTOR_CLONES void offer_row_in_any_order(const float* __restrict row, int c,
                                                            float* __restrict nearest, int* __restrict cluster, int n) {
    for (int v = 0; v < n; ++v) {
        const float d = row[v];
        const float kept = nearest[v];
        const int kept_cluster = cluster[v];
        const int nearer = (d < kept) | ((d == kept) & (c < kept_cluster));
        nearest[v] = d < kept ? d : kept;
        cluster[v] = kept_cluster + (c - kept_cluster) * nearer;
    }
}

// The nearest median of every node, median by median: rows of the matrix
// read from end to end (a median's own entry is never used), four at a
// time. Ascending clusters with a strict comparison keep the first of
// equal distances, as a client-by-client scan does.
void nearest_from_scratch(State& s) {
    LastAssignment& last = s.caches.last_assignment;
    std::fill(last.nearest.begin(), last.nearest.end(), INF_DIST);
    std::fill(last.cluster.begin(), last.cluster.end(), 0);
    const auto row = [&s](int c) { return s.dist[s.sv_node[c]]; };
    int c = 0;
    for (; c + 4 <= s.p; c += 4) {
        offer_rows<4>({row(c), row(c + 1), row(c + 2), row(c + 3)}, c, last.nearest.data(), last.cluster.data(), s.n);
    }
    for (; c < s.p; ++c) offer_rows<1>({row(c)}, c, last.nearest.data(), last.cluster.data(), s.n);
}

// The same result from the last assignment when only the medians of
// `changed` differ: a node keeps the first nearest of the clusters that
// stayed, so it needs comparing only with the changed ones (the first of
// equal distances is the lowest cluster, in any order of comparison),
// unless its own cluster changed or it was a median.
void nearest_after_changes(State& s, const std::vector<int>& changed) {
    LastAssignment& last = s.caches.last_assignment;
    std::vector<char> is_changed(std::size_t(s.p), 0);
    for (int c : changed) is_changed[c] = 1;
    std::vector<int> rescan;
    for (int a = s.p; a < s.n; ++a) {
        const int v = s.sv_node[a];
        if (last.was_median[v] || is_changed[last.cluster[v]]) rescan.push_back(v);
    }
    for (int c : changed) {
        offer_row_in_any_order(s.dist[s.sv_node[c]], c, last.nearest.data(), last.cluster.data(), s.n);
    }
    std::vector<int> cluster_of_median(std::size_t(s.n), -1);
    for (int c = 0; c < s.p; ++c) cluster_of_median[s.sv_node[c]] = c;
    for (std::size_t r = 0; r < rescan.size(); ++r) {
        if (r + walks_ahead < rescan.size()) s.caches.candidates.prefetch(rescan[r + walks_ahead]);
        const int v = rescan[r];
        if (!nearest_in_list(s, v, cluster_of_median, last.nearest[v], last.cluster[v])) {
            const NearestMedian nearest = nearest_median(s.dist[v], s.sv_node.data(), s.p);
            last.nearest[v] = nearest.distance;
            last.cluster[v] = nearest.position;
        }
    }
}

// Whether nearest_after_changes costs less than nearest_from_scratch, which
// offers p rows. The rescan offers a row per changed median and walks the
// lists of the nodes of its cluster, about n / p of them, each some n / p
// entries to its first median.
bool rescan_pays(int n, int p, std::size_t changed, const Tuning& tuning) {
    const double cluster_size = double(n) / p;
    return double(changed) * (tuning.rescan_entry_cost * cluster_size * cluster_size + n) < double(p) * n;
}

// Every non-median node's nearest and cluster are those a scan of sv_node's
// medians finds.
[[maybe_unused]] bool agrees_with_a_scan(const State& s) {
    const LastAssignment& last = s.caches.last_assignment;
    for (int a = s.p; a < s.n; ++a) {
        const int v = s.sv_node[a];
        const NearestMedian nearest = nearest_median(s.dist[v], s.sv_node.data(), s.p);
        if (last.nearest[v] != nearest.distance || last.cluster[v] != nearest.position) return false;
    }
    return true;
}

}  // namespace

void find_nearest_medians(State& s) {
    LastAssignment& last = s.caches.last_assignment;
    std::vector<int> changed;
    if (last.valid) {
        for (int c = 0; c < s.p; ++c) {
            if (s.sv_node[c] != last.medians[c]) changed.push_back(c);
        }
    }
    if (!last.valid || !rescan_pays(s.n, s.p, changed.size(), s.tuning)) {
        nearest_from_scratch(s);
    } else if (!changed.empty()) {
        ++s.taken.assignments_rescanned;
        nearest_after_changes(s, changed);
    }
    assert(agrees_with_a_scan(s));
    if (last.valid) {
        for (int c = 0; c < s.p; ++c) last.was_median[last.medians[c]] = 0;
    }
    for (int c = 0; c < s.p; ++c) {
        last.medians[c] = s.sv_node[c];
        last.was_median[s.sv_node[c]] = 1;
    }
    last.valid = true;
}

}  // namespace pmedian
