// What the fast paths keep between calls, beside the solver's own state:
// each part is owned by the kernel named in its header.
#pragma once

#include <vector>

#include "kernels/beta_sort.hpp"
#include "kernels/candidate_lists.hpp"
#include "kernels/cluster_sums.hpp"
#include "kernels/nearest_medians.hpp"

namespace pmedian {

struct Caches {
    // Per client, the least float not below t * lambda[j]: a distance d
    // gains exactly when d is below it (scratch of the gains).
    std::vector<float> threshold;
    DeferredSort deferred_sort;     // of the relaxation in place
    DeferredSort sv_deferred_sort;  // of the saved one, beside sv_node
    CandidateLists candidates;      // built by the first relax
    ClusterSums cluster_sums;       // set up by the first assignment
    LastAssignment last_assignment;
};

}  // namespace pmedian
