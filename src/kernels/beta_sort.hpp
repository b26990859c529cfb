// The sort of the reduced costs, sort_beta's partition order, done only as
// far as the relaxation needs: its first p entries at once, the rest when
// a solution is built from it.
#pragma once

#include <utility>
#include <vector>

namespace pmedian {

struct State;

// What the sort of a relaxation left for later, past its first p entries.
struct DeferredSort {
    // Ranges of node and beta, each to be sorted on its own.
    std::vector<std::pair<int, int>> ranges;
    // Or the whole sort, from the nodes in their own order: only the first
    // p entries were picked out, and the reduced costs they took the place
    // of are kept here; past them node and beta are still in node order.
    bool whole = false;
    std::vector<float> displaced;
};

// Sorts beta[lo .. hi] ascending, moving node along, in the partition
// order of sort_beta.
void partition_sort(State& s, int lo, int hi);

// Puts node[0 .. p-1] and beta[0 .. p-1] where the whole sort puts them,
// leaving the rest in the caches' deferred_sort.
void sort_medians_first(State& s);

// Finishes the sort that sort_medians_first began: node and beta as a
// whole sort gives them.
void order_relaxation_fully(State& s);

}  // namespace pmedian
