// Local search by exchanges on a network whose clients carry weights and
// whose sites are restricted or fixed open: one open free site out, one
// closed free site in, while any such exchange lowers the weighted cost.
#pragma once

#include <functional>
#include <vector>

#include "certify/network.hpp"

namespace pmedian {

// The weighted cost of serving every client by its nearest median.
double network_cost(const Network& net, const std::vector<int>& medians);

// Improves medians (p distinct sites the network allows, its fixed open
// ones among them) in place until no exchange lowers the cost or
// out_of_time (may be empty) says so; returns the cost of the medians left.
// Each step takes the exchange that lowers the cost most, each candidate
// weighed against every median at once in O(n + p) through each client's
// nearest and second-nearest medians.
double weighted_swap_search(const Network& net, std::vector<int>& medians, const std::function<bool()>& out_of_time);

// p sites to start from: the fixed open ones, then, one at a time, the free
// site that lowers the cost most.
std::vector<int> greedy_medians(const Network& net, const std::function<bool()>& out_of_time);

}  // namespace pmedian
