#include "certify/weighted_swap_search.hpp"

#include <algorithm>
#include <limits>

namespace pmedian {

namespace {

constexpr double unreachable = std::numeric_limits<double>::infinity();

// A change must exceed this share of the cost to count, so that the search
// ends and is not misled by the rounding of sums.
constexpr double least_counted_gain = 1e-9;

bool out(const std::function<bool()>& out_of_time) { return out_of_time && out_of_time(); }

// Each client's nearest and second-nearest medians (positions) and their
// distances.
struct Nearest {
    std::vector<int> first;
    std::vector<double> d1, d2;

    void compute(const Network& net, const std::vector<int>& medians) {
        first.assign(std::size_t(net.n), -1);
        d1.assign(std::size_t(net.n), unreachable);
        d2.assign(std::size_t(net.n), unreachable);
        for (int k = 0; k < int(medians.size()); ++k) {
            const float* row = net.row(medians[k]);  // the matrix is symmetric
            for (int i = 0; i < net.n; ++i) {
                const double d = row[i];
                if (d < d1[i]) {
                    d2[i] = d1[i];
                    d1[i] = d;
                    first[i] = k;
                } else if (d < d2[i]) {
                    d2[i] = d;
                }
            }
        }
    }
};

}  // namespace

double network_cost(const Network& net, const std::vector<int>& medians) {
    double cost = 0;
    for (int i = 0; i < net.n; ++i) {
        const double w = net.weight_of(i);
        if (w == 0) continue;
        const float* row = net.row(i);
        float nearest = std::numeric_limits<float>::infinity();
        for (const int m : medians) nearest = std::min(nearest, row[m]);
        cost += w * double(nearest);
    }
    return cost;
}

std::vector<int> greedy_medians(const Network& net, const std::function<bool()>& out_of_time) {
    std::vector<int> medians;
    std::vector<char> open(std::size_t(net.n), 0);
    for (int j = 0; j < net.n; ++j) {
        if (net.site_state(j) == 1) {
            medians.push_back(j);
            open[j] = 1;
        }
    }
    Nearest nearest;
    nearest.compute(net, medians);
    while (int(medians.size()) < net.p) {
        int best = -1;
        double best_cost = unreachable;
        for (int c = 0; c < net.n; ++c) {
            if (open[c] || net.site_state(c) != -1) continue;
            if (best >= 0 && out(out_of_time)) break;
            const float* row = net.row(c);
            double cost = 0;
            for (int i = 0; i < net.n; ++i) cost += net.weight_of(i) * std::min(nearest.d1[i], double(row[i]));
            if (best < 0 || cost < best_cost) {
                best = c;
                best_cost = cost;
            }
        }
        medians.push_back(best);
        open[best] = 1;
        const float* row = net.row(best);
        for (int i = 0; i < net.n; ++i) nearest.d1[i] = std::min(nearest.d1[i], double(row[i]));
    }
    std::sort(medians.begin(), medians.end());
    return medians;
}

double weighted_swap_search(const Network& net, std::vector<int>& medians, const std::function<bool()>& out_of_time) {
    const int p = int(medians.size());
    std::vector<char> open(std::size_t(net.n), 0);
    for (const int m : medians) open[m] = 1;
    Nearest nearest;
    std::vector<double> removal(static_cast<std::size_t>(p));
    std::vector<double> kept(static_cast<std::size_t>(p));
    double cost = network_cost(net, medians);
    for (;;) {
        nearest.compute(net, medians);
        // What removing each median alone would cost.
        std::fill(removal.begin(), removal.end(), 0.0);
        for (int i = 0; i < net.n; ++i) {
            const double w = net.weight_of(i);
            if (w > 0 && p > 1) removal[nearest.first[i]] += w * (nearest.d2[i] - nearest.d1[i]);
        }
        int entering = -1;
        int leaving = -1;
        double best_change = -least_counted_gain * (1.0 + cost);
        for (int c = 0; c < net.n && !out(out_of_time); ++c) {
            if (open[c] || net.site_state(c) != -1) continue;
            const float* row = net.row(c);
            // gain: what the clients nearer to c than to their median gain;
            // kept[k]: what of median k's removal loss c would keep.
            double gain = 0;
            std::fill(kept.begin(), kept.end(), 0.0);
            for (int i = 0; i < net.n; ++i) {
                const double w = net.weight_of(i);
                if (w == 0) continue;
                const double d = row[i];
                if (d < nearest.d1[i]) {
                    gain += w * (nearest.d1[i] - d);
                    if (p > 1) kept[nearest.first[i]] += w * (nearest.d2[i] - nearest.d1[i]);
                } else if (d < nearest.d2[i]) {
                    kept[nearest.first[i]] += w * (nearest.d2[i] - d);
                }
            }
            for (int k = 0; k < p; ++k) {
                if (net.site_state(medians[k]) == 1) continue;
                // With one median, every client moves to c.
                const double change = p > 1 ? removal[k] - kept[k] - gain : network_cost(net, {c}) - cost;
                if (change < best_change) {
                    best_change = change;
                    entering = c;
                    leaving = k;
                }
            }
        }
        if (entering < 0) break;
        open[medians[leaving]] = 0;
        open[entering] = 1;
        medians[leaving] = entering;
        cost = network_cost(net, medians);
    }
    return cost;
}

}  // namespace pmedian
