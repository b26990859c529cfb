// What the exact search and its bounds solve: n nodes at symmetric
// distances, each a client of some weight and a site that is free, closed
// (no site) or fixed open; the cost of a solution is the weighted sum of
// each client's distance to its nearest open site.
#pragma once

#include <vector>

#include "kernels/square_matrix.hpp"

namespace pmedian {

// Per site: -1 free, 0 closed, 1 open.
using Fixings = std::vector<signed char>;

struct Network {
    const DistMatrix* dist = nullptr;
    int n = 0;
    int p = 0;
    std::vector<double> weight;  // per node, at least 0; empty: every node weighs 1
    Fixings sites;               // per node; empty: every node a free site

    double weight_of(int i) const { return weight.empty() ? 1.0 : weight[i]; }
    signed char site_state(int j) const { return sites.empty() ? -1 : sites[j]; }
    const float* row(int i) const { return (*dist)[i]; }
};

}  // namespace pmedian
