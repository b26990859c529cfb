// Feasible solutions: nearest-median assignment and the move of each
// cluster's median to its best member.
#pragma once

#include "problem.hpp"

namespace pmedian {

// Assigns every node of sv_node[p .. n-1] to its nearest median among
// sv_node[0 .. p-1] (ties to the first), fills vc and returns the total cost.
float assign_clients(State& s);

// One sweep over each cluster's members, moving the median to any member
// that serves the cluster more cheaply; rewrites sv_node from the clusters
// and returns the cost of assigning afresh.
float improve_clusters(State& s);

// The same operations written line by line.
namespace straightforward {
float assign_clients(State& s);
float improve_clusters(State& s);
}  // namespace straightforward

}  // namespace pmedian
