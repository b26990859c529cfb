// The final report: each non-median node with its nearest median, and the total.
#pragma once

#include <string>

#include "problem.hpp"

namespace pmedian {

// x with two decimals, right-aligned in width columns; an exact half of a
// hundredth rounds away from zero (2.125 gives "2.13").
std::string format_two_decimals(double x, int width);

// Prints the arrangement best: a line per non-median node, then the total.
void print_solution(State& s);

}  // namespace pmedian
