// The solver's kernels written the plain way, one line of the rules at a
// time: the yardstick the fast kernels must match bit for bit.
#pragma once

#include <vector>

#include "problem.hpp"

namespace pmedian::straightforward {

void relax(State& s);
void sort_beta(State& s, int lo, int hi);  // plain two-way recursion
void count_serving_medians(const State& s, std::vector<int>& count);
float assign_clients(State& s);
float improve_clusters(State& s);

}  // namespace pmedian::straightforward
