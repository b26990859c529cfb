// The Lagrangean/surrogate relaxation: lower bound, reduced costs and the
// medians of the current multipliers.
#pragma once

#include "problem.hpp"

namespace pmedian {

// Fills beta and node for t and lambda, sorts them and sets bound.
void relax(State& s);

// Sorts beta[lo .. hi] ascending, moving node along; the partition order
// decides which of equal reduced costs become medians.
void sort_beta(State& s, int lo, int hi);

}  // namespace pmedian
