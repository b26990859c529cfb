#include "certify/trusted_bound.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pmedian {

LagrangeanBound lagrangean_bound(const DistMatrix& dist, int n, int p, const std::vector<double>& lambda,
                                 const Fixings& fixed, const CandidateLists* lists) {
    LagrangeanBound bound;
    constexpr double none = std::numeric_limits<double>::infinity();
    double value = 0;
    double magnitude = 0;  // sum of the magnitudes of every term
    for (int j = 0; j < n; ++j) {
        value += lambda[j];
        magnitude += std::fabs(lambda[j]);
    }
    // Client by client, each adds its terms to the sites nearer than its
    // multiplier: the others' terms are 0. Row j holds the distances from
    // client j to every site (the matrix is symmetric).
    bound.reduced.assign(std::size_t(n), 0.0);
    double* reduced = bound.reduced.data();
    for (int j = 0; j < n; ++j) {
        const double multiplier = lambda[j];
        if (lists != nullptr && lists->width > 0 && !lists->falls_short(j, multiplier, n)) {
            const CandidateLists::Entry* list = lists->row(j);
            for (int k = 0; k < lists->width && double(list[k].dist) < multiplier; ++k) {
                reduced[list[k].node] += double(list[k].dist) - multiplier;
            }
        } else {
            const float* row = dist[j];
            for (int i = 0; i < n; ++i) reduced[i] += std::min(0.0, double(row[i]) - multiplier);
        }
    }
    // Every term is at most 0, so a reduced cost's magnitude is that of its
    // terms together. Each term is off by at most one rounding and each
    // partial sum by one more per addition, in any order of the additions;
    // the least computed values are off by no more than all of them
    // together.
    for (int i = 0; i < n; ++i) magnitude += std::fabs(reduced[i]);
    bound.rounding = 4.0 * (double(n) + double(p) + 2) * 0x1p-53 * magnitude;

    std::vector<int> free_sites;
    int open = 0;
    for (int i = 0; i < n; ++i) {
        const int state = fixed.empty() ? -1 : fixed[i];
        if (state == 1) {
            value += bound.reduced[i];
            ++open;
        } else if (state == -1) {
            free_sites.push_back(i);
        }
    }
    bound.opened.assign(std::size_t(n), 0);
    const int wanted = p - open;
    if (wanted < 0 || wanted > int(free_sites.size())) {
        bound.value = none;
        return bound;
    }
    const auto by_reduced = [&](int a, int b) { return bound.reduced[a] < bound.reduced[b]; };
    if (wanted < int(free_sites.size())) {
        std::nth_element(free_sites.begin(), free_sites.begin() + wanted, free_sites.end(), by_reduced);
        bound.next_free = bound.reduced[free_sites[wanted]];
    } else {
        bound.next_free = none;
    }
    bound.last_opened = -none;
    for (int k = 0; k < wanted; ++k) {
        const int site = free_sites[k];
        value += bound.reduced[site];
        bound.opened[site] = 1;
        bound.last_opened = std::max(bound.last_opened, bound.reduced[site]);
    }
    bound.value = value - bound.rounding;
    return bound;
}

}  // namespace pmedian
