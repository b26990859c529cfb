// Every node's nearest median for the assignment: afresh, median row by
// median row, or from the last assignment by rescanning only the nodes the
// changed medians can win or lose.
#pragma once

#include <vector>

namespace pmedian {

struct State;

// The last assignment, node by node. Between two calls of improve_clusters
// only a few medians change, so the next assignment rescans only the nodes
// those can win or lose.
struct LastAssignment {
    bool valid = false;
    std::vector<int> medians;      // per cluster: its median then
    std::vector<char> was_median;  // per node
    std::vector<float> nearest;    // per node: the distance to its median
    std::vector<int> cluster;      // per node: its cluster
};

// Fills the caches' last_assignment for the medians sv_node[0 .. p-1]: each
// node's nearest median, the first of equal ones, and the distance to it.
void find_nearest_medians(State& s);

}  // namespace pmedian
