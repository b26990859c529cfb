// The best solution and a proof: the loop of the solver, each feasible
// solution it builds improved by the swap search, then the exact search
// until the solution is proven optimal or the time is up. Every bound it
// reports is verified.
#pragma once

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "certify/instance.hpp"
#include "problem.hpp"

namespace pmedian {

struct CertifyOptions {
    // The loop and the searches end once this moment has passed, or once
    // stop, when set, returns true.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::function<bool()> stop;
    // One CSV line per iteration of the loop goes here, after a header
    // line, when set.
    std::FILE* trace = nullptr;
    // Without whole-number distances, a solution is proven optimal once its
    // cost is within max(absolute_gap, relative_gap x cost) of the bound.
    double absolute_gap = 0;
    double relative_gap = 1e-6;
    // Called about once a second with the time so far, the search's nodes
    // and the current bounds.
    std::function<void(double seconds, long nodes, double lower_bound, double cost)> progress;
    // A solution to start from, its medians (p nodes, every fixed site
    // among them; checked); empty: none.
    std::vector<int> start;
};

// How a run ended: proven; out of time; stopped by the caller; or with
// every branch of the search explored without a proof, which only a gap of
// 0 on distances that are not whole numbers can leave (the rounding of the
// bound stays).
enum class Ending { proven, time_limit, stopped, exhausted };

struct CertifiedSolution {
    std::vector<int> medians;    // ascending
    std::vector<int> median_of;  // for each node, the median nearest to it (itself for a median)
    double cost = 0;             // weighted, summed in double
    double lower_bound = 0;      // verified; rounded up when every distance is whole
    int iterations = 0;          // of the loop
    long nodes = 0;              // of the exact search
    bool optimal = false;        // proven by the bound
    Ending ending = Ending::time_limit;
};

// The moment `seconds` after start (a limit beyond 1e9 s counts as 1e9).
inline std::chrono::steady_clock::time_point deadline_after(std::chrono::steady_clock::time_point start,
                                                            double seconds) {
    return start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double>(std::min(seconds, 1e9)));
}

// Solves the instance (settled); its distances are where they were after.
// The plain problem runs the loop first, each feasible solution it builds
// improved by the swap search; weighted clients or restricted sites start
// from a greedy solution improved by exchanges.
CertifiedSolution certify(Instance& instance, const CertifyOptions& options);

// An arrangement of the n nodes: the medians, then every other node ascending.
void medians_first(const std::vector<int>& medians, std::vector<int>& arrangement);

// The shortest text that reads back as the same float or double.
template <typename Real>
std::string shortest_text(Real x) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
}

}  // namespace pmedian
