// A numbering of the nodes that keeps neighbours together, for the cluster
// sums' reads.
#pragma once

#include <cstdint>
#include <vector>

#include "kernels/square_matrix.hpp"

namespace pmedian {

struct State;

// The matrix with the nodes renumbered so that nodes of one region get
// neighbouring numbers: the nodes of a cluster then lie in a few stretches
// of a row, and summing over them reads a few cache lines instead of one
// per node. Kept only for matrices larger than the caches; when the sums
// are exact every distance is a whole number below 2^16, and the copy is
// kept in 16 bits, so that twice as many distances share a cache line.
struct NearOrder {
    DistMatrix copy;                     // copy[index[x]][index[y]] = dist[x][y], when kept in floats
    SquareMatrix<std::uint16_t> narrow;  // the same, when kept in 16 bits
    bool is_narrow = false;
    const DistMatrix* rows = nullptr;  // copy, or the matrix itself, unless narrow
    std::vector<int> index;            // per node: its number in rows
    std::vector<int> node_at;          // per number: its node
    // Calls fn with the matrix the sums read.
    template <typename Fn>
    void with_rows(Fn fn) const {
        if (is_narrow) {
            fn(narrow);
        } else {
            fn(*rows);
        }
    }
};

// Fills the cluster sums' near order: the nodes split again and again
// between two far-apart ones, so that the nodes of any compact cluster lie
// in few stretches of a row. Without the room for a copy, or for a matrix
// the caches hold, the matrix is read as it is.
// whole_below_2_16: every distance is a whole number below 2^16, so the copy
// may be kept in 16 bits.
void build_near_order(State& s, bool whole_below_2_16);

}  // namespace pmedian
