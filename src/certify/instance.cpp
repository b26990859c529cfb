#include "certify/instance.hpp"

#include <algorithm>
#include <cmath>

#include "problem.hpp"

namespace pmedian {

void settle_instance(Instance& instance) {
    const int n = instance.n;
    for (const double w : instance.weight) {
        if (!(w >= 0) || !std::isfinite(w)) throw Fatal{"a weight must be a finite number >= 0"};
    }
    if (std::all_of(instance.weight.begin(), instance.weight.end(), [](double w) { return w == 1; })) {
        instance.weight.clear();
    }
    if (std::all_of(instance.sites.begin(), instance.sites.end(), [](signed char s) { return s == -1; })) {
        instance.sites.clear();
    }
    int fixed = 0;
    int sites = instance.sites.empty() ? n : 0;
    for (const signed char s : instance.sites) {
        fixed += s == 1;
        sites += s != 0;
    }
    if (sites == 0) throw Fatal{"no candidate site: at least one node must be a site"};
    if (instance.p < 1 || instance.p > sites) {
        throw Fatal{
            format_message("p = %d, but there are %d candidate sites (needs 1 <= p <= sites)", instance.p, sites)};
    }
    if (fixed > instance.p) {
        throw Fatal{format_message("%d sites are fixed open, more than p = %d", fixed, instance.p)};
    }
}

void check_start(const Instance& instance, const std::vector<int>& medians) {
    if (int(medians.size()) != instance.p) {
        throw Fatal{format_message("the start opens %d sites, not p = %d", int(medians.size()), instance.p)};
    }
    std::vector<char> opened(std::size_t(instance.n), 0);
    for (const int m : medians) {
        if (m < 0 || m >= instance.n) {
            throw Fatal{format_message("the start opens node %d, but the nodes are 0 to %d", m, instance.n - 1)};
        }
        if (opened[m]) throw Fatal{format_message("the start opens node %d twice", m)};
        opened[m] = 1;
        if (!instance.sites.empty() && instance.sites[m] == 0) {
            throw Fatal{format_message("the start opens node %d, which is no candidate site", m)};
        }
    }
    for (int v = 0; v < int(instance.sites.size()); ++v) {
        if (instance.sites[v] == 1 && !opened[v]) {
            throw Fatal{format_message("the start leaves node %d closed, which is fixed open", v)};
        }
    }
}

}  // namespace pmedian
