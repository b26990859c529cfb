// The subgradient optimisation: drives the lower and upper bounds together
// and decides whether the best solution is proven optimal.
#pragma once

#include "problem.hpp"

namespace pmedian {

// Starting multipliers, the loop, the report, then the arrays are released.
void solve(State& s);

// The main loop; prints the status line.
void subgradient_search(State& s);

// subg[i] = 1 - number of opened medians serving client i; sets subg_zero.
void compute_subgradient(State& s);

// Integer part of a bound: truncated toward zero to 64 bits, low 32 bits kept.
int integer_part(float x);

}  // namespace pmedian
