#include "clusters.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace pmedian {

namespace {

bool sums_are_exact(const State& s) {
    float largest = 0;
    for (int i = 0; i < s.n; ++i) {
        const float* row = s.dist[i];
        for (int j = 0; j < s.n; ++j) {
            if (row[j] != float(std::int64_t(row[j]))) return false;
            largest = std::max(largest, row[j]);
        }
    }
    return double(s.n) * double(largest) < 16777216.0;
}

// The nodes of cluster c: its median, then its members.
template <typename Fn>
void for_each_in_cluster(const Cluster& cluster, Fn fn) {
    fn(cluster.median);
    for (int k = 0; k < cluster.size; ++k) fn(cluster.members[k]);
}

// Sum of row x over the given nodes. Sums here are exact in any order, so
// independent partial sums may run side by side.
float sum_over(const State& s, int x, const std::vector<int>& nodes) {
    const float* row = s.dist[x];
    float part[4] = {0, 0, 0, 0};
    std::size_t k = 0;
    for (; k + 4 <= nodes.size(); k += 4) {
        for (int lane = 0; lane < 4; ++lane) part[lane] += row[nodes[k + lane]];
    }
    for (; k < nodes.size(); ++k) part[0] += row[nodes[k]];
    return (part[0] + part[1]) + (part[2] + part[3]);
}

// Sum of row x weighted by a 0/1 mask of the cluster's nodes: for large
// clusters a whole contiguous row is cheaper than scattered reads.
float masked_sum(const State& s, int x, const float* mask) {
    const float* row = s.dist[x];
    constexpr int lanes = 16;
    float part[lanes] = {};
    int k = 0;
    for (; k + lanes <= s.n; k += lanes) {
        for (int lane = 0; lane < lanes; ++lane) part[lane] += row[k + lane] * mask[k + lane];
    }
    for (; k < s.n; ++k) part[0] += row[k] * mask[k];
    float sum = 0;
    for (float value : part) sum += value;
    return sum;
}

// Brings the per-node sums up to date with the clusters just assigned:
// nodes that stayed gain the arrivals and lose the departures of their
// cluster; nodes that moved are summed afresh.
void update_cluster_sums(State& s) {
    ClusterSums& sums = s.cluster_sums;
    if (sums.mode == ClusterSums::Mode::unknown) {
        sums.mode = sums_are_exact(s) ? ClusterSums::Mode::exact : ClusterSums::Mode::inexact;
        if (sums.mode == ClusterSums::Mode::exact) {
            sums.to_own_cluster.assign(std::size_t(s.n), 0);
            sums.cluster_of.assign(std::size_t(s.n), -1);
        }
    }
    if (sums.mode != ClusterSums::Mode::exact) return;

    std::vector<std::vector<int>> arrived(std::size_t(s.p));
    std::vector<std::vector<int>> departed(std::size_t(s.p));
    std::vector<int> moved;
    for (int c = 0; c < s.p; ++c) {
        for_each_in_cluster(s.vc[c], [&](int x) {
            const int before = sums.cluster_of[x];
            if (before == c) return;
            moved.push_back(x);
            arrived[c].push_back(x);
            if (before >= 0) departed[before].push_back(x);
        });
    }
    if (moved.empty()) return;
    const bool afresh = moved.size() * 4 > std::size_t(s.n);
    std::vector<int> nodes;
    std::vector<float> mask;
    for (int c = 0; c < s.p; ++c) {
        const Cluster& cluster = s.vc[c];
        nodes.clear();
        for_each_in_cluster(cluster, [&](int x) { nodes.push_back(x); });
        std::sort(nodes.begin(), nodes.end());
        const bool dense = nodes.size() * 2 > std::size_t(s.n);
        if (dense) {
            mask.assign(std::size_t(s.n), 0.0f);
            for (int x : nodes) mask[x] = 1.0f;
        }
        auto stayed = [&](int x) { return !afresh && sums.cluster_of[x] == c; };
        // Arrivals and departures row by row: one row of the matrix at a time.
        if (!afresh) {
            for (int y : arrived[c]) {
                const float* row = s.dist[y];
                for (int x : nodes) {
                    if (stayed(x)) sums.to_own_cluster[x] += row[x];
                }
            }
            for (int y : departed[c]) {
                const float* row = s.dist[y];
                for (int x : nodes) {
                    if (stayed(x)) sums.to_own_cluster[x] -= row[x];
                }
            }
        }
        for (int x : nodes) {
            if (!stayed(x)) sums.to_own_cluster[x] = dense ? masked_sum(s, x, mask.data()) : sum_over(s, x, nodes);
        }
    }
    for (int c = 0; c < s.p; ++c) for_each_in_cluster(s.vc[c], [&](int x) { sums.cluster_of[x] = c; });
}

}  // namespace

