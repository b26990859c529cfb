// Whether every distance is a whole number: then every sum of distances is
// one, and small enough sums are exact in any order.
#pragma once

#include "kernels/square_matrix.hpp"

namespace pmedian {

// The largest distance when every distance is a whole number, else -1.
float largest_whole_distance(const DistMatrix& dist, int n);

// True when every distance is a whole number, and so every sum of them.
bool all_distances_whole(const DistMatrix& dist, int n);

}  // namespace pmedian
