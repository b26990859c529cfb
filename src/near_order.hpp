// A numbering of the nodes that keeps neighbours together, for the cluster
// sums' reads.
#pragma once

#include <vector>

#include "problem.hpp"

namespace pmedian {

// Fills s.cluster_sums.near from the clusters just assigned (cluster_of:
// per node, its cluster in s.vc): the
// nodes cluster by cluster, and within a cluster by their second-nearest
// median, then by how much nearer their own is, so that the part of a
// cluster bordering another lies together. Later clusters are other cuts of
// the same regions, so their nodes stay in few stretches. Without the room
// for a copy, or for a matrix the caches hold, the matrix is read as it is.
// whole_below_2_16: every distance is a whole number below 2^16, so the copy
// may be kept in 16 bits.
void build_near_order(State& s, const std::vector<int>& cluster_of, bool whole_below_2_16);

}  // namespace pmedian
