// What the solver prints: the banner, the size of the instance, the status
// and the final report (each non-median node with its nearest median, and
// the total).
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "problem.hpp"

namespace pmedian {

// x with two decimals, right-aligned in width columns; an exact half of a
// hundredth rounds away from zero (2.125 gives "2.13").
std::string format_two_decimals(double x, int width);

// The two banner lines.
void print_banner(std::FILE* out);

// The size line between its separators.
void print_size(std::FILE* out, int n, int p);

void print_status(std::FILE* out, bool proven_optimal);

// The line of a node served by a median at the given cost.
void print_node_line(std::FILE* out, int node, int median, double cost);

// A line per non-median node of the arrangement best with its nearest median
// (the first of equal ones); each node's distance is passed to add.
void print_node_lines(const State& s, const std::function<void(float)>& add);

void print_total(std::FILE* out, double total);

// Prints the arrangement best: a line per non-median node, then the total
// summed in float.
void print_solution(State& s);

}  // namespace pmedian
