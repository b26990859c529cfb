// A facility-location problem as users pose it: n nodes at symmetric
// distances, each a client with a weight (0: no client) and a candidate
// site or not, some sites fixed open, and p sites to open in all, the fixed
// ones among them.
#pragma once

#include <string>
#include <vector>

#include "certify/network.hpp"
#include "kernels/square_matrix.hpp"

namespace pmedian {

struct Instance {
    int n = 0;
    int p = 0;
    DistMatrix dist;
    std::vector<double> weight;    // per node; empty: every node a client of weight 1
    Fixings sites;                 // per node: -1 free, 0 no site, 1 fixed open; empty: all free
    std::vector<std::string> ids;  // per node, for the outputs; empty: none given

    // The plain p-median problem: every node a client of weight 1 and a free site.
    bool plain() const { return weight.empty() && sites.empty(); }
    Network network() const { return {&dist, n, p, weight, sites}; }
};

// Drops the weights when all are 1 and the sites when all are free, so that
// plain() tells the plain problem however it was written; then checks that
// p sites can be opened: a Fatal naming what is wrong otherwise.
void settle_instance(Instance& instance);

// Checks that medians can start the search: p distinct nodes, each a site,
// every fixed site among them; a Fatal naming what is wrong otherwise.
void check_start(const Instance& instance, const std::vector<int>& medians);

}  // namespace pmedian
