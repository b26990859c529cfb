// The subgradient optimisation: drives the lower and upper bounds together
// and decides whether the best solution is proven optimal.
#pragma once

#include <functional>
#include <vector>

#include "problem.hpp"

namespace pmedian {

// What another program may add to the loop; pmedian itself adds nothing.
struct LoopHooks {
    // Improves the feasible solution just built in sv_node (medians first),
    // whose cost is `cost`; rewrites sv_node and returns the new cost, which
    // is what then enters best_ub and the step size.
    std::function<float(State&, float cost)> improve_solution;
    // Checked after each iteration: true ends the loop.
    std::function<bool()> should_stop;
    // Called at the end of each iteration, counted from 1, with the step factor.
    std::function<void(const State&, int iteration, float pi)> after_iteration;
};

// Starting multipliers, the loop, the status line and the report, then the
// arrays are released.
void solve(State& s);

// The starting multipliers and bounds of the loop.
void start_search(State& s);

// The main loop. On return best holds the best solution and best_ub its cost.
void subgradient_search(State& s, const LoopHooks& hooks = {});

// subg[i] = 1 - number of opened medians serving client i; sets subg_zero.
void compute_subgradient(State& s);

// The float sum of subg[i]^2 over the clients, in order, each addition
// rounded: the norm in the multipliers' step.
float squared_norm(const std::vector<int>& subg);

// Integer part of a bound: truncated toward zero to 64 bits, low 32 bits kept.
int integer_part(float x);

}  // namespace pmedian
