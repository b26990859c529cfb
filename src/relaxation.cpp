#include "relaxation.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace pmedian {

namespace {

// Rows wider than this fraction of n are rarely needed in full: a client
// whose weighted multiplier reaches past its list's end scans its whole row.
constexpr int list_fraction = 8;
constexpr int shortest_list = 64;

void build_candidate_lists(State& s) {
    const int n = s.n;
    CandidateLists& lists = s.candidates;
    lists.width = n <= shortest_list ? n : std::max(shortest_list, n / list_fraction);
    lists.entries.resize(std::size_t(n) * std::size_t(lists.width));
    std::vector<CandidateLists::Entry> all(static_cast<std::size_t>(n));
    auto nearer = [](const CandidateLists::Entry& a, const CandidateLists::Entry& b) { return a.dist < b.dist; };
    for (int j = 0; j < n; ++j) {
        const float* row = s.dist[j];
        for (int i = 0; i < n; ++i) all[i] = {row[i], i};
        auto width_end = all.begin() + lists.width;
        if (lists.width < n) std::nth_element(all.begin(), width_end - 1, all.end(), nearer);
        std::sort(all.begin(), width_end, nearer);
        std::copy(all.begin(), width_end, lists.entries.begin() + std::ptrdiff_t(j) * lists.width);
    }
}

}  // namespace

void relax(State& s) {
    // Client by client: each beta[i] still receives its terms in ascending
    // client order, so every rounding is that of the row-by-row sum. The
    // matrix is symmetric, so row j holds the distances to client j.
    if (s.candidates.width == 0) build_candidate_lists(s);
    const int n = s.n;
    const double t = s.t;
    const int width = s.candidates.width;
    float* beta = s.beta.data();
    for (int i = 0; i < n; ++i) {
        s.node[i] = i;
        beta[i] = 0;
    }
    for (int j = 0; j < n; ++j) {
        const double weighted = t * double(s.lambda[j]);
        const CandidateLists::Entry* list = s.candidates.row(j);
        if (width < n && weighted > double(list[width - 1].dist)) {
            const float* row = s.dist[j];
            for (int i = 0; i < n; ++i) {
                if (weighted > double(row[i])) beta[i] = float((double(row[i]) - weighted) + double(beta[i]));
            }
            continue;
        }
        for (int k = 0; k < width && weighted > double(list[k].dist); ++k) {
            float& b = beta[list[k].node];
            b = float((double(list[k].dist) - weighted) + double(b));
        }
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