float assign_clients(State& s) {
    for (int c = 0; c < s.p; ++c) {
        s.vc[c].size = 0;
        s.vc[c].cost = 0;
        s.vc[c].median = s.sv_node[c];
    }
    // Median by median, so that one row of the matrix is read at a time (the
    // matrix is symmetric); ascending clusters with a strict comparison keep
    // the first of equal distances, as a client-by-client scan does.
    float* nearest = s.nearest_dist.data();
    int* chosen = s.nearest_cluster.data();
    const int* arrangement = s.sv_node.data();
    for (int a = s.p; a < s.n; ++a) {
        nearest[a] = INF_DIST;
        chosen[a] = 0;
    }
    for (int c = 0; c < s.p; ++c) {
        const float* row = s.dist[arrangement[c]];
        for (int a = s.p; a < s.n; ++a) {
            const float d = row[arrangement[a]];
            if (d < nearest[a]) {
                nearest[a] = d;
                chosen[a] = c;
            }
        }
    }
    float total = 0;
    for (int a = s.p; a < s.n; ++a) {
        total = float(double(total) + double(nearest[a]));
        Cluster& cluster = s.vc[chosen[a]];
        cluster.members[cluster.size++] = arrangement[a];
        cluster.cost = float(double(cluster.cost) + double(nearest[a]));
    }
    update_cluster_sums(s);
    return total;
}

namespace {

constexpr int lanes = 8;

// One sweep over a cluster's members when sums must follow the written
// order: eight members are summed side by side, each lane in the order of
// the member list (a float addition rounds exactly as the double sum
// rounded to float). An exchange changes the list and the median, so the
// lanes after it are summed again.
void sweep_in_order(const State& s, Cluster& cluster) {
    int j = 0;
    while (j < cluster.size) {
        const int count = std::min(lanes, cluster.size - j);
        // Each lane reads its own row, which stays in cache for the sweep.
        const float* row[lanes];
        for (int l = 0; l < lanes; ++l) row[l] = s.dist[cluster.members[j + std::min(l, count - 1)]];
        float sum[lanes] = {};
        for (int k = 0; k < cluster.size; ++k) {
            const int other = cluster.members[k];
            for (int l = 0; l < lanes; ++l) sum[l] += row[l][other];
        }
        for (int l = 0; l < lanes; ++l) sum[l] += row[l][cluster.median];
        int next = j + count;
        for (int l = 0; l < count; ++l) {
            if (sum[l] < cluster.cost) {
                cluster.cost = sum[l];
                std::swap(cluster.median, cluster.members[j + l]);
                next = j + l + 1;
                break;
            }
        }
        j = next;
    }
}

// The same sweep with the exact per-node sums kept for each cluster.
void sweep_exact(const State& s, Cluster& cluster) {
    for (int j = 0; j < cluster.size; ++j) {
        const float sum = s.cluster_sums.to_own_cluster[cluster.members[j]];
        if (sum < cluster.cost) {
            cluster.cost = sum;
            std::swap(cluster.median, cluster.members[j]);
        }
    }
}

}  // namespace

float improve_clusters(State& s) {
    // An exchange keeps the cluster's set of nodes, so with exact sums each
    // member's sum is the one kept for it, in whatever order it was added.
    const bool exact = s.cluster_sums.mode == ClusterSums::Mode::exact;
    for (int c = 0; c < s.p; ++c) {
        if (exact) {
            sweep_exact(s, s.vc[c]);
        } else {
            sweep_in_order(s, s.vc[c]);
        }
    }
    int a = 0;
    for (int c = 0; c < s.p; ++c) s.sv_node[a++] = s.vc[c].median;
    for (int c = 0; c < s.p; ++c) {
        for (int j = 0; j < s.vc[c].size; ++j) s.sv_node[a++] = s.vc[c].members[j];
    }
    return assign_clients(s);
}

}  // namespace pmedian
