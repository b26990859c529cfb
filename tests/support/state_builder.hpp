// Small solver states built directly, for tests of single operations.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "problem.hpp"

namespace pmedian::testing {

// A state for n nodes and p medians with every array allocated and the
// distances of the upper triangle, row by row.
State make_state(int n, int p, const std::vector<float>& upper_triangle);

// The four-node instance used throughout: d(0, k) = 1, all others 2.
State four_node_state(int p = 1);

// Runs fn with s.out pointed at a buffer and returns what it printed.
template <typename Fn>
std::string capture_output(State& s, Fn fn);

std::string read_stream(std::FILE* stream);

template <typename Fn>
std::string capture_output(State& s, Fn fn) {
    std::FILE* buffer = std::tmpfile();
    s.out = buffer;
    fn();
    s.out = stdout;
    std::string text = read_stream(buffer);
    std::fclose(buffer);
    return text;
}

}  // namespace pmedian::testing
