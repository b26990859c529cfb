#include "certify/trusted_bound.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pmedian {

LagrangeanBound lagrangean_bound(const Network& net, const std::vector<double>& lambda, const Fixings& given,
                                 const CandidateLists* lists) {
    const int n = net.n;
    const int p = net.p;
    const Fixings& fixed = given.empty() ? net.sites : given;
    LagrangeanBound bound;
    constexpr double none = std::numeric_limits<double>::infinity();
    double value = 0;
    double magnitude = 0;  // sum of the magnitudes of every term
    for (int j = 0; j < n; ++j) {
        value += lambda[j];
        magnitude += std::fabs(lambda[j]);
    }
    // Client by client, each adds its terms to the sites within its reach
    // lambda_j / w_j: the others' terms are 0. Row j holds the distances
    // from client j to every site (the matrix is symmetric).
    bound.reduced.assign(std::size_t(n), 0.0);
    double* reduced = bound.reduced.data();
    double weighted = 0;  // sum of the weighted distances of every term
    for (int j = 0; j < n; ++j) {
        const double multiplier = lambda[j];
        const double w = net.weight_of(j);
        if (w == 0) {
            // Every site's term is min(0, -lambda_j).
            for (int i = 0; i < n; ++i) reduced[i] += std::min(0.0, -multiplier);
            continue;
        }
        const double reach = multiplier / w;
        if (lists != nullptr && lists->width > 0 && !lists->falls_short(j, reach, n)) {
            const CandidateLists::Entry* list = lists->row(j);
            for (int k = 0; k < lists->width && w * double(list[k].dist) < multiplier; ++k) {
                const double cost = w * double(list[k].dist);
                reduced[list[k].node] += cost - multiplier;
                weighted += cost;
            }
        } else {
            const float* row = net.row(j);
            for (int i = 0; i < n; ++i) {
                const double cost = w * double(row[i]);
                if (cost < multiplier) {
                    reduced[i] += cost - multiplier;
                    weighted += cost;
                }
            }
        }
    }
    // Every term is at most 0, so a reduced cost's magnitude is that of its
    // terms together. Each term is off by at most one rounding of its
    // difference, plus that of its weighted distance, and each partial sum
    // by one more per addition, in any order of the additions; the least
    // computed values are off by no more than all of them together. A
    // term's weighted distance is below its multiplier, which the terms of
    // every site may repeat, so its rounding is counted apart; so is that of
    // the terms left out as at or beyond reach, each at least -u lambda_j,
    // for each of the p sites.
    for (int i = 0; i < n; ++i) magnitude += std::fabs(reduced[i]);
    bound.rounding = 4.0 * (double(n) + double(p) + 2) * 0x1p-53 * magnitude;
    if (!net.weight.empty()) {
        double multipliers = 0;
        for (int j = 0; j < n; ++j) multipliers += std::fabs(lambda[j]);
        bound.rounding += 2.0 * 0x1p-53 * (weighted + double(p) * multipliers);
    }

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
