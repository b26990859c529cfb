#include "relaxation.hpp"

#include <utility>

namespace pmedian {

void relax(State& s) {
    const int n = s.n;
    const double t = s.t;
    for (int i = 0; i < n; ++i) {
        s.node[i] = i;
        const float* row = s.dist[i];
        float beta = 0;
        for (int j = 0; j < n; ++j) {
            const double weighted = t * double(s.lambda[j]);
            if (weighted > double(row[j])) beta = float((double(row[j]) - weighted) + double(beta));
        }
        s.beta[i] = beta;
    }
    sort_beta(s, 0, n - 1);
    float bound = 0;
    for (int k = 0; k < s.p; ++k) bound = float(double(bound) + double(s.beta[k]));
    for (int j = 0; j < n; ++j) bound = float(t * double(s.lambda[j]) + double(bound));
    s.bound = bound;
}

void sort_beta(State& s, int lo, int hi) {
    // The two parts of a partition are sorted independently, so recursing
    // into the smaller and looping on the larger gives the same order with
    // a stack depth of at most log2(n).
    for (;;) {
        const float pivot = s.beta[lo + (hi - lo) / 2];
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

        const bool sort_left = lo < j;
        const bool sort_right = i < hi;
        if (sort_left && sort_right) {
            if (j - lo < hi - i) {
                sort_beta(s, lo, j);
                lo = i;
            } else {
                sort_beta(s, i, hi);
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

}  // namespace pmedian
