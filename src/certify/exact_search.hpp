// The search that proves a solution optimal: the LP bound of the radius
// form at every node, each node's bound verified by the Lagrangean
// relaxation at the LP's multipliers, sites fixed open or closed by their
// reduced costs, branching on a site, and the swap search from every LP
// point for better solutions.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "certify/network.hpp"
#include "certify/trusted_bound.hpp"
#include "kernels/candidate_lists.hpp"

namespace pmedian {

// When a lower bound proves a cost optimal: when every distance is a whole
// number, once the bound rounded up reaches the cost; otherwise once the
// cost is within max(absolute, relative x cost) of the bound.
struct ProofRule {
    bool whole_costs = false;
    double absolute = 0;
    double relative = 1e-6;
    bool closes(double bound, double cost) const;
    // The most a solution may cost to matter against a best of `cost`: one
    // less when costs are whole, else the cost less the gap the rule leaves.
    double improving(double cost) const;
    // A bound on a part of the search shown to hold no solution costing at
    // most improving(cost).
    double unbeaten(double cost) const;
    // The bound as it may be reported: rounded up when costs are whole.
    double reported(double bound) const;
};

// The best solution known, improved by the search as it goes.
struct Incumbent {
    std::vector<int> medians;  // ascending
    double cost = 0;
};

struct ExactSearchStops {
    std::function<bool()> out_of_time;
    // The seconds left, when there is a deadline.
    std::function<std::optional<double>()> seconds_left;
    // Improves p medians (the fixed open sites among them) in place by a
    // local search and returns their cost.
    std::function<double(std::vector<int>& medians)> improve;
    // Called now and then with the nodes so far and the current bounds.
    std::function<void(long nodes, double lower_bound, double cost)> progress;
};

struct ExactSearchResult {
    double lower_bound = 0;  // verified
    bool exhausted = false;  // every node was solved
    long nodes = 0;
};

// Searches until the incumbent is proven or the stops end it; lists are the
// nodes nearest each client. multipliers, when not empty, are good
// Lagrangean multipliers of the clients (the loop's), from which the LP
// starts. An incumbent without medians is none yet.
ExactSearchResult exact_search(const Network& net, const CandidateLists& lists, const ProofRule& rule,
                               Incumbent& incumbent, const std::vector<double>& multipliers,
                               const ExactSearchStops& stops);

}  // namespace pmedian
