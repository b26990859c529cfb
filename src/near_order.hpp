// A numbering of the nodes that keeps neighbours together, for the cluster
// sums' reads.
#pragma once

#include <vector>

#include "problem.hpp"

namespace pmedian {

// Fills s.cluster_sums.near: the nodes split again and again between two
// far-apart ones, so that the nodes of any compact cluster lie in few
// stretches of a row. Without the room for a copy, or for a matrix the
// caches hold, the matrix is read as it is.
// whole_below_2_16: every distance is a whole number below 2^16, so the copy
// may be kept in 16 bits.
void build_near_order(State& s, bool whole_below_2_16);

}  // namespace pmedian
