#include "swap_search.hpp"

#include <algorithm>
#include <limits>

namespace pmedian {

namespace {

constexpr double unreachable = std::numeric_limits<double>::infinity();
constexpr int block = 8;

// Each node's nearest and second-nearest medians, as positions in medians.
class NearestMedians {
public:
    NearestMedians(const DistMatrix& dist, int n, const std::vector<int>& medians)
        : dist_(dist), medians_(medians), first_(n), second_(n), d1_(n), d2_(n) {
        for (int i = 0; i < n; ++i) recompute(i);
    }

    int first(int i) const { return first_[i]; }
    double d1(int i) const { return d1_[i]; }
    double d2(int i) const { return d2_[i]; }
    const float* second_distances() const { return d2_.data(); }

    // Median position k now holds a node at distance d from node i; true
    // when the second-nearest distance of i changed.
    bool replaced(int i, int k, float d) {
        const float before = d2_[i];
        if (first_[i] == k || second_[i] == k) {
            recompute(i);
        } else {
            offer(i, k, d);
        }
        return d2_[i] != before;
    }

private:
    // Median position k, at distance d, against node i's two nearest.
    void offer(int i, int k, float d) {
        if (d < d1_[i]) {
            second_[i] = first_[i];
            d2_[i] = d1_[i];
            first_[i] = k;
            d1_[i] = d;
        } else if (d < d2_[i]) {
            second_[i] = k;
            d2_[i] = d;
        }
    }

    void recompute(int i) {
        first_[i] = second_[i] = -1;
        d1_[i] = d2_[i] = unreachable;
        for (int k = 0; k < int(medians_.size()); ++k) offer(i, k, dist_[medians_[k]][i]);
    }

