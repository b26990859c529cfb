// Lower bounds certify may stake a proof on: the Lagrangean relaxation of
// the assignment constraints, evaluated in double less a bound on its
// rounding, so never above the exact value of the relaxation, which is
// never above the cost of any solution it allows.
#pragma once

#include <vector>

#include "certify/network.hpp"
#include "kernels/candidate_lists.hpp"

namespace pmedian {

struct LagrangeanBound {
    // A lower bound on the cost of every solution the fixings allow; +inf
    // when they allow none.
    double value = 0;
    // Per site, the reduced cost sum_i min(0, d_ij - lambda_i) as computed.
    std::vector<double> reduced;
    // A bound on the rounding of value and of every reduced cost.
    double rounding = 0;
    // The free sites the relaxation opens, and the reduced cost of the last
    // of them and of the next free one (+inf when none is left).
    std::vector<char> opened;
    double last_opened = 0;
    double next_free = 0;
};

// The relaxation at multipliers lambda (one a client, in units of cost):
// the sum of the multipliers and of the reduced costs
// sum_i min(0, w_i d_ij - lambda_i) of the sites it opens, the sites fixed
// open and the least reduced costs of the free ones, p in all. fixed may be
// empty: the network's own sites. With lists (each client's nearest
// sites), a client's terms are found along its list where the list holds
// every site nearer than it can reach, instead of along the whole row.
LagrangeanBound lagrangean_bound(const Network& net, const std::vector<double>& lambda, const Fixings& fixed = {},
                                 const CandidateLists* lists = nullptr);

}  // namespace pmedian
