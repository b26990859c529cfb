#include "kernels/beta_sort.hpp"

#include <algorithm>
#include <vector>

#include "kernels/radix_sort.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

// Swaps beta[a] with beta[b], and node[a] with node[b].
void swap_entries(State& s, int a, int b) {
    std::swap(s.beta[a], s.beta[b]);
    std::swap(s.node[a], s.node[b]);
}

// One partition of beta[lo .. hi] (lo <= hi) around its middle value: from
// the left, each entry not below the pivot swaps with the next one from the
// right not above it, until the two scans cross. Returns where they stop.
// Every entry is compared as a random one, and a branch on each comparison
// is mispredicted half the time; so while the unscanned middle is wide,
// blocks of it are scanned without branches into the lists of the
// entries the scans would stop at, and the k-th stop from the left still
// swaps with the k-th from the right, in the same order. The entries swapped
// lie outside the middle, so the lists stay true. Blocks are a third of the
// range, from 4 entries up: small ranges, sorted whole below the medians,
// are many.
std::pair<int, int> partition(State& s, int lo, int hi) {
    const int block = std::clamp((hi - lo + 1) / 3, 4, widest_partition_block);
    const float pivot = s.beta[lo + (hi - lo) / 2];
    const float* beta = s.beta.data();
    int i = lo;
    int j = hi;
    int left[widest_partition_block];
    int right[widest_partition_block];
    int left_count = 0;
    int left_next = 0;
    int right_count = 0;
    int right_next = 0;
    int unscanned_lo = lo;
    int unscanned_hi = hi;
    for (;;) {
        const int wanted = (left_next == left_count ? block : 0) + (right_next == right_count ? block : 0);
        if (wanted > unscanned_hi - unscanned_lo + 1) break;
        if (left_next == left_count) {
            left_count = 0;
            left_next = 0;
            for (int k = unscanned_lo; k < unscanned_lo + block; ++k) {
                left[left_count] = k;
                left_count += !(beta[k] < pivot);
            }
            unscanned_lo += block;
        }
        if (right_next == right_count) {
            right_count = 0;
            right_next = 0;
            for (int k = unscanned_hi; k > unscanned_hi - block; --k) {
                right[right_count] = k;
                right_count += !(pivot < beta[k]);
            }
            unscanned_hi -= block;
        }
        const int pairs = std::min(left_count - left_next, right_count - right_next);
        for (int k = 0; k < pairs; ++k) swap_entries(s, left[left_next + k], right[right_next + k]);
        if (pairs > 0) {
            i = left[left_next + pairs - 1] + 1;
            j = right[right_next + pairs - 1] - 1;
        }
        left_next += pairs;
        right_next += pairs;
    }
    // The rest entry by entry, from just past the last swap.
    while (i <= j) {
        while (beta[i] < pivot) ++i;
        while (pivot < beta[j]) --j;
        if (i <= j) {
            swap_entries(s, i, j);
            ++i;
            --j;
        }
    }
    return {i, j};
}

// The partition quicksort of beta[lo .. hi]. The two parts of a partition
// are sorted independently, so recursing into the smaller and looping on
// the larger gives the same order with a stack depth of at most log2(n);
// and a part lying wholly at or past `defer_from` may be sorted later, in
// deferred_sort, with the same result.
void quicksort(State& s, int lo, int hi, int defer_from) {
    for (;;) {
        if (lo >= defer_from) {
            s.caches.deferred_sort.ranges.push_back({lo, hi});
            return;
        }
        const auto [i, j] = partition(s, lo, hi);

        const bool sort_left = lo < j;
        const bool sort_right = i < hi;
        if (sort_left && sort_right) {
            if (j - lo < hi - i) {
                quicksort(s, lo, j, defer_from);
                lo = i;
            } else {
                quicksort(s, i, hi, defer_from);
                hi = j;
            }
        } else if (sort_left) {
            hi = j;
        } else if (sort_right) {
            lo = i;
        } else {
            return;
        }
    }
}

// The sort puts the p smallest reduced costs first, in ascending order;
// when they and the next one up are all different, no other order of them
// can come of it, whatever the sort does with the rest (reduced costs are
// finite sums, never NaN). They are then picked out in one pass, instead of
// partitioning towards them: the other entries stay in node order, and the
// whole sort is left for when a solution is built from the relaxation.
// Returns whether the entries were picked so; else nothing has changed.
bool pick_smallest(State& s) {
    constexpr int most_picked = Tuning::most_picked;
    const int n = s.n;
    const int p = s.p;
    if (p > most_picked || p >= n) return false;
    // The p + 1 smallest so far, ascending: an entry below the last goes
    // in where it belongs, and the last drops out.
    float value[most_picked + 1];
    int node[most_picked + 1];
    int held = 0;
    for (int i = 0; i < n; ++i) {
        const float b = s.beta[i];
        if (held == p + 1 && !(b < value[p])) continue;
        int k = held == p + 1 ? p : held++;
        for (; k > 0 && b < value[k - 1]; --k) {
            value[k] = value[k - 1];
            node[k] = node[k - 1];
        }
        value[k] = b;
        node[k] = i;
    }
    for (int k = 1; k <= p; ++k) {
        if (!(value[k - 1] < value[k])) return false;
    }
    DeferredSort& deferred = s.caches.deferred_sort;
    deferred.displaced.assign(s.beta.begin(), s.beta.begin() + p);
    for (int k = 0; k < p; ++k) {
        s.node[k] = node[k];
        s.beta[k] = value[k];
    }
    return true;
}

// When every reduced cost differs from every other, any sort gives the
// partition sort's order: a radix sort gives it in a few passes, without
// the mispredicted comparisons. Returns false, leaving node and beta as
// they were, when two are equal.
bool sort_if_all_different(State& s) {
    const int n = s.n;
    std::vector<NodeDistance> entries(static_cast<std::size_t>(n));
    std::vector<NodeDistance> tmp(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) entries[k] = {s.beta[k], s.node[k]};
    const NodeDistance* sorted = radix_sort(entries.data(), tmp.data(), n);
    for (int k = 1; k < n; ++k) {
        if (!(sorted[k - 1].dist < sorted[k].dist)) return false;
    }
    for (int k = 0; k < n; ++k) {
        s.beta[k] = sorted[k].dist;
        s.node[k] = sorted[k].node;
    }
    return true;
}

}  // namespace

void partition_sort(State& s, int lo, int hi) { quicksort(s, lo, hi, s.n); }

void sort_medians_first(State& s) {
    DeferredSort& deferred = s.caches.deferred_sort;
    deferred.ranges.clear();
    deferred.whole = pick_smallest(s);
    if (deferred.whole) {
        ++s.taken.picked_medians;
    } else {
        ++s.taken.partitioned;
        quicksort(s, 0, s.n - 1, s.p);
    }
}

void order_relaxation_fully(State& s) {
    DeferredSort& deferred = s.caches.deferred_sort;
    if (deferred.whole) {
        for (int k = 0; k < s.p; ++k) {
            s.node[k] = k;
            s.beta[k] = deferred.displaced[k];
        }
        deferred.whole = false;
        if (sort_if_all_different(s)) {
            ++s.taken.radix_orders;
        } else {
            partition_sort(s, 0, s.n - 1);
        }
    }
    for (const auto& range : deferred.ranges) partition_sort(s, range.first, range.second);
    deferred.ranges.clear();
}

}  // namespace pmedian