    const DistMatrix& dist_;
    const std::vector<int>& medians_;
    std::vector<int> first_, second_;
    std::vector<float> d1_, d2_;  // distances are floats
};

// A gain must exceed the rounding of the sums to count, so that the search
// ends and never raises the cost.
bool improves(double change, double cost) { return change < -1e-9 * (1.0 + cost); }

// Whether the medians, in any order, are a known local optimum.
bool known(const SwapStops& stops, const std::vector<int>& medians) {
    if (!stops.known_local_optimum) return false;
    std::vector<int> ascending = medians;
    std::sort(ascending.begin(), ascending.end());
    return stops.known_local_optimum(ascending);
}

// With one median every node goes to the one that enters.
double single_median_search(const DistMatrix& dist, int n, std::vector<int>& medians, const SwapStops& stops) {
    auto cost_of = [&](int median) {
        double cost = 0;
        for (int i = 0; i < n; ++i) cost += dist[median][i];
        return cost;
    };
    double cost = cost_of(medians[0]);
    int candidate = 0;
    for (int unchanged = 0; unchanged < n; ++unchanged, candidate = (candidate + 1) % n) {
        if (candidate == medians[0]) continue;
        if (stops.out_of_time && stops.out_of_time()) break;
        const double candidate_cost = cost_of(candidate);
        if (!improves(candidate_cost - cost, cost)) continue;
        medians[0] = candidate;
        cost = candidate_cost;
        if (known(stops, medians)) break;
        unchanged = 0;
    }
    return cost;
}

}  // namespace

double assignment_cost(const DistMatrix& dist, int n, const std::vector<int>& medians) {
    double cost = 0;
    for (int i = 0; i < n; ++i) {
        double nearest = unreachable;
        for (int m : medians) nearest = std::min(nearest, double(dist[m][i]));
        cost += nearest;
    }
    return cost;
}

double swap_search(const DistMatrix& dist, const CandidateLists& lists, int n, std::vector<int>& medians,
                   const SwapStops& stops) {
    const int p = int(medians.size());
    if (p == 1) return single_median_search(dist, n, medians, stops);
    std::vector<char> is_median(std::size_t(n), 0);
    for (int m : medians) is_median[m] = 1;
    NearestMedians nearest(dist, n, medians);
    double cost = 0;
    for (int i = 0; i < n; ++i) cost += nearest.d1(i);

    // Removing median k alone costs its nodes removal[k] more. A candidate
    // that enters changes that only for the nodes it is nearer to than
    // their second-nearest median, a few near it: their share is `kept`.
    std::vector<double> removal(static_cast<std::size_t>(p));
    std::vector<double> kept(static_cast<std::size_t>(p), 0.0);
    auto total_removal = [&] {
        std::fill(removal.begin(), removal.end(), 0.0);
        for (int i = 0; i < n; ++i) removal[nearest.first(i)] += nearest.d2(i) - nearest.d1(i);
    };
    total_removal();
    // Nodes by second-nearest distance, farthest first: the only nodes a
    // candidate can reach beyond its list.
    std::vector<int> by_second(static_cast<std::size_t>(n));
    const auto farther = [&](int a, int b) { return nearest.d2(a) > nearest.d2(b); };
    for (int i = 0; i < n; ++i) by_second[i] = i;
    std::sort(by_second.begin(), by_second.end(), farther);
    std::vector<char> moved(static_cast<std::size_t>(n), 0);
    std::vector<int> staying, moving;
    int candidate = 0;
    for (int unchanged = 0; unchanged < n; ++unchanged, candidate = (candidate + 1) % n) {
        if (is_median[candidate]) continue;
        if (stops.out_of_time && stops.out_of_time()) break;
        const float* row = dist[candidate];  // the matrix is symmetric
        double gain = 0;
        // Only a node nearer to the candidate than to its second-nearest
        // median changes what the exchange costs.
        auto weigh = [&](int i, double d) {
            if (d < nearest.d1(i)) {
                gain += nearest.d1(i) - d;
                kept[nearest.first(i)] += nearest.d2(i) - nearest.d1(i);
            } else if (d < nearest.d2(i)) {
                kept[nearest.first(i)] += nearest.d2(i) - d;
            }
        };
        // Every node off the candidate's list is at least list_end away.
        const CandidateLists::Entry* list = lists.row(candidate);
        const double list_end = lists.width < n ? double(list[lists.width - 1].dist) : unreachable;
        const double farthest_second = nearest.d2(by_second[0]);
        const auto beyond =
            std::partition_point(by_second.begin(), by_second.end(), [&](int i) { return nearest.d2(i) > list_end; });
        if (beyond - by_second.begin() > n / 4) {
            // Most blocks hold no node the candidate is near: a cheap test
            // of a whole block skips them.
            const float* second = nearest.second_distances();
            int i = 0;
            for (; i + block <= n; i += block) {
                bool near = false;
                for (int l = 0; l < block; ++l) near |= row[i + l] < second[i + l];
                if (!near) continue;
                for (int l = 0; l < block; ++l) weigh(i + l, row[i + l]);
            }
            for (; i < n; ++i) weigh(i, row[i]);
        } else {
            for (int k = 0; k < lists.width; ++k) {
                const double d = list[k].dist;
                if (!(d < list_end) || !(d < farthest_second)) break;
                weigh(list[k].node, d);
            }
            for (auto at = by_second.begin(); at != beyond; ++at) {
                if (row[*at] >= list_end) weigh(*at, row[*at]);
            }
        }
        int leaving = 0;
        for (int k = 1; k < p; ++k) {
            if (removal[k] - kept[k] < removal[leaving] - kept[leaving]) leaving = k;
        }
        const double change = removal[leaving] - kept[leaving] - gain;
        std::fill(kept.begin(), kept.end(), 0.0);
        if (!improves(change, cost)) continue;
        is_median[medians[leaving]] = 0;
        is_median[candidate] = 1;
        medians[leaving] = candidate;
        moving.clear();
        for (int i = 0; i < n; ++i) {
            moved[i] = nearest.replaced(i, leaving, row[i]);
            if (moved[i]) moving.push_back(i);
        }
        cost = 0;
        for (int i = 0; i < n; ++i) cost += nearest.d1(i);
        if (known(stops, medians)) break;
        total_removal();
        // Nodes whose second-nearest distance stayed keep their order.
        staying.clear();
        for (int i : by_second) {
            if (!moved[i]) staying.push_back(i);
        }
        std::sort(moving.begin(), moving.end(), farther);
        std::merge(staying.begin(), staying.end(), moving.begin(), moving.end(), by_second.begin(), farther);
        unchanged = 0;
    }
    return cost;
}

}  // namespace pmedian
