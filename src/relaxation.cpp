#include "relaxation.hpp"

#include <utility>

#include "kernels/beta_sort.hpp"
#include "kernels/candidate_lists.hpp"
#include "kernels/gains.hpp"

namespace pmedian {

namespace {

// The bound: the p least reduced costs, then t * lambda[j] of every client,
// each addition rounded to float.
float relaxation_bound(const State& s) {
    float bound = 0;
    for (int k = 0; k < s.p; ++k) bound = float(double(bound) + double(s.beta[k]));
    for (int j = 0; j < s.n; ++j) bound = float(double(s.t) * double(s.lambda[j]) + double(bound));
    return bound;
}

}  // namespace

namespace straightforward {

void relax(State& s) {
    for (int i = 0; i < s.n; ++i) {
        s.node[i] = i;
        s.beta[i] = 0;
        for (int j = 0; j < s.n; ++j) {
            if (double(s.t) * double(s.lambda[j]) > double(s.dist[i][j])) {
                s.beta[i] = float((double(s.dist[i][j]) - double(s.t) * double(s.lambda[j])) + double(s.beta[i]));
            }
        }
    }
    straightforward::sort_beta(s, 0, s.n - 1);
    s.bound = relaxation_bound(s);
}

void sort_beta(State& s, int lo, int hi) {
    const float pivot = s.beta[(lo + hi) / 2];
    int i = lo;
    int j = hi;
    do {
        while (s.beta[i] < pivot) ++i;
        while (pivot < s.beta[j]) --j;
        if (i <= j) {
            std::swap(s.beta[i], s.beta[j]);
            std::swap(s.node[i], s.node[j]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (lo < j) straightforward::sort_beta(s, lo, j);
    if (i < hi) straightforward::sort_beta(s, i, hi);
}

void count_serving_medians(const State& s, std::vector<int>& count) {
    count.assign(std::size_t(s.n), 0);
    for (int j = 0; j < s.n; ++j) {
        for (int k = 0; k < s.p; ++k) count[j] += double(s.t) * double(s.lambda[j]) > double(s.dist[s.node[k]][j]);
    }
}

}  // namespace straightforward

void relax(State& s) {
    if (s.kernels == Kernels::straightforward) {
        straightforward::relax(s);
        return;
    }
    // Client by client along each client's nearest candidates, not candidate
    // by candidate along rows: each beta[i] still receives its terms in
    // ascending client order, so every rounding is that of the row-by-row
    // sum (the matrix is symmetric).
    if (s.caches.candidates.width == 0) build_candidate_lists(s);
    for (int i = 0; i < s.n; ++i) {
        s.node[i] = i;
        s.beta[i] = 0;
    }
    add_client_gains(s);
    sort_medians_first(s);
    s.bound = relaxation_bound(s);
}

void sort_beta(State& s, int lo, int hi) {
    if (s.kernels == Kernels::straightforward) {
        straightforward::sort_beta(s, lo, hi);
    } else {
        partition_sort(s, lo, hi);
    }
}

void count_serving_medians(State& s, std::vector<int>& count) {
    if (s.kernels == Kernels::straightforward) {
        straightforward::count_serving_medians(s, count);
    } else {
        count_gaining_medians(s, count);
    }
}

}  // namespace pmedian
