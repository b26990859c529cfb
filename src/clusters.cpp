#include "clusters.hpp"

#include <utility>
#include <vector>

#include "kernels/cluster_sums.hpp"
#include "kernels/nearest_medians.hpp"

namespace pmedian {

namespace {

// Every cluster emptied, with median sv_node[c].
void start_clusters(State& s) {
    for (int c = 0; c < s.p; ++c) {
        s.vc[c].size = 0;
        s.vc[c].cost = 0;
        s.vc[c].median = s.sv_node[c];
    }
}

// sv_node rewritten from the clusters: the medians, then each cluster's
// members in member order, cluster by cluster.
void rewrite_arrangement(State& s) {
    int a = 0;
    for (int c = 0; c < s.p; ++c) s.sv_node[a++] = s.vc[c].median;
    for (int c = 0; c < s.p; ++c) {
        for (int j = 0; j < s.vc[c].size; ++j) s.sv_node[a++] = s.vc[c].members[j];
    }
}

}  // namespace

namespace straightforward {

float assign_clients(State& s) {
    start_clusters(s);
    float total = 0;
    for (int a = s.p; a < s.n; ++a) {
        const NearestMedian nearest = nearest_median(s.dist[s.sv_node[a]], s.sv_node.data(), s.p);
        Cluster& chosen = s.vc[nearest.position];
        total = float(double(total) + double(nearest.distance));
        chosen.members[chosen.size] = s.sv_node[a];
        chosen.size = chosen.size + 1;
        chosen.cost = float(double(chosen.cost) + double(nearest.distance));
    }
    return total;
}

float improve_clusters(State& s) {
    for (int c = 0; c < s.p; ++c) {
        Cluster& cluster = s.vc[c];
        for (int j = 0; j < cluster.size; ++j) {
            const float* row = s.dist[cluster.members[j]];
            float sum = 0;
            for (int k = 0; k < cluster.size; ++k) sum = float(double(sum) + double(row[cluster.members[k]]));
            sum = float(double(sum) + double(row[cluster.median]));
            if (sum < cluster.cost) {
                cluster.cost = sum;
                std::swap(cluster.median, cluster.members[j]);
            }
        }
    }
    rewrite_arrangement(s);
    return straightforward::assign_clients(s);
}

}  // namespace straightforward

namespace {

// The clusters' members in the order of the arrangement, with the costs
// and the total added in that order, each addition rounded to float.
float gather_in_order(State& s) {
    const int* arrangement = s.sv_node.data();
    const float* nearest_of = s.caches.last_assignment.nearest.data();
    const int* cluster_of = s.caches.last_assignment.cluster.data();
    float total = 0;
    for (int a = s.p; a < s.n; ++a) {
        const int v = arrangement[a];
        total = float(double(total) + double(nearest_of[v]));
        Cluster& cluster = s.vc[cluster_of[v]];
        cluster.members[cluster.size++] = v;
        cluster.cost = float(double(cluster.cost) + double(nearest_of[v]));
    }
    return total;
}

// The same with exact sums, added in ints: no chain of roundings from
// node to node. The arrangement lists most nodes cluster by cluster, so a
// run of nodes of one cluster is counted and added up in registers, not
// through the cluster's fields from node to node.
float gather_exact(State& s) {
    const int* arrangement = s.sv_node.data();
    const float* nearest_of = s.caches.last_assignment.nearest.data();
    const int* cluster_of = s.caches.last_assignment.cluster.data();
    std::vector<int> cost(std::size_t(s.p), 0);
    int total = 0;
    int run_cluster = 0;
    int size = s.vc[0].size;
    int run_cost = 0;
    int* members = s.vc[0].members.data();
    for (int a = s.p; a < s.n; ++a) {
        const int v = arrangement[a];
        const int d = int(nearest_of[v]);
        total += d;
        if (cluster_of[v] != run_cluster) {
            s.vc[run_cluster].size = size;
            cost[run_cluster] += run_cost;
            run_cluster = cluster_of[v];
            size = s.vc[run_cluster].size;
            run_cost = 0;
            members = s.vc[run_cluster].members.data();
        }
        members[size++] = v;
        run_cost += d;
    }
    s.vc[run_cluster].size = size;
    cost[run_cluster] += run_cost;
    for (int c = 0; c < s.p; ++c) s.vc[c].cost = float(cost[c]);
    return float(total);
}

}  // namespace

float assign_clients(State& s) {
    if (s.kernels == Kernels::straightforward) return straightforward::assign_clients(s);
    // The nearest medians found from the last assignment where few changed,
    // and the cluster sums the improvement needs kept up to date alongside.
    start_clusters(s);
    find_nearest_medians(s);
    const float total = sums_are_exact(s) ? gather_exact(s) : gather_in_order(s);
    update_cluster_sums(s);
    return total;
}

namespace {

// A member's sum in the written order: its distances to the members in
// list order, then to the median, each addition rounded to float.
float sum_in_order(const State& s, const Cluster& cluster, int j) {
    const float* row = s.dist[cluster.members[j]];
    float sum = 0;
    for (int k = 0; k < cluster.size; ++k) sum += row[cluster.members[k]];
    return sum + row[cluster.median];
}

// One sweep over a cluster's members when sums must follow the written
// order. A float sum of m non-negative terms is at least the exact sum
// times 1 - m u / (1 - m u), u = 2^-24, and the exact sum is at least the
// kept one less its error: a member whose bound so found is above the
// cluster's cost cannot serve it more cheaply, and only the others are
// summed.
void sweep_in_order(const State& s, Cluster& cluster) {
    const ClusterSums& sums = s.caches.cluster_sums;
    const double terms = cluster.size + 1.0;
    const double float_error = terms * 0x1p-24 / (1 - terms * 0x1p-24) + 1e-15;
    const double slack = float_error < 0.5 ? 1 - float_error : 0;
    for (int j = 0; j < cluster.size; ++j) {
        const int x = cluster.members[j];
        if ((sums.to_own_cluster[x] - sums.error[x]) * slack > double(cluster.cost)) continue;
        const float sum = sum_in_order(s, cluster, j);
        if (sum < cluster.cost) {
            cluster.cost = sum;
            std::swap(cluster.median, cluster.members[j]);
        }
    }
}

// The same sweep with the exact per-node sums kept for each cluster.
void sweep_exact(const State& s, Cluster& cluster) {
    for (int j = 0; j < cluster.size; ++j) {
        const float sum = float(s.caches.cluster_sums.to_own_cluster[cluster.members[j]]);
        if (sum < cluster.cost) {
            cluster.cost = sum;
            std::swap(cluster.median, cluster.members[j]);
        }
    }
}

}  // namespace

float improve_clusters(State& s) {
    if (s.kernels == Kernels::straightforward) return straightforward::improve_clusters(s);
    // An exchange keeps the cluster's set of nodes, so with exact sums each
    // member's sum is the one kept for it, in whatever order it was added.
    const bool exact = s.caches.cluster_sums.mode == ClusterSums::Mode::exact;
    for (int c = 0; c < s.p; ++c) {
        if (exact) {
            sweep_exact(s, s.vc[c]);
        } else {
            sweep_in_order(s, s.vc[c]);
        }
    }
    rewrite_arrangement(s);
    return assign_clients(s);
}

}  // namespace pmedian
