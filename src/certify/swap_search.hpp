// Local search by exchanges: one median out, one non-median in, while any
// such exchange lowers the cost. Costs are summed in double.
#pragma once

#include <functional>
#include <vector>

#include "problem.hpp"

namespace pmedian {

// Cost of serving every node by its nearest median.
double assignment_cost(const DistMatrix& dist, int n, const std::vector<int>& medians);

struct SwapStops {
    // Checked before each exchange: true ends the search early.
    std::function<bool()> out_of_time;
    // Checked after each exchange with the medians, ascending: true when they
    // are known to be a local optimum already, which ends the search.
    std::function<bool(const std::vector<int>&)> known_local_optimum;
};

// The list width the search's walks want: a node's walk reaches its
// second-nearest median, about 2n / p nodes away; a walk past its list
// reads the node's whole row instead.
int swap_list_width(int n, int p);

// Improves medians (distinct nodes of 0 .. n-1) in place until no exchange
// lowers the cost, or until one of stops (each may be empty) ends it;
// returns the cost of the medians left. Each step takes the exchange that
// lowers the cost most. A candidate is weighed exactly against every median
// over its row, in O(n + p), through each node's nearest and second-nearest
// medians and what removing each median alone costs. While p <= n / 2 a
// table of what every candidate would gain and keep, updated after each
// exchange from the nodes it touched (found through their candidate lists,
// each node's nearest nodes in ascending distance), names the one to weigh.
double swap_search(const DistMatrix& dist, const CandidateLists& lists, int n, std::vector<int>& medians,
                   const SwapStops& stops = {}, const Tuning& tuning = {});

}  // namespace pmedian
