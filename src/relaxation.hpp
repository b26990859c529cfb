// The Lagrangean/surrogate relaxation: lower bound, reduced costs and the
// medians of the current multipliers.
#pragma once

#include <vector>

#include "problem.hpp"

namespace pmedian {

// Builds each node's list of nearest nodes, of at least least_width
// entries (at most n). The first relax builds them if no one has.
void build_candidate_lists(State& s, int least_width = 0);

// Fills beta and node for t and lambda, sorts them and sets bound. Only
// node[0 .. p-1] and beta[0 .. p-1] are final: most relaxations never
// build a solution, so the sort leaves what lies wholly past p (or, when
// the first p were picked out directly, all of it) in deferred_sort, for
// order_relaxation_fully.
void relax(State& s);

// Finishes the sort that relax began: node and beta as a whole sort gives them.
void order_relaxation_fully(State& s);

// Sorts beta[lo .. hi] ascending, moving node along; the partition order
// decides which of equal reduced costs become medians.
void sort_beta(State& s, int lo, int hi);

// For each client j, how many of the opened medians node[0 .. p-1] would
// serve it with a gain (t * lambda[j] > dist[median][j]); s.threshold is
// its scratch.
void count_serving_medians(State& s, std::vector<int>& count);

}  // namespace pmedian
