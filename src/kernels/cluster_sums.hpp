// Each node's sum of distances to the nodes of its own cluster, kept up to
// date from assignment to assignment by the nodes that moved, so that the
// move of a cluster's median to its best member needs no sums of its own.
#pragma once

#include <vector>

#include "kernels/near_order.hpp"

namespace pmedian {

struct State;

// The nodes of every cluster in ascending numbers of the near order, so
// that a row is read forward: the hardware fetches ahead of the scattered
// columns.
struct SortedClusters {
    std::vector<int> start;  // per cluster, then one past the last
    std::vector<int> nodes;
    const int* begin(int c) const { return nodes.data() + start[c]; }
    const int* end(int c) const { return nodes.data() + start[c + 1]; }
    template <typename Fn>
    void for_each(int c, Fn fn) const {
        for (const int* x = begin(c); x != end(c); ++x) fn(*x);
    }
};

// For each node, the sum of its distances to the nodes of its own cluster,
// kept in double. When every distance is a whole number and n times the
// largest is below 2^24, every float sum of distances is exact in any
// order, and these sums are the sums the rules ask for. Otherwise they are
// exact to within `error`, and a float sum in the written order lies within
// a known margin of the exact one: together they tell the members that
// surely do not serve their cluster more cheaply.
struct ClusterSums {
    enum class Mode { unknown, exact, inexact };
    Mode mode = Mode::unknown;
    float largest = 0;                   // the largest distance, once mode is known, when every distance is whole
    std::vector<double> to_own_cluster;  // per node
    std::vector<double> error;           // per node: a bound on the rounding in to_own_cluster
    std::vector<int> cluster_of;         // per node: the cluster those sums are for, or -1
    NearOrder near;                      // where the sums read their distances
    SortedClusters sorted;               // cluster_of's clusters
};

// Whether every float sum of distances is exact, so that sums may be taken
// in any order: every distance a whole number, n times the largest below
// 2^24. Decided once, at the first assignment.
bool sums_are_exact(State& s);

// Brings the per-node sums up to date with the clusters just assigned in
// vc: nodes that stayed gain the arrivals and lose the departures of their
// cluster; nodes that moved are summed afresh, as are all once many moved.
void update_cluster_sums(State& s);

}  // namespace pmedian
