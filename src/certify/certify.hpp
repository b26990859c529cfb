// The bound of the relaxation with a far better solution: the loop of the
// solver, each feasible solution it builds improved by the swap search.
#pragma once

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "problem.hpp"

namespace pmedian {

struct CertifyOptions {
    // The loop and the searches end once this moment has passed.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    // One CSV line per iteration goes here, after a header line, when set.
    std::FILE* trace = nullptr;
};

struct CertifiedSolution {
    std::vector<int> medians;    // ascending
    std::vector<int> median_of;  // for each node, the median serving it
    double cost = 0;             // summed in double
    float lower_bound = 0;
    int iterations = 0;
    bool optimal = false;  // cost within 1.0 of the lower bound
};

// Runs the loop on the loaded state s; the arrays of s stay allocated.
CertifiedSolution certify(State& s, const CertifyOptions& options);

// An arrangement of the n nodes: the medians, then every other node ascending.
void medians_first(const std::vector<int>& medians, std::vector<int>& arrangement);

// The shortest text that reads back as the same float or double.
template <typename Real>
std::string shortest_text(Real x) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
}

}  // namespace pmedian
