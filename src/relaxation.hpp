// The Lagrangean/surrogate relaxation: lower bound, reduced costs and the
// medians of the current multipliers.
#pragma once

#include <vector>

#include "problem.hpp"

namespace pmedian {

// Fills beta and node for t and lambda, sorts them and sets bound. With
// the fast kernels only node[0 .. p-1] and beta[0 .. p-1] are final: most
// relaxations never build a solution, so the rest of the sort waits for
// order_relaxation_fully.
void relax(State& s);

// Sorts beta[lo .. hi] ascending, moving node along; the partition order
// decides which of equal reduced costs become medians.
void sort_beta(State& s, int lo, int hi);

// For each client j, how many of the opened medians node[0 .. p-1] would
// serve it with a gain (t * lambda[j] > dist[median][j]).
void count_serving_medians(State& s, std::vector<int>& count);

// The same operations written line by line.
namespace straightforward {
void relax(State& s);
void sort_beta(State& s, int lo, int hi);
void count_serving_medians(const State& s, std::vector<int>& count);
}  // namespace straightforward

}  // namespace pmedian
