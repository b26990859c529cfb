// Sorting nodes by distance, a byte of the key at a time.
#pragma once

namespace pmedian {

struct NodeDistance {
    float dist;
    int node;
};

// Sorts a[0 .. count-1] by distance, stably (tmp as wide as a); bytes that
// every key shares are passed over. Returns the array that holds the
// result: a or tmp.
NodeDistance* radix_sort(NodeDistance* a, NodeDistance* tmp, int count);

}  // namespace pmedian
